#include "core/win32/process_heap.h"

#include <windows.h>

namespace vq::win32 {

void* ProcessHeap::allocate(std::size_t size) { return HeapAlloc(GetProcessHeap(), 0, size); }

void ProcessHeap::release(void* block) { HeapFree(GetProcessHeap(), 0, block); }

}  // namespace vq::win32
