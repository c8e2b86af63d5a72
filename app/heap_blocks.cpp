#include "app/heap_blocks.h"

#include "app/console_state.h"

namespace app {

void* AllocateBlock(int64_t size) noexcept {
    const HANDLE heap = Console().heap;
    if (size <= 0 || !heap) return nullptr;
    return HeapAlloc(heap, HEAP_ZERO_MEMORY, static_cast<SIZE_T>(size));
}

int64_t BlockSize(const void* block) noexcept {
    if (!block) return 0;
    return static_cast<int64_t>(HeapSize(Console().heap, 0, block));
}

void FreeBlock(void* block) noexcept {
    if (block) HeapFree(Console().heap, 0, block);
}

}  // namespace app
