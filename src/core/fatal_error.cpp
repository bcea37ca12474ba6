#include "core/fatal_error.h"

#include <cstdlib>

namespace vq {
namespace {

constexpr std::string_view boxHeading = "\xD4\xCB\xD0\xD0\xCA\xB1\xB3\xF6\xB4\xED!\r\n\r\n";
constexpr std::string_view codeLabel = "\xB4\xED\xCE\xF3\xB4\xFA\xC2\xEB\xA3\xBA";
constexpr std::string_view messageLabel = "\xB4\xED\xCE\xF3\xD0\xC5\xCF\xA2\xA3\xBA";
constexpr std::string_view lineBreak = "\r\n";
constexpr std::string_view paragraphBreak = "\r\n\r\n";

FatalErrorHandler* installedHandler = nullptr;
bool raising = false;

// The handler never returns to us; should it unwind instead (a test's stand-in does), the
// flag must not outlive the call.
struct RaisingScope {
  RaisingScope() { raising = true; }
  ~RaisingScope() { raising = false; }
};

}  // namespace

void useFatalErrorHandler(FatalErrorHandler& handler) { installedHandler = &handler; }

Text composeFatalErrorText(const Text& message, std::int32_t code) {
  const Text codeLine =
      code != 0 ? concat({codeLabel, decimal(code).view(), paragraphBreak}) : Text();
  const Text messageLine =
      message.empty() ? Text() : concat({messageLabel, message.view(), lineBreak});
  return concat({boxHeading, codeLine.view(), messageLine.view()});
}

void raiseFatalError(const Text& message, std::int32_t code) {
  if (installedHandler == nullptr) std::abort();
  // A failure while the box text is put together (memory again) shows the heading alone.
  if (raising) installedHandler->terminate(Text::constant(boxHeading));
  RaisingScope scope;
  installedHandler->terminate(composeFatalErrorText(message, code));
  std::abort();  // a handler that returns breaks its contract; the process ends all the same
}

}  // namespace vq
