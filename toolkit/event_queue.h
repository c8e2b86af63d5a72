#pragma once
// Per-thread event queues, the event wait that pumps platform messages, and
// event suppression.

#include <cstdint>

namespace toolkit {

void InitEventLibrary() noexcept;
void EndEventLibrary() noexcept;

// Queues an event on the calling thread (merged into an equal tail event;
// discarded while suppressed unless `flags` has DeliverAlways).
void RaiseEvent(int32_t code, int64_t object, int64_t window, int64_t data, uint32_t flags) noexcept;
// Removes the calling thread's queued events matching all four values (-1: any).
void DropEvents(int32_t code, int64_t object, int64_t window, int64_t data) noexcept;
void DropWindowEvents(int64_t window) noexcept;
void SuppressEvents() noexcept;
void ResumeEvents() noexcept;

// Brackets a change the calling thread makes to a control, so that the
// notifications the change causes on this thread raise no ControlEvent.
class SuppressedEvents {
public:
    SuppressedEvents() noexcept { SuppressEvents(); }
    ~SuppressedEvents() { ResumeEvents(); }
    SuppressedEvents(const SuppressedEvents&) = delete;
    SuppressedEvents& operator=(const SuppressedEvents&) = delete;
};

// The next queued event's code; else the number of the platform message just
// handled; 0 when `timeout` ms passed without one (-1 waits without limit).
[[nodiscard]] int64_t WaitEvent(int32_t timeout) noexcept;
// The object of the last event taken (after a MenuEvent: its item).
[[nodiscard]] int64_t EventMenuItem() noexcept;

}  // namespace toolkit
