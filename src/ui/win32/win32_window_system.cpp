#include "ui/win32/win32_window_system.h"

#include <commctrl.h>

#include <algorithm>

namespace vq::win32 {

bool Win32WindowSystem::loadWindow(const WindowTemplate& window) {
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  INITCOMMONCONTROLSEX commonControls{sizeof commonControls, ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&commonControls);
  if (!TemplateWindow::registerClasses(instance)) return false;

  std::unique_ptr<TemplateWindow> created = TemplateWindow::create(
      window, instance, [this](TemplateWindow* destroyed) { onWindowDestroyed(destroyed); });
  if (!created) return false;
  TemplateWindow& shown = *created;
  open_.push_back(std::move(created));
  shown.showAfterCreatedEvent();
  return true;
}

void Win32WindowSystem::runEventLoop() {
  loopEntered_ = true;
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    // The message's own window takes its keys; closing it changes open_, so look it up first.
    const auto target = std::find_if(open_.begin(), open_.end(), [&](const auto& window) {
      return window->handle() == message.hwnd || IsChild(window->handle(), message.hwnd);
    });
    if (target != open_.end() && (*target)->preTranslate(message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

void Win32WindowSystem::destroyAllWindows() {
  std::vector<HWND> handles;
  for (const auto& window : open_) handles.push_back(window->handle());
  for (HWND handle : handles) DestroyWindow(handle);
}

void Win32WindowSystem::onWindowDestroyed(TemplateWindow* window) {
  const auto found = std::find_if(open_.begin(), open_.end(),
                                  [window](const auto& open) { return open.get() == window; });
  if (found == open_.end()) return;
  closed_.push_back(std::move(*found));
  open_.erase(found);
  if (open_.empty() && loopEntered_) PostQuitMessage(0);
}

}  // namespace vq::win32
