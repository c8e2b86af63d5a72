#include "app/shell_writer.h"

#include "app/worker_threads.h"
#include "channel/child_io.h"

namespace app {

bool ShellWriter::Start(const channel::ChildProcess* child) noexcept {
    AcquireSRWLockExclusive(&lock_);
    const bool already = started_;
    child_ = child;
    started_ = true;
    ReleaseSRWLockExclusive(&lock_);
    if (already) return true;
    return StartWorkerThread(&ShellWriter::Run, this) != 0;
}

void ShellWriter::Send(std::wstring text) {
    AcquireSRWLockExclusive(&lock_);
    texts_.push_back(std::move(text));
    ReleaseSRWLockExclusive(&lock_);
    WakeConditionVariable(&queued_);
}

DWORD WINAPI ShellWriter::Run(void* self) noexcept {
    auto* writer = static_cast<ShellWriter*>(self);
    for (;;) {
        AcquireSRWLockExclusive(&writer->lock_);
        while (writer->texts_.empty()) SleepConditionVariableSRW(&writer->queued_, &writer->lock_, INFINITE, 0);
        std::wstring text = std::move(writer->texts_.front());
        writer->texts_.pop_front();
        const channel::ChildProcess* child = writer->child_;
        ReleaseSRWLockExclusive(&writer->lock_);
        channel::WriteChildText(child, text.c_str());
    }
}

}  // namespace app
