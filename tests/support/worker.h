#pragma once
// A thread that runs one function, so that a call which blocks cannot hang
// the test: the test waits for it a bounded time only.

#include <windows.h>

#include <functional>

namespace support {

class Worker {
public:
    explicit Worker(std::function<void()> work);
    // Waits (bounded, dispatching this thread's messages, since the work may
    // need this thread's windows) for the work. A thread still running then
    // keeps its work alive itself: a hang stays a failed wait, never a crash
    // in whatever test runs next.
    ~Worker();
    Worker(const Worker&) = delete;
    Worker& operator=(const Worker&) = delete;

    [[nodiscard]] bool Started() const { return thread_ != nullptr; }
    // True when the work has finished within `ms`.
    [[nodiscard]] bool Done(DWORD ms) const;
    // Waits for the work as the destructor does and lets the thread go.
    void Join();

private:
    static DWORD WINAPI Run(void* work);
    HANDLE thread_ = nullptr;
};

}  // namespace support
