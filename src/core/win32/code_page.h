#pragma once

#include <string>
#include <string_view>

namespace vq::win32 {

// The program's texts are code page 936 bytes whatever the system's ANSI code page is, so they
// cross into Windows through the wide-character calls, converted with code page 936 explicitly.
std::wstring widen(std::string_view cp936);

// The code page 936 form of `wide`; false in `exact` when some character has none.
std::string narrow(std::wstring_view wide, bool* exact = nullptr);

}  // namespace vq::win32
