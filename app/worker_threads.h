#pragma once
// Worker threads of the console, the millisecond pause, and memory blocks
// from the console's private heap.

#include <windows.h>

#include <cstdint>

namespace app {

using ThreadProcedure = DWORD(WINAPI*)(void* argument);

// Starts the procedure on a new thread and files its handle in the thread
// registry; returns the thread's number (from 1), 0 on failure.
int64_t StartWorkerThread(ThreadProcedure procedure, void* argument) noexcept;
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
