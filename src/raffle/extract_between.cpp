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

  std::size_t i = start;
  while (i <= haystack.size() && haystack.size() - i >= wanted.size()) {
    if (bytesMatch(haystack.substr(i, wanted.size()), wanted, ignoreCase)) {
      return static_cast<std::int32_t>(i + 1);
    }
    i += characterWidth(haystack[i]);
  }
  return -1;
}

Text midText(const Text& text, std::int32_t position, std::int32_t count) {
  const std::int64_t index = static_cast<std::int64_t>(position) - 1;
  if (index < 0 || index >= text.length() || count <= 0) return Text();
  return Text(text.view().substr(static_cast<std::size_t>(index), static_cast<std::size_t>(count)));
}

Text extractBetween(const Text& source, const Text& startMarker, const Text& endMarker,
                    std::int32_t startPosition, bool ignoreCase) {
  const Text start = replaceText(startMarker, quoteToken, doubleQuote);
  const Text end = replaceText(endMarker, quoteToken, doubleQuote);
  const std::int32_t found = findText(source, start, startPosition, ignoreCase);
  if (found == -1) return Text();
  const std::int32_t valueStart = found + start.length();
  const std::int32_t valueEnd = findText(source, end, valueStart, ignoreCase);
  if (valueEnd == -1) return Text();
  return midText(source, valueStart, valueEnd - valueStart);
}

}  // namespace vq
