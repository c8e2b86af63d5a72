#pragma once
// Writes to the shell from a thread of its own, in order. A write blocks
// while the shell's input pipe is full (the shell is busy or not reading);
// the main thread only queues, so the window never freezes.

#include "channel/child_launch.h"

#include <windows.h>

#include <deque>
#include <string>

namespace app {

class ShellWriter {
public:
    ShellWriter() noexcept = default;
    ShellWriter(const ShellWriter&) = delete;
    ShellWriter& operator=(const ShellWriter&) = delete;

    // Starts the writing thread for `child` (null: every text is dropped).
    bool Start(const channel::ChildProcess* child) noexcept;
    // Queues a text; it reaches the shell after everything queued before it.
    void Send(std::wstring text);

private:
    static DWORD WINAPI Run(void* self) noexcept;

    SRWLOCK lock_ = SRWLOCK_INIT;
    CONDITION_VARIABLE queued_ = CONDITION_VARIABLE_INIT;
    std::deque<std::wstring> texts_;
    const channel::ChildProcess* child_ = nullptr;
    bool started_ = false;
};

}  // namespace app
