#pragma once
// Raising an event from another thread: the event travels as a posted
// message to the event library's hidden window and is raised, with
// DeliverAlways, on the thread that owns that window.

#include <cstdint>

namespace toolkit {

// False when the library is not started or the message could not be posted
// (the event's block is then freed here).
bool PostEvent(int32_t code, int64_t object, int64_t window, int64_t data) noexcept;

}  // namespace toolkit
