#include "ui/main_window_template.h"

#include "collection/fetch_cycle.h"
#include "collection/page_completion.h"

namespace vq {
namespace {

// Stacking order, top to bottom; none overlaps another.
constexpr ControlTemplate mainWindowControls[] = {
    // 透明标签1, caption "返回信息"
    {"\xCD\xB8\xC3\xF7\xB1\xEA\xC7\xA9"
     "1",
     ControlKind::transparentLabel, statusLabelId, 0, 0, 304, 32,
     "\xB7\xB5\xBB\xD8\xD0\xC5\xCF\xA2", false, false, nullptr},
    // 按钮2, caption "OK了，出来吧"
    {"\xB0\xB4\xC5\xA5"
     "2",
     ControlKind::pushButton, finishButtonId, 8, 80, 280, 40,
     "OK\xC1\xCB\xA3\xAC\xB3\xF6\xC0\xB4\xB0\xC9", true, false, onFinishClicked},
    // 编辑框1
    {"\xB1\xE0\xBC\xAD\xBF\xF2"
     "1",
     ControlKind::editBox, editBoxId, 5, 128, 280, 256, "", true, false, nullptr},
    // 按钮1, caption "点一次加1个，OK的时候再点击下面的按钮", the default button
    {"\xB0\xB4\xC5\xA5"
     "1",
     ControlKind::pushButton, fetchButtonId, 8, 32, 280, 40,
     "\xB5\xE3\xD2\xBB\xB4\xCE\xBC\xD3"
     "1\xB8\xF6\xA3\xACOK\xB5\xC4\xCA\xB1\xBA\xF2\xD4\xD9\xB5\xE3"
     "\xBB\xF7\xCF\xC2\xC3\xE6\xB5\xC4\xB0\xB4\xC5\xA5",
     true, true, onFetchClicked},
};

constexpr WindowTemplate templates[] = {
    // "VeltromQuenzo生成器"
    {mainWindowId, "VeltromQuenzo\xC9\xFA\xB3\xC9\xC6\xF7", 305, 419, mainWindowControls,
     onMainWindowCreated},
};

}  // namespace

std::span<const WindowTemplate> windowTemplates() { return templates; }

}  // namespace vq
