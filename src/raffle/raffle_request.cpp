#include "raffle/raffle_request.h"

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

Text replyToText(const ByteArray& reply) { return Text(reply.view()); }

}  // namespace vq
