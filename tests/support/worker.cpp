#include "support/worker.h"

#include "support/waiting.h"

#include <memory>

namespace support {

Worker::Worker(std::function<void()> work) {
    // The thread owns the work, the worker only the handle: the function is
    // destroyed when the thread is done with it, however long that takes.
    auto* owned = new std::function<void()>(std::move(work));
    thread_ = CreateThread(nullptr, 0, Run, owned, 0, nullptr);
    if (!thread_) delete owned;
}

Worker::~Worker() { Join(); }

bool Worker::Done(DWORD ms) const { return thread_ && WaitForSingleObject(thread_, ms) == WAIT_OBJECT_0; }

void Worker::Join() {
    if (!thread_) return;
    (void)PumpUntil([this] { return Done(0); });  // a stuck thread is left to run
    CloseHandle(thread_);
    thread_ = nullptr;
}

DWORD WINAPI Worker::Run(void* work) {
    const std::unique_ptr<std::function<void()>> owned(static_cast<std::function<void()>*>(work));
    (*owned)();
    return 0;
}

}  // namespace support
