#include "app/application.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "collection/collection_state.h"
#include "core/fatal_error.h"
#include "support/fakes.h"
#include "support/gbk.h"
#include "ui/main_window_template.h"

namespace vq {
namespace {

using testing::gbk;
using testing::str;

std::vector<std::string> events;

struct ProcessExited {
  std::int32_t code;
};

class FakeProcess final : public ProcessServices {
 public:
  BlockHeap& processHeap() override { return testing::countingHeap(); }
  Text executablePath() override { return Text(executable); }
  void setCurrentDirectory(const Text& directory) override {
    events.push_back("setCurrentDirectory " + str(directory));
  }
  void initializeOle() override { events.push_back("initializeOle"); }
  void uninitializeOle() override { events.push_back("uninitializeOle"); }
  void showFatalErrorBox(const Text& boxText) override {
    events.push_back("box");
    shownBox = str(boxText);
  }
  [[noreturn]] void exitProcess(std::int32_t code) override { throw ProcessExited{code}; }

  std::string executable = "C:\\Tools\\VeltromQuenzo.exe";
  std::string shownBox;
};

class FakeWindows final : public WindowSystem {
 public:
  bool loadWindow(const WindowTemplate& window) override {
    events.push_back("loadWindow " + std::to_string(window.id));
    if (failCreation) return false;
    open = true;
    window.onCreated();
    events.push_back("shown");
    return true;
  }
  bool anyWindowOpen() override { return open; }
  void runEventLoop() override {
    events.push_back("loop");
    if (whileLooping) whileLooping();
  }
  void destroyAllWindows() override {
    events.push_back("destroyAllWindows");
    open = false;
  }

  bool failCreation = false;
  bool open = false;
  void (*whileLooping)() = nullptr;
};

void recordFirstRoutine() { events.push_back("first routine"); }
void recordSecondRoutine() { events.push_back("second routine"); }

class ApplicationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    events.clear();
    applicationState() = ApplicationState();
    usePlatform(process, windows);
  }
  void TearDown() override {
    applicationState() = ApplicationState();
    static testing::ThrowingFatalErrorHandler fatal;
    useFatalErrorHandler(fatal);
  }

  FakeProcess process;
  FakeWindows windows;
};

TEST_F(ApplicationTest, StartUpRunsInOrderAndEndsWithTheExitRoutine) {
  generatedCount = 5;
  pageHtml = Text("unsaved entries");
  windows.whileLooping = [] { events.push_back("count " + std::to_string(generatedCount)); };

  EXPECT_EQ(startProgram(), 0);
  EXPECT_EQ(applicationState().exitRoutines, std::vector<ExitRoutine>{releaseCollectionTexts});
  shutdownApplication();
  shutdownApplication();  // a second call finds nothing left to do

  EXPECT_EQ(events,
            (std::vector<std::string>{
                "initializeOle", "setCurrentDirectory C:\\Tools", "loadWindow 1375797249", "shown",
                "loop", "count 0", "destroyAllWindows", "uninitializeOle", "destroyAllWindows"}));
  EXPECT_EQ(str(applicationState().runDirectory), "C:\\Tools");
  EXPECT_TRUE(pageHtml.empty());
}

TEST_F(ApplicationTest, ExitRoutineRegisteredTwiceRunsOnce) {
  registerExitRoutine(recordFirstRoutine);
  registerExitRoutine(recordSecondRoutine);
  registerExitRoutine(recordFirstRoutine);
  shutdownApplication();
  shutdownApplication();
  EXPECT_EQ(events, (std::vector<std::string>{"destroyAllWindows", "first routine",
                                              "second routine", "destroyAllWindows"}));
}

TEST_F(ApplicationTest, ReleasingTheCollectionTextsGivesEveryBlockBack) {
  testing::CountingHeap& heap = testing::countingHeap();
  heap.reset();
  lastReply = Text("reply");
  lastExpiry = Text("expiry");
  lastCode = Text("code");
  pageHtml = Text();  // after a successful save: the constant empty Text
  statusText = Text("status");
  registerExitRoutine(releaseCollectionTexts);
  shutdownApplication();
  EXPECT_EQ(heap.released.size(), 4u);
  EXPECT_EQ(heap.liveBlocks(), 0);
}

TEST_F(ApplicationTest, FatalErrorShowsTheBoxSkipsTheExitRoutinesAndExitsWithMinusOne) {
  initializeApplication();
  registerExitRoutine(recordFirstRoutine);
  events.clear();
  try {
    raiseFatalError(Text(), 7);
    FAIL() << "raiseFatalError returned";
  } catch (const ProcessExited& exited) {
    EXPECT_EQ(exited.code, -1);
  }
  EXPECT_EQ(process.shownBox, gbk("运行时出错!\r\n\r\n错误代码：7\r\n\r\n"));
  EXPECT_EQ(events, (std::vector<std::string>{"box", "destroyAllWindows", "uninitializeOle"}));
  EXPECT_TRUE(applicationState().exitRoutines.empty());
}

TEST_F(ApplicationTest, FailedAllocationEndsTheProcessThroughTheBox) {
  initializeApplication();
  registerExitRoutine(recordFirstRoutine);
  testing::countingHeap().refusedSize = 1025;
  EXPECT_THROW(allocateBlock(1025), ProcessExited);
  testing::countingHeap().reset();
  EXPECT_EQ(process.shownBox, gbk("运行时出错!\r\n\r\n错误信息：分配 1025 字节内存失败!\r\n"));
  EXPECT_EQ(std::count(events.begin(), events.end(), "first routine"), 0);
}

TEST_F(ApplicationTest, AWindowThatCannotBeCreatedIsFatal) {
  windows.failCreation = true;
  EXPECT_THROW(startProgram(), ProcessExited);
  EXPECT_EQ(process.shownBox, gbk("运行时出错!\r\n\r\n错误信息：载入启动窗口失败\r\n"));
}

TEST_F(ApplicationTest, AnUnknownStartupWindowIsFatal) {
  initializeApplication();
  EXPECT_THROW(loadStartupWindow(42), ProcessExited);
  EXPECT_EQ(process.shownBox, gbk("运行时出错!\r\n\r\n错误信息：载入启动窗口失败\r\n"));
}

TEST_F(ApplicationTest, RunDirectoryComesFromTheExecutablePath) {
  // "\x95\x5C" is one character whose second byte is a backslash.
  process.executable = gbk("D:\\工具\\") + "\x95\x5C" + "\\VeltromQuenzo.exe";
  initializeApplication();
  EXPECT_EQ(str(applicationState().runDirectory), gbk("D:\\工具\\") + "\x95\x5C");
}

TEST_F(ApplicationTest, TheLoopReturnsAtOnceWithoutAWindow) {
  runMessageLoop();
  EXPECT_TRUE(events.empty());
}

}  // namespace
}  // namespace vq
