#pragma once
// Worker threads of the console, the millisecond pause, and memory blocks
// from the console's private heap.

#include "toolkit/scoped.h"

#include <windows.h>

#include <cstdint>
#include <vector>

namespace app {

using ThreadProcedure = DWORD(WINAPI*)(void* argument);

struct ThreadEntry {
    toolkit::UniqueHandle handle;  // closed when the entry is given up
    int64_t number;
};

// Held in the console's state block (Console().threads).
struct ThreadRegistry {
    toolkit::CriticalSection lock;
    std::vector<ThreadEntry> entries;
    int64_t nextNumber = 1;
};

// Starts the procedure on a new thread and files its handle in the thread
// registry; returns the thread's number (from 1), 0 on failure.
int64_t StartWorkerThread(ThreadProcedure procedure, void* argument) noexcept;
// Builds the console's state block, and with it the registry, its lock and
// the private heap, unless an earlier use has.
void InitThreadRegistry() noexcept;
// Closes the handles of every started thread, without waiting for or
// stopping the threads.
void EndThreadRegistry() noexcept;

// Sleep with the system timer at 1 ms resolution (raised on first use).
void WaitMilliseconds(DWORD milliseconds) noexcept;

[[nodiscard]] void* AllocateBlock(int64_t size) noexcept;  // zero-filled; null for size <= 0
[[nodiscard]] int64_t BlockSize(const void* block) noexcept;
void FreeBlock(void* block) noexcept;

}  // namespace app
