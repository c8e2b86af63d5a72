#include "app/worker_threads.h"

#include "app/console_state.h"

#include <mmsystem.h>

#include <utility>

namespace app {

void InitThreadRegistry() noexcept { (void)Console(); }

int64_t StartWorkerThread(ThreadProcedure procedure, void* argument) noexcept {
    // A small initial commit; the reserve stays the process default.
    toolkit::UniqueHandle thread(CreateThread(nullptr, 4096, procedure, argument, 0, nullptr));
    if (!thread) return 0;
    ThreadRegistry& r = Console().threads;
    toolkit::Guard guard(r.lock);
    // Threads that have ended give their entries up here; erasing an entry
    // closes its handle.
    std::erase_if(r.entries,
                  [](const ThreadEntry& e) { return WaitForSingleObject(e.handle.get(), 0) == WAIT_OBJECT_0; });
    const int64_t number = r.nextNumber++;
    r.entries.push_back({std::move(thread), number});
    return number;
}

void EndThreadRegistry() noexcept {
    ThreadRegistry& r = Console().threads;
    toolkit::Guard guard(r.lock);
    r.entries.clear();
}

void WaitMilliseconds(DWORD milliseconds) noexcept {
    // Without this a 1 ms pause lasts a whole scheduler tick (15.6 ms).
    // Two first calls at once may both raise it, which does no harm.
    std::atomic<bool>& raised = Console().timerRaised;
    if (!raised.load(std::memory_order_relaxed)) {
        timeBeginPeriod(1);
        raised.store(true, std::memory_order_relaxed);
    }
    Sleep(milliseconds);
}

void* AllocateBlock(int64_t size) noexcept {
    const HANDLE heap = Console().heap;
    if (size <= 0 || !heap) return nullptr;
    return HeapAlloc(heap, HEAP_ZERO_MEMORY, static_cast<SIZE_T>(size));
}

int64_t BlockSize(const void* block) noexcept {
    if (!block) return 0;
    return static_cast<int64_t>(HeapSize(Console().heap, 0, block));
}

void FreeBlock(void* block) noexcept {
    if (block) HeapFree(Console().heap, 0, block);
}

}  // namespace app
