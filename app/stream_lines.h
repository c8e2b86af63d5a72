#pragma once
// Turns the bytes of one of the shell's output streams into the pieces the
// transcript gains, one piece per shown line, whatever the reads cut apart.
// Both streams decode with the same UTF-8 rules (Utf8Decoder); they differ
// only in what a line is:
// - standard output: every line keeps its own line end and any carriage
//   return before it; zero bytes vanish; each line is "\r\n" + line + "\n".
// - standard error: carriage returns and zero bytes are dropped wherever
//   they stand, the line feed is not shown, empty lines are not shown; each
//   line is "\r\n" + line. A line is decoded only once it is complete.
// An unfinished line waits for the next read, or for Finish.

#include "app/utf8_decoder.h"

#include <cstddef>
#include <string>

namespace app {

enum class StreamKind { Output, Error };

class StreamLines {
public:
    explicit StreamLines(StreamKind kind) noexcept : kind_(kind) {}

    // Appends to `pieces` every line the bytes complete; returns how many.
    size_t Take(const unsigned char* bytes, size_t count, std::wstring& pieces);
    // End of the stream: the unfinished line, if it shows anything, becomes
    // the last piece. Returns 0 or 1.
    size_t Finish(std::wstring& pieces);

private:
    size_t TakeOutput(const unsigned char* bytes, size_t count, std::wstring& pieces);
    size_t TakeError(const unsigned char* bytes, size_t count, std::wstring& pieces);
    size_t ShowErrorLine(std::wstring& pieces);

    StreamKind kind_;
    Utf8Decoder decoder_;       // standard output: state across reads
    std::wstring outputLine_;   // standard output: decoded, no line feed yet
    std::string errorLine_;     // standard error: bytes of the unfinished line
};

// Splits decoded standard output into what the transcript gains now: each
// complete line (ending in "\n") becomes "\r\n" + the line; the unfinished
// rest stays in `pending`. Returns the number of lines taken.
size_t TakeCompleteLines(std::wstring& pending, std::wstring& appended);

}  // namespace app
