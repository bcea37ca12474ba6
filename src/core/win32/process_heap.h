#pragma once

#include "core/block_heap.h"

namespace vq::win32 {

// The process's default heap (GetProcessHeap), allocated from without flags.
class ProcessHeap final : public BlockHeap {
 public:
  void* allocate(std::size_t size) override;
  void release(void* block) override;
};

}  // namespace vq::win32
