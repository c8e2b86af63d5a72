#include "app/heap_blocks.h"

#include "app/console_state.h"

namespace app {
namespace {

// The process heap stands in if the private one could not be created:
// without it no read buffer could ever be had, and the shell's streams would
// stay unread.
HANDLE BlockHeap() noexcept {
    const HANDLE heap = Console().heap;
    return heap ? heap : GetProcessHeap();
}

}  // namespace

void* AllocateBlock(int64_t size) noexcept {
    if (size <= 0) return nullptr;
    return HeapAlloc(BlockHeap(), HEAP_ZERO_MEMORY, static_cast<SIZE_T>(size));
}

int64_t BlockSize(const void* block) noexcept {
    if (!block) return 0;
    return static_cast<int64_t>(HeapSize(BlockHeap(), 0, block));
}

void FreeBlock(void* block) noexcept {
    if (block) HeapFree(BlockHeap(), 0, block);
}

}  // namespace app
