#include "core/block_heap.h"

#include <cstdlib>

#include "core/fatal_error.h"
#include "core/text.h"

namespace vq {
namespace {

class CLibraryHeap final : public BlockHeap {
 public:
  void* allocate(std::size_t size) override { return std::malloc(size); }
  void release(void* block) override { std::free(block); }
};

BlockHeap& defaultHeap() {
  // Never destroyed: module-level Texts give their blocks back during static destruction.
  static BlockHeap& heap = *new CLibraryHeap;
  return heap;
}

BlockHeap* currentHeap = nullptr;

BlockHeap& heap() { return currentHeap != nullptr ? *currentHeap : defaultHeap(); }

// Set while the failure message is composed: if that small block cannot be had either, the box
// goes without the message rather than recursing.
bool reportingFailure = false;

// "分配 " and " 字节内存失败!"
constexpr std::string_view allocationFailurePrefix = "\xB7\xD6\xC5\xE4 ";
constexpr std::string_view allocationFailureSuffix =
    " \xD7\xD6\xBD\xDA\xC4\xDA\xB4\xE6\xCA\xA7\xB0\xDC!";

}  // namespace

void useBlockHeap(BlockHeap& newHeap) { currentHeap = &newHeap; }

void* allocateBlock(std::int32_t size) {
  void* block = size >= 0 ? heap().allocate(static_cast<std::size_t>(size)) : nullptr;
  if (block == nullptr) {
    if (reportingFailure) raiseFatalError(Text(), 0);
    reportingFailure = true;
    // Cleared again only if the handler unwinds instead of ending the process (in tests).
    struct Reset {
      ~Reset() { reportingFailure = false; }
    } reset;
    raiseFatalError(
        concat({allocationFailurePrefix, decimal(size).view(), allocationFailureSuffix}), 0);
  }
  return block;
}

void releaseBlock(void* block) {
  if (block != nullptr) heap().release(block);
}

}  // namespace vq
