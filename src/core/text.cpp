#include "core/text.h"

#include <algorithm>
#include <charconv>
#include <cstring>

namespace vq {

std::int32_t Block::blockSize(std::size_t bytes) noexcept {
  constexpr auto largest = static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max());
  return bytes <= largest ? static_cast<std::int32_t>(bytes) : -1;
}

Block Block::adopt(char* data, std::size_t size, bool nulTerminated) noexcept {
  Block block;
  block.data_ = data;
  block.size_ = static_cast<std::int32_t>(size);
  block.owned_ = true;
  block.nulTerminated_ = nulTerminated;
  return block;
}

Block Block::copyOf(std::string_view bytes, bool nulTerminated) {
  return build(bytes.size(), nulTerminated,
               [bytes](char* out) { std::memcpy(out, bytes.data(), bytes.size()); });
}

Block::Block(const Block& other)
    : Block(other.owned_ ? copyOf(other.view(), other.nulTerminated_) : constant(other.view())) {}

Block& Block::operator=(Block other) noexcept {
  std::swap(data_, other.data_);
  std::swap(size_, other.size_);
  std::swap(owned_, other.owned_);
  std::swap(nulTerminated_, other.nulTerminated_);
  return *this;
}

Text::Text(std::string_view bytes)
    : block_(Block::copyOf(bytes.substr(0, std::min(bytes.find('\0'), bytes.size())), true)) {}

ByteArray::ByteArray(std::string_view bytes) : block_(Block::copyOf(bytes, false)) {}

Text concat(std::initializer_list<std::string_view> pieces) {
  std::size_t total = 0;
  for (std::string_view piece : pieces) total += piece.size();
  return Text::build(total, [pieces](char* out) {
    for (std::string_view piece : pieces) out = std::copy(piece.begin(), piece.end(), out);
  });
}

Text decimal(std::int64_t value) {
  char digits[24];
  const auto result = std::to_chars(digits, digits + sizeof digits, value);
  return Text(std::string_view(digits, static_cast<std::size_t>(result.ptr - digits)));
}

}  // namespace vq
