#include "core/win32/code_page.h"

#include <windows.h>

namespace vq::win32 {
namespace {

constexpr UINT gbk = 936;

}  // namespace

std::wstring widen(std::string_view cp936) {
  if (cp936.empty()) return {};
  const int length =
      MultiByteToWideChar(gbk, 0, cp936.data(), static_cast<int>(cp936.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(gbk, 0, cp936.data(), static_cast<int>(cp936.size()), wide.data(), length);
  return wide;
}

std::string narrow(std::wstring_view wide, bool* exact) {
  if (exact != nullptr) *exact = true;
  if (wide.empty()) return {};
  BOOL usedDefault = FALSE;
  const int length = WideCharToMultiByte(gbk, 0, wide.data(), static_cast<int>(wide.size()),
                                         nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(gbk, 0, wide.data(), static_cast<int>(wide.size()), bytes.data(), length,
                      nullptr, exact != nullptr ? &usedDefault : nullptr);
  if (exact != nullptr) *exact = usedDefault == FALSE;
  return bytes;
}

}  // namespace vq::win32
