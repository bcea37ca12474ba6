#pragma once

#include <cstdint>

#include "core/text.h"

namespace vq {

// The end of the process after an unrecoverable failure: shows the box, cleans up without the
// exit routines, and ends the process with exit code -1. Installed once at start-up.
class FatalErrorHandler {
 public:
  virtual ~FatalErrorHandler() = default;
  [[noreturn]] virtual void terminate(const Text& boxText) = 0;
};

void useFatalErrorHandler(FatalErrorHandler& handler);

// "运行时出错!\r\n\r\n", then "错误代码：<code>\r\n\r\n" unless `code` is 0, then
// "错误信息：<message>\r\n" unless `message` is empty.
Text composeFatalErrorText(const Text& message, std::int32_t code);

// Never returns. Before a handler is installed, the process aborts.
[[noreturn]] void raiseFatalError(const Text& message, std::int32_t code);

}  // namespace vq
