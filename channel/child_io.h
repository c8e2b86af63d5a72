#pragma once
// Talking to a started child through its pipes. A null child is accepted by
// every operation: nothing is written, nothing is read, and it never runs.
// The console reads with PeekChildStream and ReadChildStream and writes with
// WriteChildText; the operations before them serve other callers.

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
// The line buffer grows by 4096 bytes at a time, which is slow for very
// long lines.
[[nodiscard]] std::wstring ReadChildErrorLine(const ChildProcess* child);

// The child's two output streams, for the bulk readers below.
enum class ChildStream { Output, Error };

// What one output stream holds right now. `ended` is set once every writer
// has closed the pipe and it is read empty (or when the child has no such
// pipe): nothing more will ever come.
struct ChildStreamState {
    uint32_t pending = 0;
    bool ended = false;
};
[[nodiscard]] ChildStreamState PeekChildStream(const ChildProcess* child, ChildStream stream) noexcept;
// One read of at most `size` bytes; never waits when `size` bytes or fewer
// are pending (see PeekChildStream). Returns the count read, 0 on failure.
[[nodiscard]] int32_t ReadChildStream(const ChildProcess* child, ChildStream stream, void* buffer,
                                      int32_t size) noexcept;
// Writes the text in the channel's encoding; may block while the pipe is full.
void WriteChildText(const ChildProcess* child, const wchar_t* text) noexcept;

}  // namespace channel
