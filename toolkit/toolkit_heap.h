#pragma once
// The toolkit's private heap: registry records, event-queue blocks, shortcut
// arrays and posted-event blocks come from it, zero-filled where asked.

#include <windows.h>

namespace toolkit {

// Created on first use; the process heap stands in if it cannot be created.
[[nodiscard]] HANDLE ToolkitHeap() noexcept;

}  // namespace toolkit
