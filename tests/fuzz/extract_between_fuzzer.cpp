// Fuzzes extractBetween with any source, markers, start position and case flag.
//
// Input: source NUL start-marker NUL end-marker NUL options. Options are a decimal start position
// (saturated to 32 bits) followed by "i" to ignore case; missing fields are empty, position 0.
// A Text holds no NUL, so NUL is free to separate the fields.

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "raffle/extract_between.h"
#include "reference_extract.h"

namespace {

using vq::Text;
using vq::fuzz::foldAscii;
using vq::fuzz::quoteToken;

struct Input {
  std::string source, startMarker, endMarker;
  std::int32_t startPosition = 0;
  bool ignoreCase = false;
};

Input parse(std::string_view data) {
  std::vector<std::string_view> fields;
  for (int i = 0; i < 3; ++i) {
    const std::size_t nul = data.find('\0');
    fields.push_back(data.substr(0, nul));
    data = nul == std::string_view::npos ? std::string_view() : data.substr(nul + 1);
  }
  Input input{std::string(fields[0]), std::string(fields[1]), std::string(fields[2])};
  std::size_t i = 0;
  const bool negative = !data.empty() && data[0] == '-';
  if (negative) ++i;
  long long magnitude = 0;
  for (; i < data.size() && data[i] >= '0' && data[i] <= '9'; ++i) {
    magnitude = std::min(magnitude * 10 + (data[i] - '0'), 1LL << 32);
  }
  input.startPosition = static_cast<std::int32_t>(std::clamp(negative ? -magnitude : magnitude,
                                                             static_cast<long long>(INT32_MIN),
                                                             static_cast<long long>(INT32_MAX)));
  input.ignoreCase = data.substr(i).find('i') != std::string_view::npos;
  return input;
}

std::string extract(const std::string& source, const std::string& startMarker,
                    const std::string& endMarker, std::int32_t startPosition, bool ignoreCase) {
  return std::string(vq::extractBetween(Text(source), Text(startMarker), Text(endMarker),
                                        startPosition, ignoreCase)
                         .view());
}

bool isAscii(std::string_view bytes) {
  return std::none_of(bytes.begin(), bytes.end(),
                      [](char byte) { return static_cast<unsigned char>(byte) >= 0x80; });
}

bool sameBytes(std::string_view a, std::string_view b, bool ignoreCase) {
  return ignoreCase ? foldAscii(a) == foldAscii(b) : a == b;
}

// Some place in the source holds the value with the start marker right before it and the end
// marker right after it.
bool framedSomewhere(std::string_view source, std::string_view value, std::string_view start,
                     std::string_view end, bool ignoreCase) {
  for (std::size_t at = source.find(value); at != std::string_view::npos;
       at = source.find(value, at + 1)) {
    const std::size_t after = at + value.size();
    if (at >= start.size() && source.size() - after >= end.size() &&
        sameBytes(source.substr(at - start.size(), start.size()), start, ignoreCase) &&
        sameBytes(source.substr(after, end.size()), end, ignoreCase)) {
      return true;
    }
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const Input in = parse(std::string_view(reinterpret_cast<const char*>(data), size));
  const std::string value =
      extract(in.source, in.startMarker, in.endMarker, in.startPosition, in.ignoreCase);

  // The helpers agree with the model, and a marker without the token is used as it is.
  const std::string start = vq::fuzz::referenceReplace(in.startMarker, quoteToken, "\"");
  const std::string end = vq::fuzz::referenceReplace(in.endMarker, quoteToken, "\"");
  FUZZ_CHECK(vq::replaceText(Text(in.startMarker), Text::constant(quoteToken), Text::constant("\""))
                 .view() == start);
  if (in.startMarker.find(quoteToken) == std::string::npos) FUZZ_CHECK(start == in.startMarker);
  if (in.endMarker.find(quoteToken) == std::string::npos) FUZZ_CHECK(end == in.endMarker);

  // The whole result against the model.
  const auto expected = vq::fuzz::referenceExtract(in.source, in.startMarker, in.endMarker,
                                                   in.startPosition, in.ignoreCase);
  FUZZ_CHECK(value == (expected ? in.source.substr(expected->offset, expected->length) : ""));

  // Properties that hold whatever the model says.
  const std::size_t from =
      in.startPosition > 1 ? static_cast<std::size_t>(in.startPosition) - 1 : 0;
  const std::string foldedSource = in.ignoreCase ? foldAscii(in.source) : in.source;
  const std::string foldedStart = in.ignoreCase ? foldAscii(start) : start;
  if (from >= in.source.size() ||
      (!start.empty() && foldedSource.find(foldedStart, from) == std::string::npos) ||
      end.empty()) {
    FUZZ_CHECK(value.empty());
  }
  if (!value.empty()) {
    FUZZ_CHECK(value.size() + start.size() + end.size() <= in.source.size());
    FUZZ_CHECK(framedSomewhere(in.source, value, start, end, in.ignoreCase));
    FUZZ_CHECK(expected && expected->offset >= start.size());
    // Every byte of an ASCII value begins a character, so the end marker starts nowhere in it.
    const std::string foldedEnd = in.ignoreCase ? foldAscii(end) : end;
    if (isAscii(value)) {
      const std::size_t firstEnd = foldedSource.find(foldedEnd, expected->offset);
      FUZZ_CHECK(firstEnd == expected->offset + value.size());
    }
  }

  // Without high bytes no character spans two bytes: two plain searches give the same value.
  if (!in.ignoreCase && isAscii(in.source) && !start.empty() && !end.empty()) {
    std::string plain;
    const std::size_t startAt = in.source.find(start, from);
    if (startAt != std::string::npos) {
      const std::size_t valueAt = startAt + start.size();
      const std::size_t endAt = in.source.find(end, valueAt);
      if (endAt != std::string::npos) plain = in.source.substr(valueAt, endAt - valueAt);
    }
    FUZZ_CHECK(value == plain);
  }

  // Positions up to 1 all mean the first byte.
  if (in.startPosition < 1) {
    FUZZ_CHECK(value == extract(in.source, in.startMarker, in.endMarker, 1, in.ignoreCase));
  }

  // Ignoring case is the same as a case-sensitive search in lower-cased bytes: folding changes
  // no character width and the token has no letters.
  const std::string folded = in.ignoreCase
                                 ? extract(foldAscii(in.source), foldAscii(in.startMarker),
                                           foldAscii(in.endMarker), in.startPosition, false)
                                 : std::string();
  if (in.ignoreCase) FUZZ_CHECK(foldAscii(value) == folded);
  return 0;
}
