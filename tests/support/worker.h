#pragma once
// A thread that runs one function, so that a call which blocks cannot hang
// the test: the test waits for it a bounded time only.

#include <windows.h>

#include <functional>

namespace support {

class Worker {
public:
    explicit Worker(std::function<void()> work);
    // Waits (bounded) for the work, so that `work` outlives the thread. A
    // worker still blocked then is stuck on something the test's own
    // clean-up ends.
    ~Worker();
    Worker(const Worker&) = delete;
    Worker& operator=(const Worker&) = delete;

    [[nodiscard]] bool Started() const { return thread_ != nullptr; }
    // True when the work has finished within `ms`.
    [[nodiscard]] bool Done(DWORD ms) const;
    // Waits for the work (bounded) and lets the thread go.
    void Join();

private:
    static DWORD WINAPI Run(void* self);
    std::function<void()> work_;
    HANDLE thread_ = nullptr;
};

}  // namespace support
