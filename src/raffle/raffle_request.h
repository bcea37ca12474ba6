#pragma once

#include <cstdint>

#include "core/text.h"

namespace vq {

// The platform's HTTP client: one blocking GET of `url`, giving the reply's body whatever its
// status, or the empty ByteArray on any failure.
class HttpClient {
 public:
  virtual ~HttpClient() = default;
  virtual ByteArray readUrl(const Text& url) = 0;
};

void useHttpClient(HttpClient& client);

// The one address the program asks, on the raffle host chosen at build time.
extern const Text raffleUrl;

// A longer body is dropped whole, like a failed request, so that a runaway reply cannot take the
// process (and its unsaved page) down with it.
inline constexpr std::int32_t maxReplyBytes = 1024 * 1024;

// The raffle service's reply body; empty on failure or when no client is installed.
ByteArray fetchRaffleReply();

// The reply's bytes before its first NUL, as they are: no code-page conversion.
Text replyToText(const ByteArray& reply);

}  // namespace vq
