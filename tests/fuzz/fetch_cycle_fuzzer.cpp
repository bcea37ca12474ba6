// Fuzzes the path from the raffle service's reply to the page entry and the status text: any
// bytes come back for the second fetch of a run whose first fetch gave one good entry.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "collection/collection_state.h"
#include "collection/fetch_cycle.h"
#include "collection/view.h"
#include "core/text.h"
#include "fuzz_check.h"
#include "raffle/extract_between.h"
#include "raffle/raffle_request.h"

namespace {

using vq::ByteArray;
using vq::Text;

constexpr std::string_view firstReply =
    R"({"code":0,"time":"2016-07-01 23:59:59","activity":"QX8F2K"})";

// The fixed markup of an entry around the code and the expiry.
constexpr std::string_view imageStart = "<img src=\"http://" VQ_QR_HOST "/api.php?text=";
constexpr std::string_view expiryLineStart =
    "\" alt=\"\" width=\"150\" height=\"150\" title=\"\" align=\"\" /><p>\r\n\t"
    "\xD3\xD0\xD0\xA7\xC6\xDA\xB5\xBD";  // 有效期到
constexpr std::string_view codeLineStart =
    "</p>\xB1\xBE\xB4\xCE\xD3\xC5\xBB\xDD\xC2\xEB\xCE\xAA";  // </p>本次优惠码为
constexpr std::string_view entryEnd = "</p>";
constexpr std::size_t tagsPerEntry = 4;  // <img, <p>, </p>, </p>

// 返回信息：成功生成 <count> 个VeltromQuenzo二维码, and 返回信息：未取到优惠码，请重试
constexpr std::string_view successPrefix =
    "\xB7\xB5\xBB\xD8\xD0\xC5\xCF\xA2\xA3\xBA\xB3\xC9\xB9\xA6\xC9\xFA\xB3\xC9";
constexpr std::string_view successSuffix = "\xB8\xF6VeltromQuenzo\xB6\xFE\xCE\xAC\xC2\xEB";
constexpr std::string_view noCodeStatus =
    "\xB7\xB5\xBB\xD8\xD0\xC5\xCF\xA2\xA3\xBA\xCE\xB4\xC8\xA1\xB5\xBD\xD3\xC5\xBB\xDD\xC2\xEB"
    "\xA3\xAC\xC7\xEB\xD6\xD8\xCA\xD4";

class OneReplyClient final : public vq::HttpClient {
 public:
  ByteArray readUrl(const Text&) override { return ByteArray(reply); }
  std::string_view reply;
};

class RecordingView final : public vq::View {
 public:
  Text getEditBoxText() override { return Text(editBox); }
  void setEditBoxText(const Text& text) override {
    editBox = text.view();
    ++editBoxSets;
  }
  void setStatusCaption(const Text& text) override { caption = text.view(); }

  std::string editBox, caption;
  int editBoxSets = 0;
};

bool isHexDigit(char byte) { return (byte >= '0' && byte <= '9') || (byte >= 'A' && byte <= 'F'); }

int hexValue(char digit) { return digit <= '9' ? digit - '0' : digit - 'A' + 10; }

bool isUnreserved(char byte) {
  return (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
         (byte >= '0' && byte <= '9') || byte == '-' || byte == '.' || byte == '_' || byte == '~';
}

// Checks the image address's alphabet and gives back what it encodes.
std::string percentDecoded(std::string_view address) {
  std::string decoded;
  for (std::size_t i = 0; i < address.size(); ++i) {
    if (address[i] == '%') {
      FUZZ_CHECK(address.size() - i >= 3);
      FUZZ_CHECK(isHexDigit(address[i + 1]) && isHexDigit(address[i + 2]));
      decoded += static_cast<char>(hexValue(address[i + 1]) * 16 + hexValue(address[i + 2]));
      i += 2;
    } else {
      FUZZ_CHECK(isUnreserved(address[i]));
      decoded += address[i];
    }
  }
  return decoded;
}

// Checks that no markup character is left bare and gives back the text it stands for.
std::string htmlUnescaped(std::string_view html) {
  constexpr std::pair<std::string_view, char> entities[] = {
      {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&#39;", '\''}};
  std::string text;
  for (std::size_t i = 0; i < html.size();) {
    FUZZ_CHECK(html[i] != '<' && html[i] != '>' && html[i] != '"' && html[i] != '\'');
    if (html[i] != '&') {
      text += html[i++];
      continue;
    }
    bool known = false;
    for (const auto& [entity, byte] : entities) {
      if (html.substr(i).starts_with(entity)) {
        text += byte;
        i += entity.size();
        known = true;
        break;
      }
    }
    FUZZ_CHECK(known);
  }
  return text;
}

void checkEntry(std::string_view entry, const std::string& code, const std::string& expiry) {
  std::size_t tags = 0;
  for (char byte : entry) tags += byte == '<';
  FUZZ_CHECK(tags == tagsPerEntry);

  FUZZ_CHECK(entry.starts_with(imageStart));
  entry.remove_prefix(imageStart.size());
  const std::size_t addressEnd = entry.find('"');
  FUZZ_CHECK(addressEnd != std::string_view::npos);
  FUZZ_CHECK(percentDecoded(entry.substr(0, addressEnd)) == code);
  entry.remove_prefix(addressEnd);

  FUZZ_CHECK(entry.starts_with(expiryLineStart));
  entry.remove_prefix(expiryLineStart.size());
  const std::size_t expiryEnd = entry.find(codeLineStart);
  FUZZ_CHECK(expiryEnd != std::string_view::npos);
  FUZZ_CHECK(htmlUnescaped(entry.substr(0, expiryEnd)) == expiry);
  entry.remove_prefix(expiryEnd + codeLineStart.size());

  FUZZ_CHECK(entry.ends_with(entryEnd));
  entry.remove_suffix(entryEnd.size());
  FUZZ_CHECK(htmlUnescaped(entry) == code);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view reply(reinterpret_cast<const char*>(data), size);
  OneReplyClient client;
  RecordingView view;
  vq::useHttpClient(client);
  vq::attachView(&view);
  vq::releaseCollectionTexts();
  vq::onMainWindowCreated();

  client.reply = firstReply;
  vq::onFetchClicked();
  const std::string pageBefore(vq::pageHtml.view());
  FUZZ_CHECK(vq::generatedCount == 1 && !pageBefore.empty());

  client.reply = reply;
  view.editBoxSets = 0;
  vq::onFetchClicked();

  // What the reply holds, cut out by the function that the other harness checks.
  const Text replyText(reply);  // up to the first NUL, like any Text
  const std::string code(vq::extractBetween(replyText, Text::constant("activity\":\""),
                                            Text::constant("\"}"), 0, false)
                             .view());
  const std::string expiry(
      vq::extractBetween(replyText, Text::constant("time\":\""), Text::constant("\",\""), 0, false)
          .view());
  FUZZ_CHECK(vq::lastReply == replyText);
  FUZZ_CHECK(vq::lastCode.view() == code);
  FUZZ_CHECK(vq::lastExpiry.view() == expiry);
  FUZZ_CHECK(view.caption == vq::statusText.view());

  const std::string_view page = vq::pageHtml.view();
  if (code.empty()) {
    FUZZ_CHECK(view.caption == noCodeStatus);
    FUZZ_CHECK(vq::generatedCount == 1);
    FUZZ_CHECK(page == pageBefore);
    FUZZ_CHECK(view.editBoxSets == 0);
  } else {
    FUZZ_CHECK(view.caption == std::string(successPrefix) + "2" + std::string(successSuffix));
    FUZZ_CHECK(vq::generatedCount == 2);
    FUZZ_CHECK(page.starts_with(pageBefore));
    FUZZ_CHECK(view.editBox == page);
    checkEntry(page.substr(pageBefore.size()), code, expiry);
  }

  vq::attachView(nullptr);
  vq::releaseCollectionTexts();
  return 0;
}
