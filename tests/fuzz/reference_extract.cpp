#include "reference_extract.h"

namespace vq::fuzz {

std::vector<std::size_t> characterStarts(std::string_view text, std::size_t from) {
  std::vector<std::size_t> starts;
  std::size_t offset = from;
  while (offset < text.size()) {
    starts.push_back(offset);
    offset += static_cast<unsigned char>(text[offset]) >= 0x80 ? 2 : 1;
  }
  return starts;
}

std::string foldAscii(std::string_view text) {
  std::string folded(text);
  for (char& byte : folded) {
    if (byte >= 'A' && byte <= 'Z') byte = static_cast<char>(byte - 'A' + 'a');
  }
  return folded;
}

std::string referenceReplace(std::string_view text, std::string_view token,
                             std::string_view replacement) {
  if (token.empty()) return std::string(text);
  std::string out;
  std::size_t offset = 0;
  while (offset < text.size()) {
    if (text.substr(offset).starts_with(token)) {
      out += replacement;
      offset += token.size();
    } else {
      // One character, which may be cut short by the end of the text.
      const std::size_t width = static_cast<unsigned char>(text[offset]) >= 0x80 ? 2 : 1;
      out += text.substr(offset, width);
      offset += width;
    }
  }
  return out;
}

std::optional<std::size_t> referenceFind(std::string_view text, std::string_view needle,
                                         std::size_t from, bool ignoreCase) {
  if (from >= text.size()) return std::nullopt;  // nothing left to search
  if (needle.empty()) return 0;                  // found at the first byte, whatever `from`
  const std::string haystack = ignoreCase ? foldAscii(text) : std::string(text);
  const std::string wanted = ignoreCase ? foldAscii(needle) : std::string(needle);
  for (std::size_t start : characterStarts(haystack, from)) {
    if (haystack.compare(start, wanted.size(), wanted) == 0 &&
        haystack.size() - start >= wanted.size()) {
      return start;
    }
  }
  return std::nullopt;
}

std::optional<ValueRange> referenceExtract(std::string_view source, std::string_view startMarker,
                                           std::string_view endMarker, long long startPosition,
                                           bool ignoreCase) {
  const std::string start = referenceReplace(startMarker, quoteToken, "\"");
  const std::string end = referenceReplace(endMarker, quoteToken, "\"");
  const std::size_t from = startPosition > 1 ? static_cast<std::size_t>(startPosition - 1) : 0;
  const auto startFound = referenceFind(source, start, from, ignoreCase);
  if (!startFound) return std::nullopt;
  const std::size_t valueStart = *startFound + start.size();
  const auto endFound = referenceFind(source, end, valueStart, ignoreCase);
  if (!endFound || *endFound <= valueStart) return std::nullopt;
  return ValueRange{valueStart, *endFound - valueStart};
}

}  // namespace vq::fuzz
