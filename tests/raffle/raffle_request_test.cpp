#include "raffle/raffle_request.h"

#include <gtest/gtest.h>

#include "support/fakes.h"

namespace vq {
namespace {

using testing::str;

TEST(ReplyToTextTest, KeepsTheBytesBeforeTheFirstNul) {
  struct Case {
    std::string reply, expected;
  };
  const Case cases[] = {
      {"", ""},
      {std::string("\0abc", 4), ""},
      {std::string("ab\0cd", 5), "ab"},
      {"\xE6\x9C\x89\xB0\xA1", "\xE6\x9C\x89\xB0\xA1"},  // no conversion of any encoding
      {"plain", "plain"},
  };
  for (const Case& c : cases) EXPECT_EQ(str(replyToText(ByteArray(c.reply))), c.expected);
}

TEST(FetchRaffleReplyTest, AsksTheRaffleAddressAndReturnsTheBody) {
  testing::ScriptedHttpClient client;
  client.replies = {"body"};
  useHttpClient(client);
  EXPECT_EQ(fetchRaffleReply().view(), "body");
  ASSERT_EQ(client.urlsAsked.size(), 1u);
  EXPECT_EQ(client.urlsAsked[0],
            "http://" VQ_RAFFLE_HOST "/api/cola/raffle?activityid=QX2016062101");
}

}  // namespace
}  // namespace vq
