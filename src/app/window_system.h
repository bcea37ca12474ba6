#pragma once

#include "ui/window_template.h"

namespace vq {

// What start-up and shutdown ask of the window system.
class WindowSystem {
 public:
  virtual ~WindowSystem() = default;
  // Creates the window and its controls hidden, shows the controls, raises the created event and
  // then, if the window still exists, shows and activates it. False when the window or one of its
  // controls cannot be created.
  virtual bool loadWindow(const WindowTemplate& window) = 0;
  virtual bool anyWindowOpen() = 0;
  // Takes messages one at a time until the quit request, which the destruction of the last
  // window posts once the loop has been entered.
  virtual void runEventLoop() = 0;
  // Destroys whatever windows are left.
  virtual void destroyAllWindows() = 0;
};

}  // namespace vq
