#include "collection/fetch_cycle.h"

#include <gtest/gtest.h>

#include "collection/collection_state.h"
#include "collection/page_completion.h"
#include "collection/page_entry.h"
#include "support/collection_fixture.h"
#include "support/gbk.h"

namespace vq {
namespace {

using testing::gbk;
using testing::str;

const std::string imageStart = "<img src=\"http://" VQ_QR_HOST "/api.php?text=";

std::string entryFor(const std::string& encodedCode, const std::string& expiry,
                     const std::string& code) {
  return imageStart + encodedCode +
         "\" alt=\"\" width=\"150\" height=\"150\" title=\"\" align=\"\" /><p>\r\n\t" +
         gbk("有效期到") + expiry + gbk("</p>本次优惠码为") + code + "</p>";
}

std::string successStatus(int count) {
  return gbk("返回信息：成功生成") + std::to_string(count) + gbk("个VeltromQuenzo二维码");
}

class FetchCycleTest : public testing::CollectionTest {};

TEST_F(FetchCycleTest, FirstFetchShowsOneEntryAndCountsOne) {
  raffle.replies = {replyWith("2016-07-01 23:59:59", "QX8F2K")};
  onMainWindowCreated();
  onFetchClicked();

  const std::string entry = entryFor("QX8F2K", "2016-07-01 23:59:59", "QX8F2K");
  EXPECT_EQ(view.editBox, entry);
  EXPECT_EQ(str(pageHtml), entry);
  EXPECT_EQ(view.caption,
            "\xB7\xB5\xBB\xD8\xD0\xC5\xCF\xA2\xA3\xBA\xB3\xC9\xB9\xA6\xC9\xFA\xB3\xC9"
            "1\xB8\xF6VeltromQuenzo\xB6\xFE\xCE\xAC\xC2\xEB");
  EXPECT_EQ(view.caption, successStatus(1));
  EXPECT_EQ(str(statusText), view.caption);
  EXPECT_EQ(generatedCount, 1);
  EXPECT_EQ(str(lastCode), "QX8F2K");
  EXPECT_EQ(str(lastExpiry), "2016-07-01 23:59:59");
  EXPECT_EQ(str(lastReply), replyWith("2016-07-01 23:59:59", "QX8F2K"));
  EXPECT_EQ(view.calls, (std::vector<std::string>{"setEditBox", "setCaption"}));
}

TEST_F(FetchCycleTest, EntriesFollowEachOtherWithNothingBetween) {
  raffle.replies = {replyWith("d1", "C1"), replyWith("d2", "C2"), replyWith("d3", "C3")};
  for (int i = 0; i < 3; ++i) onFetchClicked();
  EXPECT_EQ(view.editBox,
            entryFor("C1", "d1", "C1") + entryFor("C2", "d2", "C2") + entryFor("C3", "d3", "C3"));
  EXPECT_EQ(view.caption, successStatus(3));
}

TEST_F(FetchCycleTest, CreatedEventStartsTheCountAgain) {
  raffle.replies = {replyWith("d", "C1")};
  generatedCount = 41;
  onMainWindowCreated();
  onFetchClicked();
  EXPECT_EQ(view.caption, successStatus(1));
}

// Without a code an entry would be an empty QR image reported as a success.
TEST_F(FetchCycleTest, NoCodeAddsNoEntryAndAsksToRetry) {
  const std::string replies[] = {
      "",                                                // the request failed
      "<html>404 Not Found</html>",                      // no marker
      R"({"time":"2016-07-01","activity":""})",          // an empty value
      R"({"time":"2016-07-01","activity":"UNFINISHED)",  // no end marker
  };
  raffle.replies = {replyWith("d0", "C0")};
  onFetchClicked();
  const std::string pageBefore = view.editBox;

  for (const std::string& reply : replies) {
    raffle.replies = {reply};
    view.calls.clear();
    onFetchClicked();
    EXPECT_EQ(generatedCount, 1) << reply;
    EXPECT_EQ(str(pageHtml), pageBefore) << reply;
    EXPECT_EQ(view.editBox, pageBefore) << reply;
    EXPECT_EQ(view.caption, gbk("返回信息：未取到优惠码，请重试")) << reply;
    EXPECT_EQ(str(statusText), view.caption);
    EXPECT_EQ(view.calls, std::vector<std::string>{"setCaption"});
    EXPECT_EQ(str(lastReply), reply);
    EXPECT_TRUE(lastCode.empty());
  }

  raffle.replies = {replyWith("d1", "C1")};
  onFetchClicked();
  EXPECT_EQ(view.caption, successStatus(2));
}

TEST_F(FetchCycleTest, CodeWithoutExpiryStillGivesAnEntry) {
  raffle.replies = {R"({"activity":"ONLYCODE"})"};
  onFetchClicked();
  EXPECT_EQ(view.editBox, entryFor("ONLYCODE", "", "ONLYCODE"));
  EXPECT_EQ(str(lastExpiry), "");
  EXPECT_EQ(view.caption, successStatus(1));
}

TEST_F(FetchCycleTest, GbkExpiryIsWrittenAsItsOwnBytes) {
  raffle.replies = {replyWith(gbk("2016年7月1日"), "C1")};
  onFetchClicked();
  EXPECT_EQ(view.editBox, entryFor("C1", gbk("2016年7月1日"), "C1"));
}

// The reply is untrusted and the page is opened in a browser.
TEST_F(FetchCycleTest, ReplyTextIsEscapedInThePage) {
  raffle.replies = {replyWith("<b>'x'</b>", R"(A&B<script>"q" C/+%)")};
  onFetchClicked();
  EXPECT_EQ(view.editBox,
            entryFor("A%26B%3Cscript%3E%22q%22%20C%2F%2B%25", "&lt;b&gt;&#39;x&#39;&lt;/b&gt;",
                     "A&amp;B&lt;script&gt;&quot;q&quot; C/+%"));
}

TEST(PageEntryTest, PercentEncodingKeepsOnlyUnreservedBytes) {
  struct Case {
    std::string code, encoded;
  };
  const Case cases[] = {
      {"AZaz09-._~", "AZaz09-._~"}, {" ", "%20"},
      {"\xB0\xA1", "%B0%A1"},       {"\x01\x7F\xFF", "%01%7F%FF"},
      {"?=&#", "%3F%3D%26%23"},
  };
  for (const Case& c : cases) EXPECT_EQ(str(percentEncode(Text(c.code))), c.encoded) << c.code;
}

TEST(PageEntryTest, HtmlEscapingLeavesOtherBytesAlone) {
  EXPECT_EQ(str(escapeHtml(Text(gbk("有效<期>&\"'")))), gbk("有效&lt;期&gt;&amp;&quot;&#39;"));
  // A lone lead byte before '<' must not shelter it from escaping.
  EXPECT_EQ(str(escapeHtml(Text("\x81<"))), "\x81&lt;");
}

TEST_F(FetchCycleTest, AfterAFailedSaveTheNextFetchShowsThePageWithoutFooter) {
  raffle.replies = {replyWith("d1", "C1"), replyWith("d2", "C2")};
  onFetchClicked();
  desktop.failWrites = true;
  onFinishClicked();
  onFetchClicked();
  EXPECT_EQ(view.editBox, entryFor("C1", "d1", "C1") + entryFor("C2", "d2", "C2"));
  EXPECT_EQ(view.caption, successStatus(2));
}

TEST_F(FetchCycleTest, AfterASuccessfulSaveANewPageStartsAtOne) {
  raffle.replies = {replyWith("d1", "C1"), replyWith("d2", "C2")};
  onFetchClicked();
  onFinishClicked();
  onFetchClicked();
  EXPECT_EQ(view.editBox, entryFor("C2", "d2", "C2"));
  EXPECT_EQ(view.caption, successStatus(1));
}

}  // namespace
}  // namespace vq
