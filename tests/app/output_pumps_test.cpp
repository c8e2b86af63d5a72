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

TEST_F(OutputPumps, StderrLinesCutByReadsAnywhereAreShownWhole) {
    // Reads end inside a line, inside a character, between CR and LF, and
    // right after a zero byte.
    StartShell(L"err:" + Hex("ab\xC3") + L" sleep:150 err:" + Hex("\xA9" "c\r") + L" sleep:150 err:" +
               Hex(std::string("\nd\0", 3)) + L" sleep:150 err:" + Hex("e\xE2\x82") + L" sleep:150 err:" +
               Hex("\xAC\r\n") + L" exit:0");
    ASSERT_TRUE(WaitForEnd());
    EXPECT_EQ(Transcript(), L"\r\nab\u00E9c\r\nde\u20AC\r\n---program closed---");
    EXPECT_EQ(CountBeeps(TakeBeeps(), 100, 20, errorThreadId_), 2u);
}

TEST_F(OutputPumps, ABurstOfStderrLinesIsShownInOrderWithEachBeepAfterItsLine) {
    constexpr int Lines = 5000;
    WatchLengthAtBeeps(edit_);
    StartShell(L"errflood:" + std::to_wstring(Lines) + L" exit:0");
    ASSERT_TRUE(WaitForEnd(120000));
    std::wstring expected;
    std::vector<size_t> shownBy;  // transcript length once line i is in
    for (int i = 1; i <= Lines; ++i) {
        expected += L"\r\ne" + std::to_wstring(i);
        shownBy.push_back(expected.size());
    }
    EXPECT_TRUE(Transcript() == expected + L"\r\n---program closed---") << Transcript().size();
    std::vector<BeepRecord> errorBeeps;
    for (const BeepRecord& b : TakeBeeps())
        if (b.frequency == 100) errorBeeps.push_back(b);
    ASSERT_EQ(errorBeeps.size(), static_cast<size_t>(Lines));
    for (size_t i = 0; i < errorBeeps.size(); ++i) {
        ASSERT_EQ(errorBeeps[i].thread, errorThreadId_);
        ASSERT_GE(static_cast<size_t>(errorBeeps[i].transcriptLength), shownBy[i]) << "beep " << i << " came early";
    }
}

// Waits without dispatching messages: the main thread stalls meanwhile.
bool StalledUntil(const std::function<bool()>& done, DWORD ms) {
    const ULONGLONG deadline = GetTickCount64() + ms;
    while (!done()) {
        if (GetTickCount64() >= deadline) return false;
        Sleep(5);
    }
    return true;
}

TEST_F(OutputPumps, WhileTheTranscriptStallsThePumpHoldsNoMoreThanTheBound) {
    constexpr size_t Bound = 64 * 1024;
    // At most one read past the bound: its bytes, and "\r\n" for each line.
    constexpr size_t MostHeld = Bound + 3 * app::PumpReadSize;
    constexpr int Lines = 200000;  // far more than the bound and the pipe hold
    pumps_.maxUnshownChars = Bound;
    StartShell(L"flood:" + std::to_wstring(Lines) + L" exit:0");
    ASSERT_TRUE(StalledUntil([&] { return feed_.UnshownChars() >= Bound; }, 30000));
    // The pump now waits for the transcript; the shell waits for the pump.
    EXPECT_FALSE(StalledUntil([&] { return feed_.UnshownChars() > MostHeld; }, 500)) << feed_.UnshownChars();
    EXPECT_EQ(WaitForSingleObject(pumps_.child->processHandle, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_EQ(Transcript(), L"");

    ASSERT_TRUE(WaitForEnd(120000));
    std::wstring expected;
    for (int i = 1; i <= Lines; ++i) expected += L"\r\n" + std::to_wstring(i) + L"\n";
    EXPECT_TRUE(Transcript() == expected + L"\r\n---program closed---") << Transcript().size();
    EXPECT_EQ(CountBeeps(TakeBeeps(), 800, 1, outputThreadId_), static_cast<size_t>(Lines));
}

// A batch larger than one append goes in in parts; output that comes after
// it, once everything is shown, still arrives.
TEST_F(OutputPumps, OutputAfterABatchOfManyPartsStillArrives) {
    constexpr int Lines = 150000;
    StartShell(L"flood:" + std::to_wstring(Lines) + L" sleep:300 out:" + Hex("after\n") + L" exit:0");
    // The main thread stalls until more than one part is waiting.
    ASSERT_TRUE(StalledUntil([&] { return feed_.UnshownChars() > 2 * app::TranscriptFeed::MaxAppendChars; }, 30000));
    ASSERT_TRUE(WaitForEnd(120000));
    std::wstring expected;
    for (int i = 1; i <= Lines; ++i) expected += L"\r\n" + std::to_wstring(i) + L"\n";
    expected += L"\r\nafter\n\r\n---program closed---";
    EXPECT_TRUE(Transcript() == expected) << Transcript().size() << " of " << expected.size();
    EXPECT_EQ(CountBeeps(TakeBeeps(), 800, 1, outputThreadId_), static_cast<size_t>(Lines + 1));
}

// With no transcript control, nothing is shown, but the pumps go on: a beep
// per line, and the end reported once.
TEST_F(OutputPumps, WithoutATranscriptThePumpsBeepAndReportTheEnd) {
    EXPECT_FALSE(spareFeed_.Attach(nullptr));
    StartShell(L"out:" + Hex("one\ntwo\n") + L" err:" + Hex("oops\n") + L" sleep:100 exit:0", &spareFeed_);
    ASSERT_TRUE(PumpUntil([&] { return running_.load() == 0; }, 30000));
    ASSERT_TRUE(PumpUntil([&] { return !TakeBeeps().empty() && TakeBeeps().back().frequency == 50; }, 10000));
    const auto beeps = TakeBeeps();
    EXPECT_EQ(CountBeeps(beeps, 800, 1, outputThreadId_), 2u);
    EXPECT_EQ(CountBeeps(beeps, 100, 20, errorThreadId_), 1u);
    EXPECT_EQ(std::count_if(beeps.begin(), beeps.end(), [](const BeepRecord& b) { return b.frequency == 50; }), 1);
    EXPECT_EQ(Transcript(), L"");
}

// The feed's wake window cannot be made (its parent is gone): the main
// thread's loop delivers instead, and nothing hangs.
TEST_F(OutputPumps, WithoutTheWakeWindowTheLoopDeliversTheOutput) {
    HWND gone = CreateWindowExW(0, L"STATIC", L"gone", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(gone);
    DestroyWindow(gone);
    ASSERT_FALSE(spareFeed_.Attach(edit_, gone));
    StartShell(L"out:" + Hex("one\n") + L" sleep:150 err:" + Hex("oops\n") + L" sleep:150 out:" + Hex("tail") +
                   L" exit:0",
               &spareFeed_);
    ASSERT_TRUE(PumpUntil(
        [&] {
            spareFeed_.Poll();
            return Transcript().ends_with(L"---program closed---");
        },
        30000));
    EXPECT_EQ(Transcript(), L"\r\none\n\r\noops\r\ntail\r\n---program closed---");
    const auto beeps = TakeBeeps();
    EXPECT_EQ(CountBeeps(beeps, 800, 1, outputThreadId_), 2u);
    EXPECT_EQ(CountBeeps(beeps, 100, 20, errorThreadId_), 1u);
}

std::atomic<int> g_failuresLeft{0};
std::atomic<int> g_allocations{0};

void* FailingAllocation(int64_t size) noexcept {
    ++g_allocations;
    if (g_failuresLeft.fetch_sub(1) > 0) return nullptr;
    return app::AllocateBlock(size);
}

TEST_F(OutputPumps, AReadBufferThatCouldNotBeHadIsAskedForAgain) {
    // The first allocation of each pump fails.
    g_failuresLeft.store(2);
    g_allocations.store(0);
    pumps_.allocate = &FailingAllocation;
    StartShell(L"out:" + Hex("one\ntwo\n") + L" sleep:150 err:" + Hex("oops\n") + L" sleep:100 exit:0");
    ASSERT_TRUE(WaitForEnd());
    EXPECT_EQ(Transcript(), L"\r\none\n\r\ntwo\n\r\noops\r\n---program closed---");
    EXPECT_GE(g_allocations.load(), 4);
    const auto beeps = TakeBeeps();
    EXPECT_EQ(CountBeeps(beeps, 800, 1, outputThreadId_), 2u);
    EXPECT_EQ(CountBeeps(beeps, 100, 20, errorThreadId_), 1u);
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
