#include "ui/window_template.h"

#include <gtest/gtest.h>

#include "collection/fetch_cycle.h"
#include "collection/page_completion.h"
#include "support/gbk.h"
#include "ui/main_window_template.h"

namespace vq {
namespace {

using testing::gbk;

const WindowTemplate& mainWindow() { return windowTemplates().front(); }

TEST(MainWindowTemplateTest, WindowAndControlsAsTheUserSeesThem) {
  ASSERT_EQ(windowTemplates().size(), 1u);
  const WindowTemplate& window = mainWindow();
  EXPECT_EQ(window.id, 1375797249u);
  EXPECT_EQ(window.title, gbk("VeltromQuenzo生成器"));
  EXPECT_EQ(window.width, 305);
  EXPECT_EQ(window.height, 419);
  EXPECT_EQ(window.onCreated, onMainWindowCreated);

  struct Expected {
    const char* name;
    ControlKind kind;
    int x, y, width, height;
    const char* caption;
    bool tabStop, isDefault;
    EventHandler onClicked;
  };
  const Expected expected[] = {
      {"透明标签1", ControlKind::transparentLabel, 0, 0, 304, 32, "返回信息", false, false,
       nullptr},
      {"按钮2", ControlKind::pushButton, 8, 80, 280, 40, "OK了，出来吧", true, false,
       onFinishClicked},
      {"编辑框1", ControlKind::editBox, 5, 128, 280, 256, "", true, false, nullptr},
      {"按钮1", ControlKind::pushButton, 8, 32, 280, 40, "点一次加1个，OK的时候再点击下面的按钮",
       true, true, onFetchClicked},
  };
  ASSERT_EQ(window.controls.size(), std::size(expected));
  for (std::size_t i = 0; i < std::size(expected); ++i) {
    const ControlTemplate& control = window.controls[i];
    const Expected& want = expected[i];
    SCOPED_TRACE(want.name);
    EXPECT_EQ(control.name, gbk(want.name));
    EXPECT_EQ(control.kind, want.kind);
    EXPECT_EQ(control.x, want.x);
    EXPECT_EQ(control.y, want.y);
    EXPECT_EQ(control.width, want.width);
    EXPECT_EQ(control.height, want.height);
    EXPECT_EQ(control.caption, gbk(want.caption));
    EXPECT_EQ(control.tabStop, want.tabStop);
    EXPECT_EQ(control.defaultButton, want.isDefault);
    EXPECT_EQ(control.onClicked, want.onClicked);
  }
  EXPECT_EQ(defaultButton(window)->id, fetchButtonId);
}

TEST(MainWindowTemplateTest, TabRingRunsFetchEditFinishAndRoundAgain) {
  const WindowTemplate& window = mainWindow();
  const std::vector<const ControlTemplate*> ring = tabRing(window);
  ASSERT_EQ(ring.size(), 3u);
  EXPECT_EQ(ring[0]->id, fetchButtonId);
  EXPECT_EQ(ring[1]->id, editBoxId);
  EXPECT_EQ(ring[2]->id, finishButtonId);

  struct Step {
    int from;
    bool backwards;
    int to;
  };
  const Step steps[] = {
      {fetchButtonId, false, editBoxId},      {editBoxId, false, finishButtonId},
      {finishButtonId, false, fetchButtonId}, {fetchButtonId, true, finishButtonId},
      {finishButtonId, true, editBoxId},      {editBoxId, true, fetchButtonId},
      {statusLabelId, false, fetchButtonId},  {0, true, fetchButtonId},
  };
  for (const Step& step : steps) {
    EXPECT_EQ(nextInTabRing(window, step.from, step.backwards)->id, step.to)
        << step.from << (step.backwards ? " back" : " forward");
  }
}

}  // namespace
}  // namespace vq
