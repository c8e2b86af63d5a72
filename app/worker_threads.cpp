#include "app/worker_threads.h"

#include "app/console_state.h"

#include <utility>

namespace app {

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

}  // namespace app
