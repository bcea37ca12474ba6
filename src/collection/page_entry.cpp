#include "collection/page_entry.h"

#include <algorithm>
#include <string_view>

namespace vq {
namespace {

constexpr std::string_view imageStart = "<img src=\"http://" VQ_QR_HOST "/api.php?text=";
// "... /><p>\r\n\t有效期到"
constexpr std::string_view expiryLineStart =
    "\" alt=\"\" width=\"150\" height=\"150\" title=\"\" align=\"\" /><p>\r\n\t"
    "\xD3\xD0\xD0\xA7\xC6\xDA\xB5\xBD";
// "</p>本次优惠码为"
constexpr std::string_view codeLineStart = "</p>\xB1\xBE\xB4\xCE\xD3\xC5\xBB\xDD\xC2\xEB\xCE\xAA";
constexpr std::string_view entryEnd = "</p>";

bool isUnreserved(char byte) {
  return (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
         (byte >= '0' && byte <= '9') || byte == '-' || byte == '.' || byte == '_' || byte == '~';
}

std::string_view htmlEntityFor(char byte) {
  switch (byte) {
    case '&':
      return "&amp;";
    case '<':
      return "&lt;";
    case '>':
      return "&gt;";
    case '"':
      return "&quot;";
    case '\'':
      return "&#39;";
    default:
      return {};
  }
}

// Rewrites `text` byte by byte: `replacement(byte)` gives the bytes to write instead, or an empty
// view to keep the byte. Measures first so the result is allocated once.
template <class Replacement>
Text rewriteBytes(const Text& text, Replacement replacement) {
  std::size_t length = 0;
  for (char byte : text.view()) {
    const std::string_view instead = replacement(byte);
    length += instead.empty() ? 1 : instead.size();
  }
  if (length == static_cast<std::size_t>(text.length())) return text;
  return Text::build(length, [&](char* out) {
    for (char byte : text.view()) {
      const std::string_view instead = replacement(byte);
      if (instead.empty()) {
        *out++ = byte;
      } else {
        out = std::copy(instead.begin(), instead.end(), out);
      }
    }
  });
}

}  // namespace

Text percentEncode(const Text& text) {
  char escape[3] = {'%', 0, 0};
  return rewriteBytes(text, [&escape](char byte) -> std::string_view {
    if (isUnreserved(byte)) return {};
    constexpr char hexDigits[] = "0123456789ABCDEF";
    const auto value = static_cast<unsigned char>(byte);
    escape[1] = hexDigits[value >> 4];
    escape[2] = hexDigits[value & 0x0F];
    return {escape, 3};
  });
}

Text escapeHtml(const Text& text) { return rewriteBytes(text, htmlEntityFor); }

Text pageEntry(const Text& code, const Text& expiry) {
  return concat({imageStart, percentEncode(code).view(), expiryLineStart, escapeHtml(expiry).view(),
                 codeLineStart, escapeHtml(code).view(), entryEnd});
}

}  // namespace vq
