#pragma once

#include <cstdint>

#include "core/text.h"

namespace vq {

// The state of one run, from process start to exit; one set per process.
inline std::int32_t generatedCount = 0;  // codes collected since the window opened or the last save
inline Text lastReply;                   // the whole reply of the latest request
inline Text lastExpiry;                  // cut out of lastReply after the time marker
inline Text lastCode;                    // cut out of lastReply after the activity marker
inline Text pageHtml;                    // every entry since start or the last successful save
inline Text statusText;                  // the latest status message of the fetch cycle

// The exit routine: releases the five texts, in the order they are declared above.
void releaseCollectionTexts();

}  // namespace vq
