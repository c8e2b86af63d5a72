#include "support/named_event.h"

#include <atomic>

namespace support {

NamedEvent::NamedEvent() {
    static std::atomic<int> made{0};
    name_ = L"wslc-test-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++made);
    event_ = CreateEventW(nullptr, TRUE, FALSE, name_.c_str());
}

NamedEvent::~NamedEvent() {
    if (event_) CloseHandle(event_);
}

void NamedEvent::Set() const { SetEvent(event_); }

bool NamedEvent::IsSet() const { return WaitForSingleObject(event_, 0) == WAIT_OBJECT_0; }

}  // namespace support
