#pragma once
// Talking to a started child through its pipes. A null child is accepted by
// every operation: nothing is written, nothing is read, and it never runs.

#include "channel/child_launch.h"

#include <cstdint>
#include <string>

namespace channel {

// 1 while the process runs or unread bytes wait on its standard output, else 0.
[[nodiscard]] int ChildIsRunning(const ChildProcess* child) noexcept;
// Bytes waiting on the child's standard output right now (0 when none, or no pipe).
[[nodiscard]] uint32_t ChildOutputPending(const ChildProcess* child) noexcept;
// Blocks until `size` bytes are read or the pipe ends; returns the count read.
[[nodiscard]] int32_t ReadChildOutput(const ChildProcess* child, void* buffer, int32_t size) noexcept;
// The next standard-error line without its line end, or "" when nothing waits.
[[nodiscard]] std::wstring ReadChildErrorLine(const ChildProcess* child);
// Writes the text in the channel's encoding; may block while the pipe is full.
void WriteChildText(const ChildProcess* child, const wchar_t* text) noexcept;

}  // namespace channel
