#pragma once

#include <cstdint>
#include <span>

#include "ui/window_template.h"

namespace vq {

inline constexpr std::uint32_t mainWindowId = 1375797249;

// Control identifiers of the main window, kept clear of the dialog manager's IDOK and IDCANCEL.
inline constexpr int statusLabelId = 1001;   // 透明标签1
inline constexpr int finishButtonId = 1002;  // 按钮2
inline constexpr int editBoxId = 1003;       // 编辑框1
inline constexpr int fetchButtonId = 1004;   // 按钮1

// Every window the program has: just the main window.
std::span<const WindowTemplate> windowTemplates();

}  // namespace vq
