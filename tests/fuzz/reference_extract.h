#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vq::fuzz {

// A plain model of extractBetween and its helpers, written from their header comments rather
// than from their code, for the fuzzer to compare against. Offsets are 0-based here.

// The offsets where characters begin when reading `text` from byte `from`: a byte of 0x80 or
// above begins a two-byte character (a one-byte one when it is the last byte).
std::vector<std::size_t> characterStarts(std::string_view text, std::size_t from);

// ASCII letters in lower case, every other byte as it is.
std::string foldAscii(std::string_view text);

std::string referenceReplace(std::string_view text, std::string_view token,
                             std::string_view replacement);

// The offset of the first `needle` that begins a character read from `from`.
std::optional<std::size_t> referenceFind(std::string_view text, std::string_view needle,
                                         std::size_t from, bool ignoreCase);

// Where the value lies in the source; nullopt for the empty result.
struct ValueRange {
  std::size_t offset;
  std::size_t length;
};
std::optional<ValueRange> referenceExtract(std::string_view source, std::string_view startMarker,
                                           std::string_view endMarker, long long startPosition,
                                           bool ignoreCase);

// "#引号" in code page 936.
inline constexpr std::string_view quoteToken = "#\xD2\xFD\xBA\xC5";

}  // namespace vq::fuzz
