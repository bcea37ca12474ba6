#pragma once

#include <cstddef>
#include <cstdint>

namespace vq {

// The heap that every Text and ByteArray of the program is allocated from.
class BlockHeap {
 public:
  virtual ~BlockHeap() = default;
  // Returns null when the memory is exhausted.
  virtual void* allocate(std::size_t size) = 0;
  virtual void release(void* block) = 0;
};

// Makes `heap` the heap of all later blocks. Until a heap is chosen, the C library's is used.
// Blocks must be released to the heap they came from, so this is done once, before any block
// exists.
void useBlockHeap(BlockHeap& heap);

// A new block of `size` bytes, never null: exhausted memory ends the process through
// raiseFatalError with "分配 <size> 字节内存失败!".
void* allocateBlock(std::int32_t size);

// Gives a block back to the heap; null is ignored.
void releaseBlock(void* block);

}  // namespace vq
