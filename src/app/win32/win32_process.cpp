#include "app/win32/win32_process.h"

#include <windows.h>

#include <ole2.h>

#include <string>

#include "core/win32/code_page.h"
#include "core/win32/process_heap.h"

namespace vq::win32 {
namespace {

// "错误"
constexpr char fatalBoxTitle[] = "\xB4\xED\xCE\xF3";

std::wstring moduleFileName() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    if (length < path.size()) return path.substr(0, length);
    path.resize(path.size() * 2);  // truncated: long paths are fine, try a bigger buffer
  }
}

}  // namespace

BlockHeap& Win32Process::processHeap() {
  // Never destroyed: module-level Texts give their blocks back during static destruction.
  static BlockHeap& heap = *new ProcessHeap;
  return heap;
}

Text Win32Process::executablePath() {
  const std::wstring path = moduleFileName();
  bool exact = false;
  std::string bytes = narrow(path, &exact);
  // A folder name outside code page 936 has no form in the program's texts; its short name does.
  if (!exact) {
    std::wstring shortPath(path.size() + 1, L'\0');
    const DWORD length =
        GetShortPathNameW(path.c_str(), shortPath.data(), static_cast<DWORD>(shortPath.size()));
    if (length > 0 && length < shortPath.size()) {
      bytes = narrow(std::wstring_view(shortPath).substr(0, length));
    }
  }
  return Text(bytes);
}

void Win32Process::setCurrentDirectory(const Text& directory) {
  SetCurrentDirectoryW(widen(directory.view()).c_str());
}

void Win32Process::initializeOle() { OleInitialize(nullptr); }

void Win32Process::uninitializeOle() { OleUninitialize(); }

void Win32Process::showFatalErrorBox(const Text& boxText) {
  MessageBoxW(nullptr, widen(boxText.view()).c_str(), widen(fatalBoxTitle).c_str(),
              MB_OK | MB_ICONERROR);
}

void Win32Process::exitProcess(std::int32_t code) { ExitProcess(static_cast<UINT>(code)); }

}  // namespace vq::win32
