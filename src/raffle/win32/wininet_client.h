#pragma once

#include "raffle/raffle_request.h"

namespace vq::win32 {

// One blocking GET through WinINet. The session (`internetHandle`) is opened by the first request
// and kept until the client goes; each request makes and closes its own connection and request.
class WinInetClient final : public HttpClient {
 public:
  WinInetClient() = default;
  WinInetClient(const WinInetClient&) = delete;
  WinInetClient& operator=(const WinInetClient&) = delete;
  ~WinInetClient() override;

  ByteArray readUrl(const Text& url) override;

 private:
  void* internetHandle_ = nullptr;
};

}  // namespace vq::win32
