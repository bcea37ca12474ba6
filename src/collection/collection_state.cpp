#include "collection/collection_state.h"

namespace vq {

void releaseCollectionTexts() {
  for (Text* text : {&lastReply, &lastExpiry, &lastCode, &pageHtml, &statusText}) *text = Text();
}

}  // namespace vq
