#include "collection/fetch_cycle.h"

#include <cstdint>

#include "collection/collection_state.h"
#include "collection/page_entry.h"
#include "collection/view.h"
#include "raffle/extract_between.h"
#include "raffle/raffle_request.h"

namespace vq {
namespace {

constinit const Text expiryStartMarker = Text::constant("time\":\"");
constinit const Text expiryEndMarker = Text::constant("\",\"");
constinit const Text codeStartMarker = Text::constant("activity\":\"");
constinit const Text codeEndMarker = Text::constant("\"}");

// "返回信息：成功生成" <count> "个VeltromQuenzo二维码"
constexpr std::string_view statusPrefix =
    "\xB7\xB5\xBB\xD8\xD0\xC5\xCF\xA2\xA3\xBA\xB3\xC9\xB9\xA6\xC9\xFA\xB3\xC9";
constexpr std::string_view statusSuffix = "\xB8\xF6VeltromQuenzo\xB6\xFE\xCE\xAC\xC2\xEB";
// "返回信息：未取到优惠码，请重试": no code came back, try again.
constinit const Text noCodeMessage = Text::constant(
    "\xB7\xB5\xBB\xD8\xD0\xC5\xCF\xA2\xA3\xBA\xCE\xB4\xC8\xA1\xB5\xBD\xD3\xC5\xBB\xDD\xC2\xEB"
    "\xA3\xAC\xC7\xEB\xD6\xD8\xCA\xD4");

}  // namespace

void onMainWindowCreated() { generatedCount = 0; }

void onFetchClicked() {
  lastReply = replyToText(fetchRaffleReply());
  lastExpiry = extractBetween(lastReply, expiryStartMarker, expiryEndMarker, 0, false);
  lastCode = extractBetween(lastReply, codeStartMarker, codeEndMarker, 0, false);

  // Without a code there is nothing to redeem: an entry would only look like a success.
  if (lastCode.empty()) {
    statusText = noCodeMessage;
    setStatusCaption(statusText);
    return;
  }

  // Wraps instead of overflowing; two thousand million presses are not a real run.
  generatedCount = static_cast<std::int32_t>(static_cast<std::uint32_t>(generatedCount) + 1);
  pageHtml = concat({pageHtml.view(), pageEntry(lastCode, lastExpiry).view()});
  setEditBoxText(pageHtml);
  statusText = concat({statusPrefix, decimal(generatedCount).view(), statusSuffix});
  setStatusCaption(statusText);
}

}  // namespace vq
