#include "toolkit/toolkit_state.h"

#include "toolkit/toolkit_heap.h"

namespace toolkit {

ToolkitState& Toolkit() noexcept { return ProcessWide<ToolkitState>(); }

HANDLE ToolkitHeap() noexcept {
    // The process heap stands in if the private one could not be created.
    const HANDLE heap = Toolkit().heap;
    return heap ? heap : GetProcessHeap();
}

}  // namespace toolkit
