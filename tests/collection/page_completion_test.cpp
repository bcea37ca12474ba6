#include "collection/page_completion.h"

#include <gtest/gtest.h>

#include "collection/collection_state.h"
#include "collection/fetch_cycle.h"
#include "support/collection_fixture.h"
#include "support/gbk.h"

namespace vq {
namespace {

using testing::gbk;
using testing::str;

const std::string footer = gbk(
    "<div>\r\n\t<span style=\"font-size:16px;\"><strong>所生成的VeltromQuenzo活动二维码</strong>"
    "<span style=\"color:#E53333;\"><strong>当天有效</strong></span><strong>。</strong></span>"
    "<br />\r\n<span style=\"font-size:16px;\"><strong>活动时间：至2016年8月23日</strong></span>"
    "<br />\r\n<span "
    "style=\"font-size:16px;\"><strong>部分Veltrom有时间限制，早9点到晚6点间才能使用"
    "&nbsp;</strong></span>\r\n</div>");
const std::string savedPath = "C:\\Tools\\1.html";

class PageCompletionTest : public testing::CollectionTest {
 protected:
  void fetch(int times) {
    for (int i = 0; i < times; ++i) {
      raffle.replies.push_back(replyWith("2016-07-01", "C" + std::to_string(i)));
      onFetchClicked();
    }
  }
};

TEST_F(PageCompletionTest, SuccessfulFinishSavesOpensAndStartsAnewPage) {
  fetch(2);
  const std::string page = view.editBox;
  view.calls.clear();
  onFinishClicked();

  EXPECT_EQ(desktop.files[savedPath], page + footer);
  EXPECT_EQ(desktop.opened, std::vector<std::string>{savedPath});
  EXPECT_EQ(view.editBox, "");
  EXPECT_EQ(view.caption, gbk("本次任务完成"));
  EXPECT_TRUE(pageHtml.empty());
  EXPECT_TRUE(pageHtml.isConstant());
  EXPECT_EQ(generatedCount, 0);
  EXPECT_EQ(str(statusText), testing::gbk("返回信息：成功生成2个VeltromQuenzo二维码"));
  // read, show with footer, read again to save, then empty the box and report
  EXPECT_EQ(view.calls,
            (std::vector<std::string>{"get", "setEditBox", "get", "setEditBox", "setCaption"}));
}

TEST_F(PageCompletionTest, FinishWithAnEmptyPageSavesTheFooterOnly) {
  onFinishClicked();
  EXPECT_EQ(desktop.files[savedPath], footer);
  onFinishClicked();  // a second press in a row writes the footer alone again
  EXPECT_EQ(desktop.files[savedPath], footer);
  EXPECT_EQ(desktop.opened.size(), 2u);
}

TEST_F(PageCompletionTest, DoubleByteTextIsSavedAsTheSameBytes) {
  raffle.replies = {replyWith(gbk("七月一日"), "C")};
  onFetchClicked();
  const std::string page = view.editBox;
  onFinishClicked();
  EXPECT_EQ(desktop.files[savedPath], page + footer);
}

TEST_F(PageCompletionTest, FailedSaveKeepsPageAndCountAndOpensNothing) {
  fetch(3);
  const std::string page = view.editBox;
  desktop.failWrites = true;
  onFinishClicked();

  EXPECT_EQ(desktop.writeAttempts, 1);
  EXPECT_TRUE(desktop.opened.empty());
  EXPECT_EQ(view.editBox, page);
  EXPECT_EQ(str(pageHtml), page);
  EXPECT_EQ(generatedCount, 3);
  EXPECT_EQ(view.caption, gbk("未知错误，请重试"));
}

TEST_F(PageCompletionTest, RetryAfterAFailedSaveWritesExactlyOneFooter) {
  fetch(2);
  const std::string page = view.editBox;
  desktop.failWrites = true;
  onFinishClicked();
  onFinishClicked();
  desktop.failWrites = false;
  onFinishClicked();

  EXPECT_EQ(desktop.files[savedPath], page + footer);
  EXPECT_EQ(view.caption, gbk("本次任务完成"));
}

TEST_F(PageCompletionTest, CountGoesOnAfterAFailedSave) {
  fetch(2);
  desktop.failWrites = true;
  onFinishClicked();
  fetch(1);
  EXPECT_EQ(view.caption, gbk("返回信息：成功生成3个VeltromQuenzo二维码"));
}

TEST_F(PageCompletionTest, ProgramInADriveRootSavesThere) {
  desktop.directory = "C:";
  onFinishClicked();
  EXPECT_EQ(desktop.opened, std::vector<std::string>{"C:\\1.html"});
}

TEST(DirectoryOfTest, EndsAtTheLastRealBackslash) {
  struct Case {
    std::string path, expected;
  };
  const Case cases[] = {
      {"C:\\Tools\\VeltromQuenzo.exe", "C:\\Tools"},
      {"C:\\VeltromQuenzo.exe", "C:"},
      {"VeltromQuenzo.exe", ""},
      {"", ""},
      {"C:\\\x95\x5C\\a.exe", "C:\\\x95\x5C"},
      {"C:\\dir\x95\x5C", "C:"},
      {gbk("D:\\工具\\程序.exe"), gbk("D:\\工具")},
  };
  for (const Case& c : cases) EXPECT_EQ(str(directoryOf(Text(c.path))), c.expected) << c.path;
}

TEST(TextToBytesTest, TheBytesWithoutTheNul) {
  EXPECT_EQ(textToBytes(Text("ab")).view(), "ab");
  EXPECT_TRUE(textToBytes(Text()).empty());
}

}  // namespace
}  // namespace vq
