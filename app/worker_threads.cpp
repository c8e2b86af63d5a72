#include "app/worker_threads.h"

#include "toolkit/scoped.h"

#include <mmsystem.h>

#include <atomic>
#include <vector>

namespace app {
namespace {

struct ThreadEntry {
    HANDLE handle;
    int64_t number;
};

struct ThreadRegistry {
    toolkit::CriticalSection lock;
    std::vector<ThreadEntry> entries;
    int64_t nextNumber = 1;
};

ThreadRegistry& Registry() noexcept {
    // Never freed: a thread may be started while the process ends.
    static ThreadRegistry* const registry = new ThreadRegistry;
    return *registry;
}

std::atomic<bool> g_timerRaised{false};

HANDLE PrivateHeap() noexcept {
    static const HANDLE heap = HeapCreate(0, 4096, 0);
    return heap;
}

}  // namespace

void InitThreadRegistry() noexcept { (void)Registry(); }

int64_t StartWorkerThread(ThreadProcedure procedure, void* argument) noexcept {
    // A small initial commit; the reserve stays the process default.
    HANDLE thread = CreateThread(nullptr, 4096, procedure, argument, 0, nullptr);
    if (!thread) return 0;
    ThreadRegistry& r = Registry();
    toolkit::Guard guard(r.lock);
    // Threads that have ended give their entries up here.
    std::erase_if(r.entries, [](const ThreadEntry& e) {
        if (WaitForSingleObject(e.handle, 0) != WAIT_OBJECT_0) return false;
        CloseHandle(e.handle);
        return true;
    });
    const int64_t number = r.nextNumber++;
    r.entries.push_back({thread, number});
    return number;
}

void EndThreadRegistry() noexcept {
    ThreadRegistry& r = Registry();
    toolkit::Guard guard(r.lock);
    for (const ThreadEntry& e : r.entries) CloseHandle(e.handle);
    r.entries.clear();
}

void WaitMilliseconds(DWORD milliseconds) noexcept {
    // Without this a 1 ms pause lasts a whole scheduler tick (15.6 ms).
    // Two first calls at once may both raise it, which does no harm.
    if (!g_timerRaised.load(std::memory_order_relaxed)) {
        timeBeginPeriod(1);
        g_timerRaised.store(true, std::memory_order_relaxed);
    }
    Sleep(milliseconds);
}

void* AllocateBlock(int64_t size) noexcept {
    if (size <= 0 || !PrivateHeap()) return nullptr;
    return HeapAlloc(PrivateHeap(), HEAP_ZERO_MEMORY, static_cast<SIZE_T>(size));
}

int64_t BlockSize(const void* block) noexcept {
    if (!block) return 0;
    return static_cast<int64_t>(HeapSize(PrivateHeap(), 0, block));
}

void FreeBlock(void* block) noexcept {
    if (block) HeapFree(PrivateHeap(), 0, block);
}

}  // namespace app
