#pragma once
// The toolkit's private heap: registry records, event-queue blocks, shortcut
// arrays and posted-event blocks come from it, zero-filled where asked.

#include <windows.h>

namespace toolkit {

// Part of the toolkit's state block; the process heap stands in if the
// private heap could not be created.
[[nodiscard]] HANDLE ToolkitHeap() noexcept;

}  // namespace toolkit
