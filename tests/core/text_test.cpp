#include "core/text.h"

#include <gtest/gtest.h>

#include "core/block_heap.h"
#include "core/fatal_error.h"
#include "support/fakes.h"
#include "support/gbk.h"

namespace vq {
namespace {

using testing::CountingHeap;
using testing::FatalErrorRaised;
using testing::gbk;
using testing::str;

class TextTest : public ::testing::Test {
 protected:
  void SetUp() override { heap.reset(); }
  void TearDown() override { heap.reset(); }
  CountingHeap& heap = testing::countingHeap();
};

TEST_F(TextTest, OwnedTextsComeFromTheHeapAndGoBackOnce) {
  {
    Text a("abc");
    Text b = a;             // a copy is a block of its own
    Text c = std::move(a);  // a move takes the block along
    EXPECT_EQ(str(b), "abc");
    EXPECT_EQ(str(c), "abc");
    EXPECT_TRUE(a.empty());
    EXPECT_EQ(heap.allocations, 2);
    b = Text("xyz");  // assignment releases the old block
    EXPECT_EQ(heap.released.size(), 1u);
  }
  EXPECT_EQ(heap.liveBlocks(), 0);
}

TEST_F(TextTest, ConstantsAreNeverAllocatedOrReleased) {
  {
    Text text = Text::constant("fixed");
    Text copy = text;
    text = Text();
    copy = Text::constant("other");
    EXPECT_TRUE(copy.isConstant());
    EXPECT_TRUE(Text("").isConstant());
  }
  EXPECT_EQ(heap.allocations, 0);
  EXPECT_TRUE(heap.released.empty());
}

TEST_F(TextTest, TextEndsAtTheFirstNulAndIsTerminated) {
  const Text text(std::string_view("ab\0cd", 5));
  EXPECT_EQ(text.length(), 2);
  EXPECT_STREQ(text.c_str(), "ab");
}

TEST_F(TextTest, ByteArrayKeepsNulBytes) {
  const ByteArray bytes(std::string_view("a\0b", 3));
  EXPECT_EQ(bytes.size(), 3);
  EXPECT_EQ(bytes.view(), std::string_view("a\0b", 3));
}

TEST_F(TextTest, ConcatJoinsInOrderAndSkipsEmptyPieces) {
  EXPECT_EQ(str(concat({"a", "", "bc", "", "d"})), "abcd");
  EXPECT_TRUE(concat({"", ""}).isConstant());
  EXPECT_EQ(heap.liveBlocks(), 0);
}

TEST_F(TextTest, DecimalForm) {
  const std::pair<std::int64_t, const char*> cases[] = {{0, "0"},
                                                        {7, "7"},
                                                        {1025, "1025"},
                                                        {-1, "-1"},
                                                        {2147483647, "2147483647"},
                                                        {-2147483648LL, "-2147483648"}};
  for (const auto& [value, expected] : cases) EXPECT_EQ(str(decimal(value)), expected) << value;
}

TEST_F(TextTest, FailedAllocationShowsTheSizeInTheFatalBox) {
  heap.refusedSize = 1025;
  try {
    allocateBlock(1025);
    FAIL() << "allocateBlock returned";
  } catch (const FatalErrorRaised& raised) {
    EXPECT_EQ(raised.boxText, gbk("运行时出错!\r\n\r\n错误信息：分配 1025 字节内存失败!\r\n"));
  }
}

TEST_F(TextTest, FailedAllocationOfATextGoesToTheFatalPath) {
  heap.refusedSize = 7;  // six bytes and the NUL
  EXPECT_THROW(Text("sixsix"), FatalErrorRaised);
}

class RefusingHeap final : public BlockHeap {
 public:
  void* allocate(std::size_t) override { return nullptr; }
  void release(void*) override {}
};

TEST_F(TextTest, AnExhaustedHeapStillReachesTheBoxWithItsHeading) {
  RefusingHeap empty;
  useBlockHeap(empty);
  try {
    allocateBlock(64);
    FAIL() << "allocateBlock returned";
  } catch (const FatalErrorRaised& raised) {
    EXPECT_EQ(raised.boxText, gbk("运行时出错!\r\n\r\n"));
  }
  useBlockHeap(heap);
}

TEST_F(TextTest, FatalBoxText) {
  struct Case {
    const char* message;
    std::int32_t code;
    const char* expected;
  };
  const Case cases[] = {
      {"", 7, "运行时出错!\r\n\r\n错误代码：7\r\n\r\n"},
      {"", 0, "运行时出错!\r\n\r\n"},
      {"载入启动窗口失败", 0, "运行时出错!\r\n\r\n错误信息：载入启动窗口失败\r\n"},
      {"x", -1, "运行时出错!\r\n\r\n错误代码：-1\r\n\r\n错误信息：x\r\n"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(str(composeFatalErrorText(Text(gbk(c.message)), c.code)), gbk(c.expected))
        << c.message << " " << c.code;
  }
}

}  // namespace
}  // namespace vq
