#include "channel/child_io.h"

#include "channel_test_support.h"

#include <string>
#include <vector>

using namespace channel_test;
using channel::ChildIsRunning;
using channel::ChildOutputPending;
using channel::ChildProcess;
using channel::ReadChildErrorLine;
using channel::ReadChildOutput;
using channel::WriteChildText;

namespace {

class ChildIoTest : public ChildTest {
protected:
    // Waits until the child's standard error has something to read.
    static bool ErrorPending(const ChildProcess* child) {
        return WaitUntil([&] { return PendingOn(child->errorReadEnd) > 0; });
    }
    // Reads `size` bytes of standard output on a worker, within the patience.
    static std::string ReadOutput(const ChildProcess* child, int32_t size) {
        std::string bytes(static_cast<size_t>(size), '\0');
        int32_t got = -1;
        Worker reader([&] { got = ReadChildOutput(child, bytes.data(), size); });
        if (!reader.Done(Patience)) {
            ADD_FAILURE() << "ReadChildOutput did not return";
            TerminateProcess(child->processHandle, 1);
            return {};
        }
        bytes.resize(static_cast<size_t>(got > 0 ? got : 0));
        return bytes;
    }
    // Starts the helper with `steps` (which end it), waits for its end, then
    // reads `count` lines of its standard error.
    std::vector<std::wstring> ErrorLinesAfterExit(const std::wstring& steps, size_t count,
                                                  uint32_t flags = ConsoleFlags) {
        std::vector<std::wstring> lines;
        const ChildProcess* child = StartHelper(steps, flags);
        if (!child || !WaitExit(child)) {
            ADD_FAILURE() << "the helper did not run to its end";
            return lines;
        }
        for (size_t i = 0; i < count; ++i) lines.push_back(ReadChildErrorLine(child));
        return lines;
    }
};

using Lines = std::vector<std::wstring>;

// The suites, each named after the operation its tests are about.
using ChildIsRunningTest = ChildIoTest;
using ReadChildOutputTest = ChildIoTest;
using ReadChildErrorLineTest = ChildIoTest;
using WriteChildTextTest = ChildIoTest;

}  // namespace

TEST(ChildIo, NullChildIsNeverRunningAndNothingHappens) {
    char buffer[4] = {'x', 'x', 'x', 'x'};
    EXPECT_EQ(ChildIsRunning(nullptr), 0);
    EXPECT_EQ(ChildOutputPending(nullptr), 0u);
    EXPECT_EQ(ReadChildOutput(nullptr, buffer, 4), 0);
    EXPECT_EQ(ReadChildErrorLine(nullptr), L"");
    WriteChildText(nullptr, L"ls\n");
    WriteChildText(nullptr, nullptr);
    EXPECT_EQ(std::string(buffer, 4), "xxxx");
}

TEST_F(ChildIsRunningTest, RunningUntilExitAndOutputReadEmpty) {
    NamedEvent go;
    const ChildProcess* child = StartHelper(L"wait:" + go.Name() + L" out:616263 err:65 exit:0");
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(ChildIsRunning(child), 1);  // waiting on the event
    go.Set();
    ASSERT_TRUE(WaitExit(child));
    // Ended, but three bytes of output are unread; unread error output does not count.
    EXPECT_EQ(ChildIsRunning(child), 1);
    EXPECT_EQ(ChildOutputPending(child), 3u);
    EXPECT_EQ(ReadOutput(child, 1), "a");
    EXPECT_EQ(ChildIsRunning(child), 1);
    EXPECT_EQ(ChildOutputPending(child), 2u);
    EXPECT_EQ(ReadOutput(child, 2), "bc");
    EXPECT_EQ(ChildOutputPending(child), 0u);
    EXPECT_EQ(ChildIsRunning(child), 0);
}

TEST_F(ReadChildOutputTest, ReadChildOutputReturnsWhatItHasWhenThePipeBreaks) {
    const ChildProcess* child = StartHelper(L"out:616263 exit:0");
    ASSERT_NE(child, nullptr);
    ASSERT_TRUE(WaitExit(child));
    char buffer[8] = {};
    EXPECT_EQ(ReadChildOutput(child, buffer, 0), 0);  // nothing asked, nothing read
    EXPECT_EQ(ReadChildOutput(child, buffer, -4), 0);
    EXPECT_EQ(ChildOutputPending(child), 3u);
    EXPECT_EQ(ReadOutput(child, 100), "abc");
    EXPECT_EQ(ReadOutput(child, 100), "");  // broken and empty
}

TEST_F(ReadChildOutputTest, ReadChildOutputWaitsForTheWholeSize) {
    NamedEvent go;
    const ChildProcess* child = StartHelper(L"out:6162 wait:" + go.Name() + L" out:6364 sleep:10000");
    ASSERT_NE(child, nullptr);
    ASSERT_TRUE(WaitUntil([&] { return ChildOutputPending(child) == 2; }));
    char buffer[4] = {};
    int32_t got = -1;
    Worker reader([&] { got = ReadChildOutput(child, buffer, 4); });
    // The reader takes the first two bytes and must go on waiting for two more.
    ASSERT_TRUE(WaitUntil([&] { return ChildOutputPending(child) == 0; }));
    EXPECT_TRUE(NothingWithin(200, [&] { return reader.Done(0); }));
    go.Set();
    ASSERT_TRUE(reader.Done(Patience));
    EXPECT_EQ(got, 4);
    EXPECT_EQ(std::string(buffer, 4), "abcd");
}

TEST_F(ReadChildOutputTest, ReadChildOutputEndsOnAFailureThatPersists) {
    // Records this system never makes, but must not hang on: no output pipe
    // at all, and an "output pipe" that can never be read (a write end).
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    ASSERT_TRUE(CreatePipe(&readEnd, &writeEnd, nullptr, 0));
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(writeEnd, "abc", 3, &written, nullptr));
    ChildProcess noPipe{GetCurrentProcess(), GetCurrentProcessId(), nullptr, nullptr, nullptr, PipedFlags};
    ChildProcess unreadable{GetCurrentProcess(), GetCurrentProcessId(), nullptr, writeEnd, nullptr, PipedFlags};
    char buffer[4] = {};
    int32_t first = -1, second = -1;
    Worker reader([&] {
        first = ReadChildOutput(&noPipe, buffer, 4);
        second = ReadChildOutput(&unreadable, buffer, 4);
    });
    EXPECT_TRUE(reader.Done(5000));
    EXPECT_EQ(first, 0);
    EXPECT_EQ(second, 0);
    CloseHandle(writeEnd);  // lets a still-blocked reader go before the worker is waited for
    CloseHandle(readEnd);
}

TEST_F(ReadChildErrorLineTest, ErrorLinesLoseLineEndsCarriageReturnsAndZeroBytes) {
    // "a\0b\0c\0\n", "d\0\n", "a\rb\n", "\r\n", "\n", "c\r\r\n", "tail" without a
    // line feed, which comes back whole once the pipe breaks; then nothing is pending.
    EXPECT_EQ(ErrorLinesAfterExit(L"err:6100620063000a64000a610d620a0d0a0a630d0d0a7461696c exit:0", 9),
              (Lines{L"abc", L"d", L"ab", L"", L"", L"c", L"tail", L"", L""}));
}

TEST_F(ReadChildErrorLineTest, LongErrorLineComesBackWholeAndTheNextStays) {
    const ChildProcess* child = StartHelper(L"err:" + Hex(std::string(5000, 'x')) + L" err:0a7365636f6e640a exit:0");
    ASSERT_NE(child, nullptr);
    ASSERT_TRUE(ErrorPending(child));
    std::wstring line;
    Worker reader([&] { line = ReadChildErrorLine(child); });
    ASSERT_TRUE(reader.Done(Patience));
    EXPECT_EQ(line, std::wstring(5000, L'x'));
    ASSERT_TRUE(WaitExit(child));
    EXPECT_EQ(ReadChildErrorLine(child), L"second");
}

TEST_F(ReadChildErrorLineTest, ErrorLineWrittenInPiecesIsWaitedForAndDecodedWhole) {
    // "a", then a character cut in two by a pause in the writing, then "b"
    // and the line feed.
    struct Case {
        const char* name;
        uint32_t flags;
        const wchar_t* before;  // hex, up to the pause
        const wchar_t* after;
    };
    const Case cases[] = {
        {"UTF-8: the first byte of U+00E4, then its second", ConsoleFlags, L"61c3", L"a4620a"},
        {"UTF-16: one byte of the unit U+00E4, then the other", Utf16Flags, L"6100e4", L"0062000a00"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        NamedEvent go;
        const ChildProcess* child = StartHelper(
            L"err:" + std::wstring(c.before) + L" wait:" + go.Name() + L" err:" + c.after + L" exit:0", c.flags);
        ASSERT_NE(child, nullptr);
        ASSERT_TRUE(ErrorPending(child));
        std::wstring line;
        Worker reader([&] { line = ReadChildErrorLine(child); });
        ASSERT_TRUE(WaitUntil([&] { return PendingOn(child->errorReadEnd) == 0; }));
        EXPECT_TRUE(NothingWithin(200, [&] { return reader.Done(0); }));  // the line has not ended yet
        go.Set();
        ASSERT_TRUE(reader.Done(Patience));
        EXPECT_EQ(line, L"a\u00e4b");
    }
}

TEST_F(ReadChildErrorLineTest, ErrorLinesAreDecodedWithTheChannelEncoding) {
    EXPECT_EQ(ErrorLinesAfterExit(L"err:c3a4e282ace4b8ad0a exit:0", 1, ConsoleFlags), (Lines{L"\u00e4\u20ac\u4e2d"}))
        << "UTF-8";
    // UTF-16: units as they come; carriage returns and zero units dropped.
    EXPECT_EQ(ErrorLinesAfterExit(L"err:e4000d00ac2000002d4e0a00 err:78000a00 exit:0", 2, Utf16Flags),
              (Lines{L"\u00e4\u20ac\u4e2d", L"x"}))
        << "UTF-16";
}

TEST_F(WriteChildTextTest, MissingPipesReadNothingAndWriteNothing) {
    const ChildProcess* child = StartHelper(L"exit:0", channel::KeepChild | channel::PipeStdout);
    ASSERT_NE(child, nullptr);
    ASSERT_TRUE(WaitExit(child));
    EXPECT_EQ(ReadChildErrorLine(child), L"");
    WriteChildText(child, L"nobody listens\n");
    EXPECT_EQ(ChildIsRunning(child), 0);
}

TEST_F(WriteChildTextTest, WrittenTextArrivesInTheChannelEncoding) {
    const bool cp1252 = GetACP() == 1252;
    struct Case {
        const char* name;
        uint32_t flags;
        std::wstring text;
        std::string bytes;
    };
    const Case cases[] = {
        {"ANSI: a command and the interrupt", AnsiFlags, L"ls\n\x03", "ls\n\x03"},
        {"UTF-8", ConsoleFlags, L"\u00e4\u20ac\u4e2d\n", "\xc3\xa4\xe2\x82\xac\xe4\xb8\xad\n"},
        {"UTF-16", Utf16Flags, L"\u00e4\u20ac\n", std::string("\xe4\x00\xac\x20\x0a\x00", 6)},
        {"ANSI wins over UTF-8", AnsiFlags | channel::TextUtf8, L"\u00e9", cp1252 ? "\xe9" : "\xc3\xa9"},
        {"UTF-8 wins over UTF-16", ConsoleFlags | channel::TextUtf16, L"\u00e9", "\xc3\xa9"},
        {"no encoding bit is UTF-8", PipedFlags, L"\u00e9", "\xc3\xa9"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ChildProcess* child = StartHelper(L"copy:" + std::to_wstring(c.bytes.size()), c.flags);
        ASSERT_NE(child, nullptr);
        WriteChildText(child, nullptr);  // nothing
        WriteChildText(child, L"");      // zero bytes
        WriteChildText(child, c.text.c_str());
        EXPECT_EQ(ReadAllOutput(child), c.bytes);
    }
}

TEST_F(WriteChildTextTest, AnsiChannelUsesTheSystemCodePageBothWays) {
    if (GetACP() != 1252) GTEST_SKIP() << "the bytes here are those of code page 1252; this system uses " << GetACP();
    // The console's own channel: what the code page lacks becomes its default character.
    const ChildProcess* child = StartHelper(L"copy:4 err:e4800a exit:0", AnsiFlags);
    ASSERT_NE(child, nullptr);
    WriteChildText(child, L"\u00e4\u20ac\u4e2d\n");
    EXPECT_EQ(ReadAllOutput(child), "\xe4\x80?\n");
    ASSERT_TRUE(WaitExit(child));
    EXPECT_EQ(ReadChildErrorLine(child), L"\u00e4\u20ac");
}

TEST_F(WriteChildTextTest, WriteBlocksWhileTheChildDoesNotRead) {
    NamedEvent go;
    ChildProcess* child = StartHelper(L"wait:" + go.Name() + L" count");
    ASSERT_NE(child, nullptr);
    const std::wstring text(1 << 20, L'x');
    Worker writer([&] { WriteChildText(child, text.c_str()); });
    // A megabyte is far beyond what a pipe buffers.
    EXPECT_TRUE(NothingWithin(300, [&] { return writer.Done(0); }));
    go.Set();
    ASSERT_TRUE(writer.Done(Patience));
    // The console never closes the input; the test does, so the child sees the end.
    CloseHandle(child->inputWriteEnd);
    child->inputWriteEnd = nullptr;
    EXPECT_EQ(ReadAllOutput(child), std::to_string(1 << 20));
}
