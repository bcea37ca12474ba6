#pragma once

#include "app/process_services.h"

namespace vq::win32 {

class Win32Process final : public ProcessServices {
 public:
  BlockHeap& processHeap() override;
  Text executablePath() override;
  void setCurrentDirectory(const Text& directory) override;
  void initializeOle() override;
  void uninitializeOle() override;
  void showFatalErrorBox(const Text& boxText) override;
  [[noreturn]] void exitProcess(std::int32_t code) override;
};

}  // namespace vq::win32
