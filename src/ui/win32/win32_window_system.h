#pragma once

#include <windows.h>

#include <memory>
#include <vector>

#include "app/window_system.h"
#include "ui/win32/template_window.h"

namespace vq::win32 {

class Win32WindowSystem final : public WindowSystem {
 public:
  bool loadWindow(const WindowTemplate& window) override;
  bool anyWindowOpen() override { return !open_.empty(); }
  void runEventLoop() override;
  void destroyAllWindows() override;

 private:
  void onWindowDestroyed(TemplateWindow* window);

  std::vector<std::unique_ptr<TemplateWindow>> open_;
  // Destroyed windows are kept until the end: one may go while its own code is still running.
  std::vector<std::unique_ptr<TemplateWindow>> closed_;
  bool loopEntered_ = false;
};

}  // namespace vq::win32
