#include "raffle/extract_between.h"

#include <algorithm>
#include <cstddef>

namespace vq {
namespace {

// "#引号"
constinit const Text quoteToken = Text::constant("#\xD2\xFD\xBA\xC5");
constinit const Text doubleQuote = Text::constant("\"");

std::size_t characterWidth(char lead) { return static_cast<unsigned char>(lead) >= 0x80 ? 2 : 1; }

char foldAsciiLetter(char byte) { return byte >= 'A' && byte <= 'Z' ? byte + ('a' - 'A') : byte; }

bool bytesMatch(std::string_view candidate, std::string_view needle, bool ignoreCase) {
  if (!ignoreCase) return candidate == needle;
  return std::equal(candidate.begin(), candidate.end(), needle.begin(), needle.end(),
                    [](char a, char b) { return foldAsciiLetter(a) == foldAsciiLetter(b); });
}

// The first offset at or after `from` where `needle` (not empty) matches byte for byte, whether
// or not a character begins there; npos if none. The case-sensitive search is the library's
// (memchr-based) one.
std::size_t findBytes(std::string_view haystack, std::string_view needle, std::size_t from,
                      bool ignoreCase) {
  if (!ignoreCase) return haystack.find(needle, from);
  const char first = foldAsciiLetter(needle.front());
  for (std::size_t i = from; i <= haystack.size() && haystack.size() - i >= needle.size(); ++i) {
    if (foldAsciiLetter(haystack[i]) == first &&
        bytesMatch(haystack.substr(i, needle.size()), needle, true)) {
      return i;
    }
  }
  return std::string_view::npos;
}

// Tells which offsets begin a character when `text` is read from `origin`, for offsets asked in
// increasing order, without stepping through every character before them. A byte below 0x80
// always ends a character (a one-byte one, or the second byte of a pair), and from there up to
// the offset every byte is a lead byte, so the characters in between are pairs. Every byte is
// looked at once at most over all the questions.
class CharacterStarts {
 public:
  CharacterStarts(std::string_view text, std::size_t origin) : text_(text), knownStart_(origin) {}

  // `offset` must not lie before the last offset asked (or the origin).
  bool contains(std::size_t offset) {
    std::size_t pairsStart = offset;
    while (pairsStart > knownStart_ && characterWidth(text_[pairsStart - 1]) == 2) --pairsStart;
    const bool starts = (offset - pairsStart) % 2 == 0;
    // Otherwise the byte before `offset` is a lead byte that takes `offset` along.
    knownStart_ = starts ? offset : offset + 1;
    return starts;
  }

 private:
  std::string_view text_;
  std::size_t knownStart_;  // an offset known to begin a character
};

// The marker as it is searched for, with each quote token as a double quote. A marker without
// the token is used as given: no copy, no second scan.
const Text& withQuotes(const Text& marker, Text& replaced) {
  if (marker.view().find(quoteToken.view()) == std::string_view::npos) return marker;
  replaced = replaceText(marker, quoteToken, doubleQuote);
  return replaced;
}

}  // namespace

Text replaceText(const Text& text, const Text& token, const Text& replacement) {
  const std::string_view in = text.view();
  const std::string_view match = token.view();
  if (in.empty() || match.empty()) return text;

  // One scan measures the result, a second writes it in place.
  auto scan = [&](auto&& emit) {
    std::size_t i = 0;
    while (in.size() - i >= match.size()) {
      if (in.compare(i, match.size(), match) == 0) {
        emit(replacement.view());
        i += match.size();
      } else {
        const std::size_t width = std::min(characterWidth(in[i]), in.size() - i);
        emit(in.substr(i, width));
        i += width;
      }
    }
    emit(in.substr(i));
  };
  std::size_t length = 0;
  scan([&](std::string_view piece) { length += piece.size(); });
  return Text::build(length, [&](char* cursor) {
    scan([&](std::string_view piece) { cursor = std::copy(piece.begin(), piece.end(), cursor); });
  });
}

std::int32_t findText(const Text& text, const Text& needle, std::int32_t startPosition,
                      bool ignoreCase) {
  const std::string_view haystack = text.view();
  const std::string_view wanted = needle.view();
  const std::size_t start = startPosition > 1 ? static_cast<std::size_t>(startPosition) - 1 : 0;
  const bool bytesRemain = start < haystack.size();
  if (wanted.empty()) return bytesRemain ? 1 : -1;
  if (!bytesRemain) return -1;

  // The library finds byte matches fast; only for those is it asked whether a character begins
  // there.
  CharacterStarts characterStarts(haystack, start);
  for (std::size_t from = start;;) {
    const std::size_t match = findBytes(haystack, wanted, from, ignoreCase);
    if (match == std::string_view::npos) return -1;
    if (characterStarts.contains(match)) return static_cast<std::int32_t>(match + 1);
    from = match + 1;
  }
}

Text midText(const Text& text, std::int32_t position, std::int32_t count) {
  const std::int64_t index = static_cast<std::int64_t>(position) - 1;
  if (index < 0 || index >= text.length() || count <= 0) return Text();
  return Text(text.view().substr(static_cast<std::size_t>(index), static_cast<std::size_t>(count)));
}

Text extractBetween(const Text& source, const Text& startMarker, const Text& endMarker,
                    std::int32_t startPosition, bool ignoreCase) {
  Text replacedStart, replacedEnd;
  const Text& start = withQuotes(startMarker, replacedStart);
  const Text& end = withQuotes(endMarker, replacedEnd);
  const std::int32_t found = findText(source, start, startPosition, ignoreCase);
  if (found == -1) return Text();
  const std::int32_t valueStart = found + start.length();
  const std::int32_t valueEnd = findText(source, end, valueStart, ignoreCase);
  if (valueEnd == -1) return Text();
  return midText(source, valueStart, valueEnd - valueStart);
}

}  // namespace vq
