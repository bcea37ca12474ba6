#pragma once

#include <cstdint>

#include "core/block_heap.h"
#include "core/text.h"

namespace vq {

// What the start-up, shutdown and fatal path ask of the operating system.
class ProcessServices {
 public:
  virtual ~ProcessServices() = default;
  virtual BlockHeap& processHeap() = 0;
  // The full path of the program's own executable.
  virtual Text executablePath() = 0;
  // A failure is ignored.
  virtual void setCurrentDirectory(const Text& directory) = 0;
  // Initialises OLE on the calling (UI) thread; the outcome is not looked at.
  virtual void initializeOle() = 0;
  virtual void uninitializeOle() = 0;
  // A modal box without owner titled "错误", with the error icon and one OK button.
  virtual void showFatalErrorBox(const Text& boxText) = 0;
  // Ends the process at once, without destroying module-level objects.
  [[noreturn]] virtual void exitProcess(std::int32_t code) = 0;
};

}  // namespace vq
