// Reading and writing a child's standard streams through the pipes its
// launch made. Nothing is buffered here: every call goes to the pipe.

#include "channel/child_io.h"

#include <cwchar>
#include <memory>
#include <new>
#include <vector>

namespace channel {
namespace {

enum class Encoding { Ansi, Utf8, Utf16 };

// The channel's text encoding, from the launch flags: the ANSI code page
// wins over UTF-8, UTF-8 over UTF-16, and UTF-8 is the default.
Encoding ChannelEncoding(uint32_t flags) noexcept {
    if (flags & TextAnsi) return Encoding::Ansi;
    if (flags & TextUtf8) return Encoding::Utf8;
    if (flags & TextUtf16) return Encoding::Utf16;
    return Encoding::Utf8;
}

UINT CodePage(Encoding encoding) noexcept { return encoding == Encoding::Ansi ? CP_ACP : CP_UTF8; }

DWORD BytesAvailable(HANDLE pipe) noexcept {
    DWORD available = 0;
    if (pipe) (void)PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr);  // a failed peek leaves 0
    return available;
}

// Reads exactly `size` bytes unless the pipe breaks or fails first; returns
// the count read.
DWORD ReadFully(HANDLE pipe, void* buffer, DWORD size) noexcept {
    DWORD total = 0;
    while (total < size) {
        DWORD count = 0;
        if (!ReadFile(pipe, static_cast<char*>(buffer) + total, size - total, &count, nullptr)) return total + count;
        total += count;
    }
    return total;
}

// One line of byte text (ANSI code page or UTF-8). A carriage return is
// dropped wherever it stands; so is a zero byte, which would otherwise cut
// the decoded line short and lose the rest of it.
std::wstring ReadByteLine(HANDLE pipe, UINT codePage) {
    std::vector<char> line;
    line.reserve(4096);
    char byte = 0;
    while (ReadFully(pipe, &byte, 1) == 1) {
        if (byte == '\n') break;
        if (byte == '\r' || byte == '\0') continue;
        if (line.size() == line.capacity()) line.reserve(line.capacity() + 4096);
        line.push_back(byte);
    }
    if (line.empty()) return {};
    // The whole line is decoded at once, so a character of several bytes is
    // never split.
    const int size = static_cast<int>(line.size());
    const int length = MultiByteToWideChar(codePage, 0, line.data(), size, nullptr, 0);
    if (length <= 0) return {};
    std::wstring text(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(codePage, 0, line.data(), size, text.data(), length);
    return text;
}

// One line of UTF-16 units. A unit that arrives in two pieces is put
// together; an odd byte left when the pipe breaks is dropped.
std::wstring ReadUnitLine(HANDLE pipe) {
    std::wstring line;
    line.reserve(4096);
    wchar_t unit = 0;
    while (ReadFully(pipe, &unit, sizeof unit) == sizeof unit) {
        if (unit == L'\n') break;
        if (unit == L'\r' || unit == L'\0') continue;
        if (line.size() == line.capacity()) line.reserve(line.capacity() + 4096);
        line.push_back(unit);
    }
    return line;
}

}  // namespace

int ChildIsRunning(const ChildProcess* child) noexcept {
    if (!child) return 0;
    // A failed wait counts as running: only a signalled process has ended.
    if (WaitForSingleObject(child->processHandle, 0) != WAIT_OBJECT_0) return 1;
    // Ended, but output it wrote before ending may still wait to be read.
    return BytesAvailable(child->outputReadEnd) != 0 ? 1 : 0;
}

uint32_t ChildOutputPending(const ChildProcess* child) noexcept {
    return child ? BytesAvailable(child->outputReadEnd) : 0;
}

int32_t ReadChildOutput(const ChildProcess* child, void* buffer, int32_t size) noexcept {
    if (size <= 0 || !child || !child->outputReadEnd) return 0;
    // A failure other than a broken pipe is tried again, but one that keeps
    // coming back without a byte read in between ends the read: repeating it
    // for ever would hang the caller.
    constexpr int failuresInARow = 3;
    int failures = 0;
    int32_t total = 0;
    while (total < size) {
        DWORD count = 0;
        const BOOL ok = ReadFile(child->outputReadEnd, static_cast<char*>(buffer) + total,
                                 static_cast<DWORD>(size - total), &count, nullptr);
        total += static_cast<int32_t>(count);
        if (ok || count > 0) {
            failures = 0;
            continue;
        }
        if (GetLastError() == ERROR_BROKEN_PIPE) break;  // the child's end is closed and the pipe drained
        if (++failures == failuresInARow) break;
    }
    return total;
}

namespace {

HANDLE StreamPipe(const ChildProcess* child, ChildStream stream) noexcept {
    if (!child) return nullptr;
    return stream == ChildStream::Output ? child->outputReadEnd : child->errorReadEnd;
}

}  // namespace

ChildStreamState PeekChildStream(const ChildProcess* child, ChildStream stream) noexcept {
    const HANDLE pipe = StreamPipe(child, stream);
    if (!pipe) return {0, true};
    DWORD available = 0;
    // A pipe that cannot be peeked cannot be read either; the usual failure
    // is a broken pipe: every writer has closed it and it is empty.
    if (!PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr)) return {0, true};
    return {available, false};
}

int32_t ReadChildStream(const ChildProcess* child, ChildStream stream, void* buffer, int32_t size) noexcept {
    const HANDLE pipe = StreamPipe(child, stream);
    if (!pipe || size <= 0) return 0;
    DWORD count = 0;
    (void)ReadFile(pipe, buffer, static_cast<DWORD>(size), &count, nullptr);  // a failure leaves what it read
    return static_cast<int32_t>(count);
}

std::wstring ReadChildErrorLine(const ChildProcess* child) {
    if (!child) return {};
    // The only test that never blocks: once a byte is pending, the rest of
    // the line is waited for.
    if (BytesAvailable(child->errorReadEnd) == 0) return {};
    const Encoding encoding = ChannelEncoding(child->flags);
    if (encoding == Encoding::Utf16) return ReadUnitLine(child->errorReadEnd);
    return ReadByteLine(child->errorReadEnd, CodePage(encoding));
}

void WriteChildText(const ChildProcess* child, const wchar_t* text) noexcept {
    if (!child || !text || !child->inputWriteEnd) return;
    const size_t length = wcslen(text);
    DWORD written = 0;
    const Encoding encoding = ChannelEncoding(child->flags);
    if (encoding == Encoding::Utf16) {
        // The text's own units, as stored, with no terminator.
        if (length > MAXDWORD / sizeof(wchar_t)) return;
        (void)WriteFile(child->inputWriteEnd, text, static_cast<DWORD>(length * sizeof(wchar_t)), &written,
                        nullptr);  // a child that stopped listening is not our caller's concern
        return;
    }
    if (length > static_cast<size_t>(INT32_MAX)) return;
    const UINT codePage = CodePage(encoding);
    const int units = static_cast<int>(length);
    const int bytes = units ? WideCharToMultiByte(codePage, 0, text, units, nullptr, 0, nullptr, nullptr) : 0;
    std::unique_ptr<char[]> encoded(new (std::nothrow) char[bytes > 0 ? bytes : 1]);
    if (!encoded) return;
    const int converted =
        bytes > 0 ? WideCharToMultiByte(codePage, 0, text, units, encoded.get(), bytes, nullptr, nullptr) : 0;
    (void)WriteFile(child->inputWriteEnd, encoded.get(), static_cast<DWORD>(converted > 0 ? converted : 0), &written,
                    nullptr);  // as above: write failures are dropped
}

}  // namespace channel
