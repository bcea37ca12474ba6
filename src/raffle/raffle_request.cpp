#include "raffle/raffle_request.h"

#include <algorithm>

namespace vq {
namespace {

HttpClient* installedClient = nullptr;

}  // namespace

constinit const Text raffleUrl =
    Text::constant("http://" VQ_RAFFLE_HOST "/api/cola/raffle?activityid=QX2016062101");

void useHttpClient(HttpClient& client) { installedClient = &client; }

ByteArray fetchRaffleReply() {
  return installedClient != nullptr ? installedClient->readUrl(raffleUrl) : ByteArray();
}

std::int32_t readSizeFor(std::string_view contentLength) {
  constexpr std::int64_t largestRead = 102400;
  constexpr std::int32_t undeclaredRead = 10240;

  std::size_t i = contentLength.find_first_not_of(" \t\r\n\v\f");
  if (i == std::string_view::npos) return undeclaredRead;
  bool negative = false;
  if (contentLength[i] == '+' || contentLength[i] == '-') negative = contentLength[i++] == '-';
  std::int64_t declared = 0;
  for (; i < contentLength.size() && contentLength[i] >= '0' && contentLength[i] <= '9'; ++i) {
    declared = std::min(declared * 10 + (contentLength[i] - '0'), largestRead);
  }
  if (negative || declared <= 0) return undeclaredRead;
  return static_cast<std::int32_t>(std::min(declared + 1, largestRead));
}

Text replyToText(const ByteArray& reply) { return Text(reply.view()); }

}  // namespace vq
