#pragma once

#include "core/text.h"

namespace vq {

// What the collection logic may read and change in the main window.
class View {
 public:
  virtual ~View() = default;
  // The edit box's whole text, exactly as last set.
  virtual Text getEditBoxText() = 0;
  // Replaces the edit box's whole text; no handler runs as a result.
  virtual void setEditBoxText(const Text& text) = 0;
  // Replaces the status label's caption and paints it before returning.
  virtual void setStatusCaption(const Text& caption) = 0;
};

// The main window attaches itself while it exists and detaches (null) when it is destroyed.
void attachView(View* view);

// These forward to the attached view. Without one (a handler run while no main window exists,
// which a correct program never does) the process ends through the fatal path.
Text getEditBoxText();
void setEditBoxText(const Text& text);
void setStatusCaption(const Text& caption);

}  // namespace vq
