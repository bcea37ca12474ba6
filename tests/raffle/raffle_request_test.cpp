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

TEST(ReadSizeTest, FollowsTheDeclaredLengthWithinBounds) {
  struct Case {
    const char* header;
    std::int32_t readSize;
  };
  const Case cases[] = {
      {"", 10240},
      {"5", 6},
      {"200", 201},
      {"102399", 102400},
      {"102400", 102400},
      {"200000", 102400},
      {"0", 10240},
      {"-5", 10240},
      {"  42", 43},
      {"+42", 43},
      {"42abc", 43},
      {"abc", 10240},
      {"99999999999999999999", 102400},
      {"- 5", 10240},
  };
  for (const Case& c : cases) EXPECT_EQ(readSizeFor(c.header), c.readSize) << c.header;
}

}  // namespace
}  // namespace vq
