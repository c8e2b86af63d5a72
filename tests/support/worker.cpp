#include "support/worker.h"

#include "support/waiting.h"

namespace support {

Worker::Worker(std::function<void()> work) : work_(std::move(work)) {
    thread_ = CreateThread(nullptr, 0, Run, this, 0, nullptr);
}

Worker::~Worker() { Join(); }

bool Worker::Done(DWORD ms) const { return thread_ && WaitForSingleObject(thread_, ms) == WAIT_OBJECT_0; }

void Worker::Join() {
    if (!thread_) return;
    WaitForSingleObject(thread_, Patience);
    CloseHandle(thread_);
    thread_ = nullptr;
}

DWORD WINAPI Worker::Run(void* self) {
    static_cast<Worker*>(self)->work_();
    return 0;
}

}  // namespace support
