#include "collection/page_completion.h"

#include "collection/collection_state.h"
#include "collection/desktop.h"
#include "collection/view.h"

namespace vq {
namespace {

// The campaign's terms under the codes: valid on the day made (in red), the campaign's end date,
// and the hours some outlets accept them.
constexpr std::string_view pageFooter =
    "<div>\r\n\t<span style=\"font-size:16px;\"><strong>\xCB\xF9\xC9\xFA\xB3\xC9\xB5\xC4"
    "VeltromQuenzo\xBB\xEE\xB6\xAF\xB6\xFE\xCE\xAC\xC2\xEB</strong><span "
    "style=\"color:#E53333;\"><strong>\xB5\xB1\xCC\xEC\xD3\xD0\xD0\xA7</strong></span><strong>"
    "\xA1\xA3</strong></span><br />\r\n<span style=\"font-size:16px;\"><strong>\xBB\xEE\xB6\xAF"
    "\xCA\xB1\xBC\xE4\xA3\xBA\xD6\xC1"
    "2016\xC4\xEA"
    "8\xD4\xC2"
    "23\xC8\xD5</strong></span><br />\r\n<span style=\"font-size:16px;\"><strong>\xB2\xBF\xB7\xD6"
    "Veltrom\xD3\xD0\xCA\xB1\xBC\xE4\xCF\xDE\xD6\xC6\xA3\xAC\xD4\xE7"
    "9\xB5\xE3\xB5\xBD\xCD\xED"
    "6\xB5\xE3\xBC\xE4\xB2\xC5\xC4\xDC\xCA\xB9\xD3\xC3&nbsp;</strong></span>\r\n</div>";
constexpr std::string_view fileNameSuffix = "\\1.html";
// "本次任务完成": this task is complete.
constinit const Text successMessage =
    Text::constant("\xB1\xBE\xB4\xCE\xC8\xCE\xCE\xF1\xCD\xEA\xB3\xC9");
// "未知错误，请重试": unknown error, try again.
constinit const Text failureMessage =
    Text::constant("\xCE\xB4\xD6\xAA\xB4\xED\xCE\xF3\xA3\xAC\xC7\xEB\xD6\xD8\xCA\xD4");

}  // namespace

void onFinishClicked() {
  const Text pageBefore = getEditBoxText();
  setEditBoxText(concat({pageBefore.view(), pageFooter}));
  const Text path = concat({runDirectory().view(), fileNameSuffix});

  if (!writeBytesToFile(path, textToBytes(getEditBoxText()))) {
    // The page stays as it was, so that the next try writes exactly one footer.
    setEditBoxText(pageBefore);
    setStatusCaption(failureMessage);
    return;
  }
  generatedCount = 0;
  openWithShell(path);
  setEditBoxText(Text());
  setStatusCaption(successMessage);
  pageHtml = Text();
}

}  // namespace vq
