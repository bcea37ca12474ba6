#pragma once

#include <cstdint>
#include <initializer_list>
#include <limits>
#include <string_view>
#include <utility>

#include "core/block_heap.h"

namespace vq {

// Storage shared by Text and ByteArray: either a block of its own from allocateBlock, released
// when the value goes, or bytes in the program's constant data, which are never released.
class Block {
 public:
  constexpr Block() noexcept = default;
  Block(const Block& other);
  constexpr Block(Block&& other) noexcept
      : data_(std::exchange(other.data_, "")),
        size_(std::exchange(other.size_, 0)),
        owned_(std::exchange(other.owned_, false)),
        nulTerminated_(other.nulTerminated_) {}
  Block& operator=(Block other) noexcept;
  constexpr ~Block() {
    if (owned_) releaseBlock(const_cast<char*>(data_));
  }

  // Bytes in static storage; the Block only points at them.
  static constexpr Block constant(std::string_view bytes) noexcept {
    Block block;
    block.data_ = bytes.data();
    block.size_ = static_cast<std::int32_t>(bytes.size());
    return block;
  }
  // A new block holding `bytes`, followed by a NUL when `nulTerminated`.
  static Block copyOf(std::string_view bytes, bool nulTerminated);
  // A new block of `size` bytes written in place by `fill(char* out)`.
  template <class Fill>
  static Block build(std::size_t size, bool nulTerminated, Fill&& fill) {
    if (size == 0) return Block();
    auto* data = static_cast<char*>(allocateBlock(blockSize(size + (nulTerminated ? 1 : 0))));
    fill(data);
    if (nulTerminated) data[size] = '\0';
    return adopt(data, size, nulTerminated);
  }

  std::string_view view() const noexcept { return {data_, static_cast<std::size_t>(size_)}; }
  bool isConstant() const noexcept { return !owned_; }

 private:
  // allocateBlock takes a 32-bit size; a larger request fails like an exhausted heap.
  static std::int32_t blockSize(std::size_t bytes) noexcept;
  static Block adopt(char* data, std::size_t size, bool nulTerminated) noexcept;

  const char* data_ = "";
  std::int32_t size_ = 0;
  bool owned_ = false;
  bool nulTerminated_ = true;
};

// A string of bytes in code page 936 ended by a NUL byte; it never holds a NUL of its own.
// Lengths are byte counts. The default Text is the constant empty Text.
class Text {
 public:
  constexpr Text() noexcept = default;
  // A new Text holding `bytes` up to their first NUL, if any.
  explicit Text(std::string_view bytes);
  // One of the program's constant Texts; `literal` must live in static storage and hold no NUL.
  static constexpr Text constant(std::string_view literal) noexcept {
    return Text(Block::constant(literal));
  }
  // A new Text of `length` bytes written in place by `fill(char* out)`, which writes no NUL.
  template <class Fill>
  static Text build(std::size_t length, Fill&& fill) {
    return Text(Block::build(length, true, fill));
  }

  std::string_view view() const noexcept { return block_.view(); }
  // The bytes followed by their terminating NUL.
  const char* c_str() const noexcept { return block_.view().data(); }
  std::int32_t length() const noexcept { return static_cast<std::int32_t>(view().size()); }
  bool empty() const noexcept { return view().empty(); }
  bool isConstant() const noexcept { return block_.isConstant(); }

  friend bool operator==(const Text& a, const Text& b) noexcept { return a.view() == b.view(); }

 private:
  explicit constexpr Text(Block block) noexcept : block_(std::move(block)) {}

  Block block_;
};

// A counted sequence of bytes, NUL bytes included. The default ByteArray is the constant empty one.
class ByteArray {
 public:
  constexpr ByteArray() noexcept = default;
  explicit ByteArray(std::string_view bytes);

  std::string_view view() const noexcept { return block_.view(); }
  std::int32_t size() const noexcept { return static_cast<std::int32_t>(view().size()); }
  bool empty() const noexcept { return view().empty(); }

 private:
  Block block_;
};

// The pieces in order as one new Text; empty pieces contribute nothing.
Text concat(std::initializer_list<std::string_view> pieces);

// Decimal form: no leading zeros or spaces, no grouping, a leading minus sign when negative.
Text decimal(std::int64_t value);

}  // namespace vq
