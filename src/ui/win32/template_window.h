#pragma once

#include <windows.h>

#include <functional>
#include <memory>

#include "collection/view.h"
#include "ui/window_template.h"

namespace vq::win32 {

inline constexpr wchar_t templateWindowClass[] = L"VeltromQuenzoMainWindow";

// A top-level window built from its template: fixed frame, centred on the primary screen, the
// default GUI font, its controls stacked in the template's order. It is the view of the
// collection logic while it exists.
class TemplateWindow final : public View {
 public:
  using DestroyedCallback = std::function<void(TemplateWindow*)>;

  static bool registerClasses(HINSTANCE instance);
  // The window and its controls, all created hidden; null when any of them cannot be created.
  static std::unique_ptr<TemplateWindow> create(const WindowTemplate& window, HINSTANCE instance,
                                                DestroyedCallback onDestroyed);
  TemplateWindow(const TemplateWindow&) = delete;
  TemplateWindow& operator=(const TemplateWindow&) = delete;
  ~TemplateWindow() override;

  HWND handle() const { return handle_; }
  // Shows the controls, raises the created event and, if the window is still there, shows and
  // activates it. False when the window was destroyed meanwhile.
  bool showAfterCreatedEvent();
  // The window's own keys, for a message to it or one of its controls, handled before the
  // focused control sees them; true when taken.
  bool preTranslate(const MSG& message);

  Text getEditBoxText() override;
  void setEditBoxText(const Text& text) override;
  void setStatusCaption(const Text& caption) override;

 private:
  TemplateWindow(const WindowTemplate& window, DestroyedCallback onDestroyed);
  static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT onMessage(UINT message, WPARAM wParam, LPARAM lParam);

  bool createControls(HINSTANCE instance);
  void onCommand(WPARAM wParam);
  LRESULT onControlColor(HDC dc);
  void onActivate(WPARAM wParam);
  void onSetFocus();
  void moveFocus(bool backwards);
  HWND control(ControlKind kind) const;

  const WindowTemplate& template_;
  DestroyedCallback onDestroyed_;
  HWND handle_ = nullptr;
  HWND focusBeforeDeactivation_ = nullptr;
  HICON icon_ = nullptr;
  Text editBoxText_;  // what the read-only box was last given, byte for byte
};

}  // namespace vq::win32
