#pragma once
// The toolkit's process-wide state, in one block: the private heap and the
// event lock exist from the block's first use; the event library's fields
// are filled by InitEventLibrary, the window library's by InitWindowLibrary,
// and the window hooks by the controls library's start (InitControls), in
// that order. Per-thread state is EventThread() (event_state.h).

#include "toolkit/object_registry.h"
#include "toolkit/scoped.h"
#include "toolkit/window_hooks.h"

#include <windows.h>

namespace toolkit {

struct ToolkitState {
    // Registry records, queue blocks, shortcut arrays and posted events come
    // from here (initial size 4096 bytes, growable without limit).
    HANDLE heap = HeapCreate(0, 4096, 0);
    CriticalSection eventLock;  // EventLock: held while an event is raised and while one is taken

    // InitEventLibrary: the hidden window posted events travel through.
    HWND postWindow = nullptr;
    UINT postMessage = 0;  // "KX_PostEventMessage"

    // InitWindowLibrary.
    ObjectRegistry* windowRegistry = nullptr;  // WindowRegistry; kept for the life of the process
    HICON icon = nullptr;                      // class icon: resource 1 of the program, if it has one
    HCURSOR cursor = nullptr;

    // InitControls, through SetWindowHooks.
    WindowHooks hooks{};
};

// The block, built on first use and never destroyed.
[[nodiscard]] ToolkitState& Toolkit() noexcept;

}  // namespace toolkit
