#include "channel/child_io.h"

#include "channel_test_support.h"

#include <gtest/gtest.h>

#include <string>

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
        if (!reader.Done()) {
            ADD_FAILURE() << "ReadChildOutput did not return";
            TerminateProcess(child->processHandle, 1);
            return {};
        }
        bytes.resize(static_cast<size_t>(got > 0 ? got : 0));
        return bytes;
    }
};

constexpr uint32_t Utf8Flags = 0x13E;   // the console's flags with a UTF-8 channel
constexpr uint32_t Utf16Flags = 0x23E;  // ... with a UTF-16 channel

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

TEST_F(ChildIoTest, RunningUntilExitAndOutputReadEmpty) {
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

TEST_F(ChildIoTest, EndedChildWithoutOutputPipeIsNotRunning) {
    const ChildProcess* child = StartHelper(L"exit:0", channel::KeepChild | channel::PipeStdin);
    ASSERT_NE(child, nullptr);
    ASSERT_EQ(child->outputReadEnd, nullptr);
    ASSERT_TRUE(WaitExit(child));
    EXPECT_EQ(ChildIsRunning(child), 0);
    EXPECT_EQ(ChildOutputPending(child), 0u);
}

TEST_F(ChildIoTest, ReadChildOutputReturnsWhatItHasWhenThePipeBreaks) {
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

TEST_F(ChildIoTest, ReadChildOutputWaitsForTheWholeSize) {
    NamedEvent go;
    const ChildProcess* child = StartHelper(L"out:6162 wait:" + go.Name() + L" out:6364 sleep:10000");
    ASSERT_NE(child, nullptr);
    ASSERT_TRUE(WaitUntil([&] { return ChildOutputPending(child) == 2; }));
    char buffer[4] = {};
    int32_t got = -1;
    Worker reader([&] { got = ReadChildOutput(child, buffer, 4); });
    // The reader takes the first two bytes and must go on waiting for two more.
    ASSERT_TRUE(WaitUntil([&] { return ChildOutputPending(child) == 0; }));
    EXPECT_FALSE(reader.Done(200));
    go.Set();
    ASSERT_TRUE(reader.Done());
    EXPECT_EQ(got, 4);
    EXPECT_EQ(std::string(buffer, 4), "abcd");
}

TEST_F(ChildIoTest, ReadChildOutputEndsOnAFailureThatPersists) {
    // Records this system never makes, but must not hang on: no output pipe
    // at all, and an "output pipe" that can never be read (a write end).
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    ASSERT_TRUE(CreatePipe(&readEnd, &writeEnd, nullptr, 0));
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(writeEnd, "abc", 3, &written, nullptr));
    ChildProcess noPipe{GetCurrentProcess(), GetCurrentProcessId(), nullptr, nullptr, nullptr, 0x3E};
    ChildProcess unreadable{GetCurrentProcess(), GetCurrentProcessId(), nullptr, writeEnd, nullptr, 0x3E};
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

TEST_F(ChildIoTest, ErrorLinesLoseLineEndsAndCarriageReturns) {
    // "a\rb\n", "\r\n", "\n", "c\r\r\n", "tail" without a line feed.
    const ChildProcess* child = StartHelper(L"err:610d620a0d0a0a630d0d0a7461696c exit:0");
    ASSERT_NE(child, nullptr);
    ASSERT_TRUE(WaitExit(child));
    EXPECT_EQ(ReadChildErrorLine(child), L"ab");
    EXPECT_EQ(ReadChildErrorLine(child), L"");
    EXPECT_EQ(ReadChildErrorLine(child), L"");
    EXPECT_EQ(ReadChildErrorLine(child), L"c");
    EXPECT_EQ(ReadChildErrorLine(child), L"tail");  // comes back whole once the pipe breaks
    EXPECT_EQ(ReadChildErrorLine(child), L"");      // nothing pending
    EXPECT_EQ(ReadChildErrorLine(child), L"");
}

TEST_F(ChildIoTest, LongErrorLineComesBackWholeAndTheNextStays) {
    const ChildProcess* child = StartHelper(L"errn:5000:78 err:0a7365636f6e640a exit:0");
    ASSERT_NE(child, nullptr);
    ASSERT_TRUE(ErrorPending(child));
    std::wstring line;
    Worker reader([&] { line = ReadChildErrorLine(child); });
    ASSERT_TRUE(reader.Done());
    EXPECT_EQ(line, std::wstring(5000, L'x'));
    ASSERT_TRUE(WaitExit(child));
    EXPECT_EQ(ReadChildErrorLine(child), L"second");
}

TEST_F(ChildIoTest, ZeroByteInAnErrorLineIsDroppedAndTheRestKept) {
    const ChildProcess* child = StartHelper(L"err:6100620063000a64000a exit:0");
    ASSERT_NE(child, nullptr);
    ASSERT_TRUE(WaitExit(child));
    EXPECT_EQ(ReadChildErrorLine(child), L"abc");
    EXPECT_EQ(ReadChildErrorLine(child), L"d");
}

TEST_F(ChildIoTest, ErrorLineWrittenInPiecesIsWaitedForAndDecodedWhole) {
    // "a", the first byte of U+00E4 in UTF-8, then a pause, then its second
    // byte, "b" and the line feed.
    NamedEvent go;
    const ChildProcess* child = StartHelper(L"err:61c3 wait:" + go.Name() + L" err:a4620a exit:0", Utf8Flags);
    ASSERT_NE(child, nullptr);
    ASSERT_TRUE(ErrorPending(child));
    std::wstring line;
    Worker reader([&] { line = ReadChildErrorLine(child); });
    ASSERT_TRUE(WaitUntil([&] { return PendingOn(child->errorReadEnd) == 0; }));
    EXPECT_FALSE(reader.Done(200));  // the line has not ended yet
    go.Set();
    ASSERT_TRUE(reader.Done());
    EXPECT_EQ(line, L"a\u00e4b");
}

TEST_F(ChildIoTest, ErrorLinesAreDecodedWithTheChannelEncoding) {
    {
        SCOPED_TRACE("UTF-8");
        const ChildProcess* child = StartHelper(L"err:c3a4e282ace4b8ad0a exit:0", Utf8Flags);
        ASSERT_NE(child, nullptr);
        ASSERT_TRUE(WaitExit(child));
        EXPECT_EQ(ReadChildErrorLine(child), L"\u00e4\u20ac\u4e2d");
    }
    {
        SCOPED_TRACE("UTF-16: units as they come; carriage returns and zero units dropped");
        const ChildProcess* child = StartHelper(L"err:e4000d00ac2000002d4e0a00 err:78000a00 exit:0", Utf16Flags);
        ASSERT_NE(child, nullptr);
        ASSERT_TRUE(WaitExit(child));
        EXPECT_EQ(ReadChildErrorLine(child), L"\u00e4\u20ac\u4e2d");
        EXPECT_EQ(ReadChildErrorLine(child), L"x");
    }
}

TEST_F(ChildIoTest, Utf16UnitSplitAcrossWritesIsPutTogether) {
    // "a", then one byte of U+00E4, a pause, its other byte and "b\n".
    NamedEvent go;
    const ChildProcess* child = StartHelper(L"err:6100e4 wait:" + go.Name() + L" err:0062000a00 exit:0", Utf16Flags);
    ASSERT_NE(child, nullptr);
    ASSERT_TRUE(ErrorPending(child));
    std::wstring line;
    Worker reader([&] { line = ReadChildErrorLine(child); });
    ASSERT_TRUE(WaitUntil([&] { return PendingOn(child->errorReadEnd) == 0; }));
    go.Set();
    ASSERT_TRUE(reader.Done());
    EXPECT_EQ(line, L"a\u00e4b");
}

TEST_F(ChildIoTest, MissingPipesReadNothingAndWriteNothing) {
    const ChildProcess* child = StartHelper(L"exit:0", channel::KeepChild | channel::PipeStdout);
    ASSERT_NE(child, nullptr);
    ASSERT_TRUE(WaitExit(child));
    EXPECT_EQ(ReadChildErrorLine(child), L"");
    WriteChildText(child, L"nobody listens\n");
    EXPECT_EQ(ChildIsRunning(child), 0);
}

TEST_F(ChildIoTest, WrittenTextArrivesInTheChannelEncoding) {
    const bool cp1252 = GetACP() == 1252;
    struct Case {
        const char* name;
        uint32_t flags;
        std::wstring text;
        std::string bytes;
    };
    const Case cases[] = {
        {"ANSI: a command and the interrupt", ConsoleFlags, L"ls\n\x03", "ls\n\x03"},
        {"UTF-8", Utf8Flags, L"\u00e4\u20ac\u4e2d\n", "\xc3\xa4\xe2\x82\xac\xe4\xb8\xad\n"},
        {"UTF-16", Utf16Flags, L"\u00e4\u20ac\n", std::string("\xe4\x00\xac\x20\x0a\x00", 6)},
        {"ANSI wins over UTF-8", ConsoleFlags | channel::TextUtf8, L"\u00e9", cp1252 ? "\xe9" : "\xc3\xa9"},
        {"UTF-8 wins over UTF-16", 0x33E, L"\u00e9", "\xc3\xa9"},
        {"no encoding bit is UTF-8", 0x3E, L"\u00e9", "\xc3\xa9"},
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

TEST_F(ChildIoTest, AnsiChannelUsesTheSystemCodePageBothWays) {
    if (GetACP() != 1252) GTEST_SKIP() << "the bytes here are those of code page 1252; this system uses " << GetACP();
    // The console's own channel: what the code page lacks becomes its default character.
    const ChildProcess* child = StartHelper(L"copy:4 err:e4800a exit:0", ConsoleFlags);
    ASSERT_NE(child, nullptr);
    WriteChildText(child, L"\u00e4\u20ac\u4e2d\n");
    EXPECT_EQ(ReadAllOutput(child), "\xe4\x80?\n");
    ASSERT_TRUE(WaitExit(child));
    EXPECT_EQ(ReadChildErrorLine(child), L"\u00e4\u20ac");
}

TEST_F(ChildIoTest, WriteBlocksWhileTheChildDoesNotRead) {
    NamedEvent go;
    ChildProcess* child = StartHelper(L"wait:" + go.Name() + L" count");
    ASSERT_NE(child, nullptr);
    const std::wstring text(1 << 20, L'x');
    Worker writer([&] { WriteChildText(child, text.c_str()); });
    // A megabyte is far beyond what a pipe buffers.
    EXPECT_FALSE(writer.Done(300));
    go.Set();
    ASSERT_TRUE(writer.Done());
    // The console never closes the input; the test does, so the child sees the end.
    CloseHandle(child->inputWriteEnd);
    child->inputWriteEnd = nullptr;
    EXPECT_EQ(ReadAllOutput(child), std::to_string(1 << 20));
}
