#pragma once

#include <cstdint>

#include "core/text.h"

namespace vq {

// The bytes of `source` between the first `startMarker` at or after `startPosition` (1-based; 1
// or less means the first byte) and the first `endMarker` after it, or the empty Text when there
// is none. In both markers the token "#引号" stands for a double quote. `ignoreCase` folds
// ASCII letters only.
Text extractBetween(const Text& source, const Text& startMarker, const Text& endMarker,
                    std::int32_t startPosition, bool ignoreCase);

// The helpers step through text one character at a time: a byte of 0x80 or above takes the
// byte after it along, whatever that byte is.

// Every occurrence of `token` in `text` replaced by `replacement`, scanning from the first byte.
Text replaceText(const Text& text, const Text& token, const Text& replacement);

// The 1-based position of the first occurrence of `needle` at or after `startPosition`, or -1.
// An empty needle is found at position 1 whenever any byte remains to be searched.
std::int32_t findText(const Text& text, const Text& needle, std::int32_t startPosition,
                      bool ignoreCase);

// At most `count` bytes of `text` from the 1-based `position` on.
Text midText(const Text& text, std::int32_t position, std::int32_t count);

}  // namespace vq
