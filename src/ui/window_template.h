#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace vq {

// The program's windows are described as data compiled into the executable; the window system
// builds a window from its template.

using EventHandler = void (*)();

enum class ControlKind { transparentLabel, pushButton, editBox };

struct ControlTemplate {
  std::string_view name;  // unit type and ordinal, code page 936 ("按钮1")
  ControlKind kind;
  int id;                    // the child window's identifier
  int x, y, width, height;   // in the window's client area
  std::string_view caption;  // code page 936
  bool tabStop;
  bool defaultButton;
  EventHandler onClicked;  // null: the control raises no event
};

struct WindowTemplate {
  std::uint32_t id;
  std::string_view title;  // code page 936
  int width, height;       // outer size, frame and title bar included
  // Listed top to bottom in stacking order; the tab ring runs through them in reverse.
  std::span<const ControlTemplate> controls;
  EventHandler onCreated;
};

// The focus ring: the controls that take the focus by Tab, first to last.
std::vector<const ControlTemplate*> tabRing(const WindowTemplate& window);

// The control that follows (or, `backwards`, precedes) the one with `currentId` in the ring; the
// first of the ring when `currentId` is not in it.
const ControlTemplate* nextInTabRing(const WindowTemplate& window, int currentId, bool backwards);

// The window's default button, or null.
const ControlTemplate* defaultButton(const WindowTemplate& window);

}  // namespace vq
