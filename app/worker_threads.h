#pragma once
// Worker threads of the console, filed in a registry so that their handles
// close at shutdown.

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
// Closes the handles of every started thread, without waiting for or
// stopping the threads.
void EndThreadRegistry() noexcept;

}  // namespace app
