#include "pump_fixture.h"

#include <algorithm>

namespace apptest {
namespace {

size_t CountBeeps(const std::vector<BeepRecord>& beeps, DWORD frequency, DWORD duration, DWORD thread) {
    return static_cast<size_t>(std::count_if(beeps.begin(), beeps.end(), [&](const BeepRecord& b) {
        return b.frequency == frequency && b.duration == duration && b.thread == thread;
    }));
}

using OutputPumps = PumpTest;

TEST_F(OutputPumps, StdoutAndStderrLinesReachTheTranscriptWithTheirBeeps) {
    StartShell(L"out:" + Hex("abc\n") + L" sleep:100 err:" + Hex("oops\n") + L" sleep:100 exit:0");
    ASSERT_TRUE(WaitForEnd());
    EXPECT_EQ(Transcript(), L"\r\nabc\n\r\noops\r\n---program closed---");
    const auto beeps = TakeBeeps();
    EXPECT_EQ(CountBeeps(beeps, 800, 1, outputThreadId_), 1u);
    EXPECT_EQ(CountBeeps(beeps, 100, 20, errorThreadId_), 1u);
    ASSERT_FALSE(beeps.empty());
    EXPECT_EQ(beeps.back().frequency, 50u);
    EXPECT_EQ(beeps.back().duration, 100u);
    EXPECT_EQ(running_.load(), 0);
}

TEST_F(OutputPumps, ShellEndIsReportedOnceWithOneLowBeep) {
    StartShell(L"exit:3");
    ASSERT_TRUE(WaitForEnd());
    // Both pumps keep polling afterwards; give them time to report twice.
    PumpUntil([] { return false; }, 300);
    EXPECT_EQ(Count(Transcript(), L"---program closed---"), 1u);
    const auto beeps = TakeBeeps();
    EXPECT_EQ(std::count_if(beeps.begin(), beeps.end(), [](const BeepRecord& b) { return b.frequency == 50; }), 1);
}

TEST_F(OutputPumps, UnfinishedLastLineIsShownBeforeTheEnd) {
    StartShell(L"out:" + Hex("line\nprompt$ ") + L" exit:0");
    ASSERT_TRUE(WaitForEnd());
    EXPECT_EQ(Transcript(), L"\r\nline\n\r\nprompt$ \r\n---program closed---");
}

TEST_F(OutputPumps, StderrLinesLeftAtExitAreShownBeforeTheEnd) {
    // The shell writes many error lines and ends at once, with nothing on
    // stdout: every line must still come before the status line.
    StartShell(L"errflood:200 exit:0");
    ASSERT_TRUE(WaitForEnd());
    const std::wstring t = Transcript();
    std::wstring expected;
    for (int i = 1; i <= 200; ++i) expected += L"\r\ne" + std::to_wstring(i);
    expected += L"\r\n---program closed---";
    EXPECT_EQ(t, expected);
}

TEST_F(OutputPumps, Utf8SplitAcrossWritesIsDecodedWhole) {
    StartShell(L"out:" + Hex("caf\xC3") + L" sleep:150 out:" + Hex("\xA9 \xE2\x82") + L" sleep:150 out:" +
               Hex("\xAC\n") + L" exit:0");
    ASSERT_TRUE(WaitForEnd());
    EXPECT_EQ(Transcript(), L"\r\ncaf\u00E9 \u20AC\n\r\n---program closed---");
}

TEST_F(OutputPumps, InvalidBytesBecomeReplacementAndZeroBytesVanish) {
    StartShell(L"out:" + Hex(std::string("a\0b\xFF" "c\n", 6)) + L" exit:0");
    ASSERT_TRUE(WaitForEnd());
    EXPECT_EQ(Transcript(), L"\r\nab\uFFFDc\n\r\n---program closed---");
}

TEST_F(OutputPumps, StderrCarriageReturnsDroppedBlankLinesNotShown) {
    StartShell(L"err:" + Hex("\r\n\nx\ry\r\n") + L" sleep:100 exit:0");
    ASSERT_TRUE(WaitForEnd());
    EXPECT_EQ(Transcript(), L"\r\nxy\r\n---program closed---");
    const auto beeps = TakeBeeps();
    EXPECT_EQ(CountBeeps(beeps, 100, 20, errorThreadId_), 1u);
}

TEST_F(OutputPumps, FloodOfLinesArrivesCompleteInOrderWithABeepEach) {
    constexpr int Lines = 20000;
    StartShell(L"flood:" + std::to_wstring(Lines) + L" exit:0");
    ASSERT_TRUE(WaitForEnd(120000));
    std::wstring expected;
    for (int i = 1; i <= Lines; ++i) expected += L"\r\n" + std::to_wstring(i) + L"\n";
    expected += L"\r\n---program closed---";
    EXPECT_TRUE(Transcript() == expected) << "transcript differs; length " << Transcript().size() << " vs "
                                          << expected.size();
    EXPECT_EQ(CountBeeps(TakeBeeps(), 800, 1, outputThreadId_), static_cast<size_t>(Lines));
}

TEST_F(OutputPumps, WithoutAShellNothingHappens) {
    running_.store(0);
    pumps_.shellRunning = &running_;
    pumps_.feed = &feed_;
    pumps_.child = nullptr;
    outputThread_ = CreateThread(nullptr, 0, &app::OutputPump, &pumps_, 0, &outputThreadId_);
    errorThread_ = CreateThread(nullptr, 0, &app::ErrorPump, &pumps_, 0, &errorThreadId_);
    PumpUntil([] { return false; }, 200);
    EXPECT_EQ(Transcript(), L"");
    EXPECT_TRUE(TakeBeeps().empty());
}

}  // namespace
}  // namespace apptest
