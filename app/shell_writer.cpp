#include "app/shell_writer.h"

#include "app/worker_threads.h"
#include "channel/child_io.h"
#include "toolkit/scoped.h"

namespace app {

bool ShellWriter::Start(const channel::ChildProcess* child) noexcept {
    bool already = false;
    {
        toolkit::Guard guard(lock_);
        already = started_;
        child_ = child;
        started_ = true;
    }
    if (already) return true;
    return StartWorkerThread(&ShellWriter::Run, this) != 0;
}

void ShellWriter::Send(std::wstring text) {
    {
        toolkit::Guard guard(lock_);
        texts_.push_back(std::move(text));
    }
    WakeConditionVariable(&queued_);
}

DWORD WINAPI ShellWriter::Run(void* self) noexcept {
    auto* writer = static_cast<ShellWriter*>(self);
    for (;;) {
        std::wstring text;
        const channel::ChildProcess* child = nullptr;
        {
            toolkit::Guard guard(writer->lock_);
            // The wait gives the lock up while it sleeps and has it again on waking.
            while (writer->texts_.empty())
                SleepConditionVariableSRW(&writer->queued_, &writer->lock_, INFINITE, 0);
            text = std::move(writer->texts_.front());
            writer->texts_.pop_front();
            child = writer->child_;
        }
        channel::WriteChildText(child, text.c_str());
    }
}

}  // namespace app
