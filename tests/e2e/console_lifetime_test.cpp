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
    ASSERT_TRUE(console_.TypeIntoField(L"too late"));
    ASSERT_TRUE(console_.PressKey(VK_RETURN));
    ASSERT_TRUE(console_.PressKey(VK_ESCAPE));
    ASSERT_TRUE(console_.TypeIntoField(L"!"));  // handled after Return and Escape
    ASSERT_TRUE(console_.Settle());
    EXPECT_EQ(console_.FieldText(), L"too late!");
    EXPECT_EQ(console_.History(), std::vector<std::wstring>{L""});
    EXPECT_EQ(Count(ReturnBeep) + Count(EscapeBeep), 0u);
    EXPECT_EQ(shell_.ReceivedInput(), "\n");

    // The window stays, answering, with nothing more to show.
    EXPECT_FALSE(WaitUntil([&] { return console_.TranscriptText() != expected || Count(EndBeep) != 1; }, 1000));
    EXPECT_TRUE(console_.Answers(ShortWaitMs));
    EXPECT_FALSE(console_.HasExited());
    EXPECT_EQ(Count(EndBeep), 1u);
    EXPECT_EQ(Count(OutputBeep), 1u);
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
