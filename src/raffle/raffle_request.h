#pragma once

#include <cstdint>
#include <string_view>

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

// The size of each read of a body whose Content-Length header reads `contentLength` (empty when
// the header is missing or too long): the declared length and one byte more, so that a body below
// 100 KiB comes in one read; 10 KiB when no positive length is declared. The value is read like
// atoi: leading white space, one optional sign, digits up to the first other character.
std::int32_t readSizeFor(std::string_view contentLength);

// The raffle service's reply body; empty on failure or when no client is installed.
ByteArray fetchRaffleReply();

// The reply's bytes before its first NUL, as they are: no code-page conversion.
Text replyToText(const ByteArray& reply);

}  // namespace vq
