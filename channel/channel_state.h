#pragma once
// The channel's state. Process-wide: ChildList and its lock, and the heap
// the records live in, built by InitChildChannel at start-up (or by the
// first launch, whichever comes first). Per thread: the ParameterCursor of
// the own-parameter reading, zero in every thread.

#include "channel/child_launch.h"
#include "toolkit/scoped.h"

#include <windows.h>

#include <cstdint>

namespace channel {

// One element of ChildList. The record is what callers hold; it sits inside
// the node, so its address never changes and the list can always find it.
struct ChildNode {
    ChildNode* prev;
    ChildNode* next;
    ChildProcess record;
};

struct ChannelState {
    toolkit::CriticalSection childListLock;  // ChildListLock: held only to allocate and link a record
    ChildNode* childList = nullptr;           // newest first; nothing is ever removed
    // Records live here until the process ends (initial size 4096 bytes,
    // growable without limit); null if it could not be created (then the
    // process heap stands in).
    HANDLE heap = HeapCreate(0, 4096, 0);
};

// The block, built on first use and never destroyed: the records must stay
// valid for the life of the process.
[[nodiscard]] ChannelState& Channel() noexcept;

struct ChannelThreadState {
    int32_t parameterCursor;  // the number of the parameter NextOwnParameter returns next
};

// The calling thread's state, zero on its first use.
[[nodiscard]] ChannelThreadState& ChannelThread() noexcept;

}  // namespace channel
