#include "toolkit/toolkit_heap.h"

namespace toolkit {

HANDLE ToolkitHeap() noexcept {
    // Initial size 4096 bytes, growable without limit.
    static const HANDLE heap = HeapCreate(0, 4096, 0);
    return heap ? heap : GetProcessHeap();
}

}  // namespace toolkit
