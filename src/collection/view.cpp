#include "collection/view.h"

#include "core/fatal_error.h"

namespace vq {
namespace {

View* attachedView = nullptr;

// "指定窗口尚未载入": the given window is not loaded yet.
constinit const Text windowNotLoaded =
    Text::constant("\xD6\xB8\xB6\xA8\xB4\xB0\xBF\xDA\xC9\xD0\xCE\xB4\xD4\xD8\xC8\xEB");

View& view() {
  if (attachedView == nullptr) raiseFatalError(windowNotLoaded, 0);
  return *attachedView;
}

}  // namespace

void attachView(View* newView) { attachedView = newView; }

Text getEditBoxText() { return view().getEditBoxText(); }

void setEditBoxText(const Text& text) { view().setEditBoxText(text); }

void setStatusCaption(const Text& caption) { view().setStatusCaption(caption); }

}  // namespace vq
