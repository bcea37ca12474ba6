#pragma once

#include "collection/desktop.h"

namespace vq::win32 {

// Saving and opening the page on Windows.
class Win32Desktop final : public Desktop {
 public:
  // `runDirectory` is the process record's, filled at start-up after this object is made.
  explicit Win32Desktop(const Text& runDirectory) : runDirectory_(runDirectory) {}

  Text runDirectory() override { return runDirectory_; }
  bool writeBytesToFile(const Text& path, const ByteArray& bytes) override;
  void openWithShell(const Text& path) override;

 private:
  const Text& runDirectory_;
};

}  // namespace vq::win32
