// The console on the scripted shell: the shell's end, and the end of the
// console itself, by a close request, while the shell still runs.

#include "tests/e2e/scripted_console.h"

namespace e2e {
namespace {

using ConsoleLifetime = ScriptedConsoleTest;

TEST_F(ConsoleLifetime, TheShellsEndIsReportedOnceAndReturnAndEscapeGoDeadWhileTheWindowStays) {
    ASSERT_TRUE(Start("lines 1\nout bye\\n\nexit 3\n"));
    ASSERT_TRUE(WaitForEnd());
    ASSERT_TRUE(WaitForBeeps(EndBeep, 1));
    const std::wstring expected = Head(L"") + L"\r\nbye\n" + Closed;
    EXPECT_EQ(console_.TranscriptText(), expected);

    // Keys after the end: no write, no beep, no history, the text stays.
    ASSERT_NO_FATAL_FAILURE(ExpectReturnAndEscapeDoNothing(console_, L"too late"));
    EXPECT_EQ(shell_.ReceivedInput(), "\n");

    // The window stays, answering, with nothing more to show.
    EXPECT_TRUE(NothingWithin(1000, [&] { return console_.TranscriptText() != expected || Count(EndBeep) != 1; }));
    EXPECT_TRUE(console_.Answers(ShortWaitMs));
    EXPECT_FALSE(console_.HasExited());
    EXPECT_EQ(Count(EndBeep), 1u);
    EXPECT_EQ(Count(OutputBeep), 1u);
    CloseAndExpectExitCodeZero();
}

// A program the shell started outlives it, holding its pipes, and writes on:
// everything it writes is shown, its unfinished last lines too, before the
// status line, which comes once, last, when the last writer lets go. In
// between the shell is gone: Return and Escape do nothing.
TEST_F(ConsoleLifetime, AProgramTheShellStartedWritesOnAfterItsEndAndTheEndWaitsForIt) {
    ASSERT_TRUE(folder_.Write(L"late.txt",
                              "wait-parent\n"
                              "touch shell-gone\n"
                              "wait-file go\n"
                              "out late-out\\n\n"
                              "wait-file go2\n"
                              "err late-err\\n\n"
                              "wait-file go3\n"
                              "out late-tail\n"
                              "err err-tail\n"
                              "exit 0\n"));
    ASSERT_TRUE(Start("lines 1\nspawn late.txt\nout bye\\n\nexit 0\n"));
    ASSERT_TRUE(console_.WaitForTranscriptToContain(L"\r\nbye\n", ShortWaitMs));
    ASSERT_TRUE(WaitUntil([&] { return folder_.Read(L"shell-gone") == "touched"; }, ShortWaitMs));

    // The shell has ended; the program still holds its pipes.
    ASSERT_NO_FATAL_FAILURE(ExpectReturnAndEscapeDoNothing(console_, L"too late"));
    EXPECT_EQ(Count(EndBeep), 0u);
    EXPECT_EQ(console_.TranscriptText(), Head(L"") + L"\r\nbye\n");

    ASSERT_TRUE(shell_.Signal(L"go"));
    ASSERT_TRUE(console_.WaitForTranscriptToContain(L"late-out", ShortWaitMs));
    EXPECT_EQ(Count(EndBeep), 0u);
    ASSERT_TRUE(shell_.Signal(L"go2"));
    ASSERT_TRUE(console_.WaitForTranscriptToContain(L"late-err", ShortWaitMs));
    EXPECT_EQ(Count(EndBeep), 0u);
    ASSERT_TRUE(shell_.Signal(L"go3"));
    ASSERT_TRUE(WaitForEnd());
    ASSERT_TRUE(WaitForBeeps(EndBeep, 1));
    const std::wstring atEnd = console_.TranscriptText();
    EXPECT_TRUE(NothingWithin(1000, [&] { return console_.TranscriptText() != atEnd || Count(EndBeep) != 1; }));
    // The two unfinished lines come from two streams, in either order.
    const std::wstring head = Head(L"") + L"\r\nbye\n\r\nlate-out\n\r\nlate-err";
    EXPECT_TRUE(atEnd == head + L"\r\nlate-tail\r\nerr-tail" + Closed ||
                atEnd == head + L"\r\nerr-tail\r\nlate-tail" + Closed)
        << Utf8(atEnd);
    EXPECT_EQ(Count(OutputBeep), 3u);
    EXPECT_EQ(Count(ErrorBeep), 2u);
    EXPECT_EQ(Count(EndBeep), 1u);
    // Nothing typed meanwhile reached the program either.
    EXPECT_EQ(folder_.Read(L"late.txt.input"), "");
    CloseAndExpectExitCodeZero();
}

TEST_F(ConsoleLifetime, ShellEndingWithoutAnyOutputStillReportsItsEnd) {
    ASSERT_TRUE(Start("exit 0\n", L" x"));
    ASSERT_TRUE(WaitForEnd());
    ASSERT_TRUE(WaitForBeeps(EndBeep, 1));
    ASSERT_TRUE(console_.Settle());
    EXPECT_EQ(console_.TranscriptText(), Head(L"x") + Closed);
    EXPECT_EQ(Count(EndBeep), 1u);
    EXPECT_EQ(Count(OutputBeep) + Count(ErrorBeep), 0u);
    CloseAndExpectExitCodeZero();
}

TEST_F(ConsoleLifetime, AltF4EndsTheConsoleWithExitCodeZeroWhileTheShellRuns) {
    ASSERT_TRUE(Start("lines 1\nout running\\n\nlines 100\n"));
    ASSERT_TRUE(console_.WaitForTranscriptToContain(L"running", ShortWaitMs));
    ASSERT_TRUE(console_.PressKeyWith(VK_MENU, VK_F4));
    DWORD code = 0xDEAD;
    ASSERT_TRUE(console_.WaitForExit(ShortWaitMs, &code)) << "Alt+F4 did not end the console";
    EXPECT_EQ(code, 0u);
    EXPECT_EQ(Count(EndBeep), 0u);
}

TEST_F(ConsoleLifetime, ACloseRequestEndsTheConsoleWithExitCodeZeroWhileTheShellRuns) {
    ASSERT_TRUE(Start("lines 1\nout running\\n\nlines 100\n"));
    ASSERT_TRUE(console_.WaitForTranscriptToContain(L"running", ShortWaitMs));
    ASSERT_TRUE(console_.TypeIntoField(L"half typed"));
    CloseAndExpectExitCodeZero();
    // The shell learns of it through its input ending; it got nothing else.
    EXPECT_EQ(shell_.ReceivedInput(), "\n");
}

}  // namespace
}  // namespace e2e
