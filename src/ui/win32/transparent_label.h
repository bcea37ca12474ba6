#pragma once

#include <windows.h>

namespace vq::win32 {

// A child window that draws only its caption, centred on one line, over its parent's background.
// It never takes the focus and lets mouse clicks through.
inline constexpr wchar_t transparentLabelClass[] = L"VeltromQuenzoTransparentLabel";

bool registerTransparentLabelClass(HINSTANCE instance);

}  // namespace vq::win32
