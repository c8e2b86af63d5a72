#include "pump_fixture.h"

#include "support/worker.h"

#include <intrin.h>

#include <algorithm>
#include <functional>

namespace apptest {
namespace {

// The lines stream_helper's flood (`error`: errflood) writes, as shown;
// `shownBy` gets the transcript's length once each is in.
std::wstring FloodLines(int count, bool error = false, std::vector<size_t>* shownBy = nullptr) {
    std::wstring lines;
    for (int i = 1; i <= count; ++i) {
        lines += error ? L"\r\ne" + std::to_wstring(i) : L"\r\n" + std::to_wstring(i) + L"\n";
        if (shownBy) shownBy->push_back(lines.size());
    }
    return lines;
}

constexpr wchar_t Closed[] = L"\r\n---program closed---";

bool IsEndBeep(const BeepRecord& b) { return b.frequency == app::ShellEndTone.frequency; }

class OutputPumps : public PumpTest {
protected:
    // One beep for each line shown, all on the beeper's thread: lines that
    // come slowly enough for their beeps are never merged or dropped.
    void ExpectLineBeeps(size_t outputLines, size_t errorLines) const {
        const std::vector<BeepRecord> beeps = TakeBeeps();
        const auto count = [&](app::Tone tone) {
            return static_cast<size_t>(std::ranges::count_if(beeps, [&](const BeepRecord& b) {
                return b.frequency == tone.frequency && b.duration == tone.duration && b.thread == beeper_.ThreadId();
            }));
        };
        EXPECT_EQ(count(app::OutputLineTone), outputLines);
        EXPECT_EQ(count(app::ErrorLineTone), errorLines);
    }
    // The beeps of a flood of lines of one tone, shownBy[i] being the
    // transcript's length once line i is in: never one before its line,
    // at least one, and once the whole flood is shown, no more than fit in
    // the beeper's lag (the beep under way, and those due then, each of
    // which takes at least its tone).
    void ExpectFloodBeeps(app::Tone tone, const std::vector<size_t>& shownBy) const {
        size_t line = 0, afterAll = 0;
        for (const BeepRecord& b : TakeBeeps()) {
            if (b.frequency != tone.frequency) continue;
            ASSERT_LT(line, shownBy.size()) << "more beeps than lines";
            ASSERT_EQ(b.thread, beeper_.ThreadId());
            ASSERT_GE(static_cast<size_t>(b.transcriptLength), shownBy[line]) << "beep " << line << " came early";
            if (static_cast<size_t>(b.transcriptLength) >= shownBy.back()) ++afterAll;
            ++line;
        }
        EXPECT_GE(line, 1u);
        EXPECT_LE(afterAll, static_cast<size_t>(app::MaxBeepLagMs / tone.duration) + 2) << line << " beeps in all";
    }
    // The low beep of the shell's end sounds once, after every line's beep.
    static void ExpectEndBeepLast() {
        const std::vector<BeepRecord> beeps = TakeBeeps();
        ASSERT_FALSE(beeps.empty());
        EXPECT_EQ(beeps.back().frequency, app::ShellEndTone.frequency);
        EXPECT_EQ(beeps.back().duration, app::ShellEndTone.duration);
        EXPECT_EQ(std::ranges::count_if(beeps, IsEndBeep), 1);
    }
};

// Each line comes with the beep of its stream's pump; the last line of each
// stream, without its line feed, is shown with its beep once the stream
// ends, before the status line.
TEST_F(OutputPumps, LinesOfBothStreamsReachTheTranscriptWithTheirBeeps) {
    Gate lineShown;
    StartShell(L"out:" + Hex("line\nprompt$ ") + lineShown.Await() + L"err:" + Hex("oops\nwarning: no end") +
               L" exit:0");
    ASSERT_TRUE(OpenWhenShown(lineShown, L"\r\nline\n"));
    ASSERT_TRUE(WaitForEnd());
    // Both streams end with the child: the unfinished output line may come
    // anywhere among the error lines.
    std::wstring t = Transcript();
    const size_t prompt = t.find(L"\r\nprompt$ ");
    ASSERT_NE(prompt, std::wstring::npos) << support::Utf8(t);
    t.erase(prompt, 10);
    EXPECT_EQ(t, std::wstring(L"\r\nline\n\r\noops\r\nwarning: no end") + Closed);
    ExpectLineBeeps(2, 2);
    ExpectEndBeepLast();
    EXPECT_EQ(running_.load(), 0);
}

// A pump keeps the rest of a line and of a character from one read to the
// next. Each part below is read before the next is written, so the reads
// end inside a character on both streams and between CR and LF on stderr.
TEST_F(OutputPumps, EachStreamKeepsItsUnfinishedLineAndCharacterAcrossReads) {
    Gate firstWritten, firstRead, secondWritten, secondRead, lineEnded;
    StartShell(L"out:" + Hex("caf\xC3") + L" err:" + Hex("ab\xE2\x82") + firstWritten.Signal() + firstRead.Await() +
               L"out:" + Hex("\xA9\n") + L" err:" + Hex("\xAC\r") + secondWritten.Signal() + secondRead.Await() +
               L"err:" + Hex("\n") + lineEnded.Await() + L"exit:0");
    ASSERT_TRUE(PumpUntil([&] { return firstWritten.IsOpen() && NothingPending(); }));
    firstRead.Open();
    ASSERT_TRUE(PumpUntil([&] { return secondWritten.IsOpen() && NothingPending(); }));
    ASSERT_TRUE(OpenWhenShown(secondRead, L"\r\ncaf\u00E9\n"));
    ASSERT_TRUE(OpenWhenShown(lineEnded, L"\r\ncaf\u00E9\n\r\nab\u20AC"));  // a read of one byte ends it
    ASSERT_TRUE(WaitForEnd());
    EXPECT_EQ(Transcript(), std::wstring(L"\r\ncaf\u00E9\n\r\nab\u20AC") + Closed);
    ExpectLineBeeps(1, 1);
}

// However small the parts a flood goes in, and however long its paints are
// held back, every line arrives in order, no beep comes before its line nor
// long after the flood, and output that comes once the flood is shown still
// arrives.
TEST_F(OutputPumps, AFloodInSmallPartsArrivesWholeWithEachBeepAfterItsLine) {
    constexpr int Lines = 5000;
    HoldPaints(feed_, 397);  // many parts, most of them ending inside a read's piece
    WatchLengthAtBeeps(edit_);
    std::vector<size_t> shownBy;
    const std::wstring batch = FloodLines(Lines, false, &shownBy);
    Gate batchShown;
    StartShell(L"flood:" + std::to_wstring(Lines) + batchShown.Await() + L"out:" + Hex("after\n") + L" exit:0");
    ASSERT_TRUE(OpenWhenShown(batchShown, batch));
    ASSERT_TRUE(WaitForEnd(120000));
    shownBy.push_back((batch + L"\r\nafter\n").size());
    EXPECT_TRUE(Transcript() == batch + L"\r\nafter\n" + Closed) << Transcript().size();
    ExpectFloodBeeps(app::OutputLineTone, shownBy);
    ExpectEndBeepLast();
}

// The shell writes many error lines and ends at once, with nothing on
// stdout: every line still comes before the status line, which waits for
// the beeps still due, not for a beep per line (100 s of them here).
TEST_F(OutputPumps, ABurstOfStderrLinesLeftAtExitIsShownInOrderAndItsBeepsStaySoonAfter) {
    constexpr int Lines = 5000;
    WatchLengthAtBeeps(edit_);
    StartShell(L"errflood:" + std::to_wstring(Lines) + L" exit:0");
    ASSERT_TRUE(WaitForEnd(30000));
    std::vector<size_t> shownBy;
    EXPECT_TRUE(Transcript() == FloodLines(Lines, true, &shownBy) + Closed) << Transcript().size();
    ExpectFloodBeeps(app::ErrorLineTone, shownBy);
    ExpectEndBeepLast();
}

// The pump reads on while its earlier pieces wait to be shown, up to the
// bound; there it waits for its oldest piece only, and each piece's lines
// beep once that piece is shown. The waits below dispatch no messages: the
// transcript shows only what the test delivers.
TEST_F(OutputPumps, AtTheBoundThePumpWaitsForItsOldestPieceAlone) {
    const std::wstring a = L"\r\na\n", b = L"\r\nb\n\r\nc\n\r\nd\n", c = L"\r\ne\n\r\nf\n", d = L"\r\ng\n";
    pumps_.maxUnshownChars = a.size() + b.size();  // a and b fill it; c waits
    HoldPaints(feed_, a.size());                    // one part is a, whole
    Gate aHanded, bHanded, cWritten, cHanded, dWritten;
    StartShell(L"out:" + Hex("a\n") + aHanded.Await() + L"out:" + Hex("b\nc\nd\n") + bHanded.Await() + L"out:" +
               Hex("e\nf\n") + cWritten.Signal() + cHanded.Await() + L"out:" + Hex("g\n") + dWritten.Signal() +
               L"exit:0");
    ASSERT_TRUE(support::WaitUntil([&] { return feed_.UnshownChars() == a.size(); }));
    aHanded.Open();
    ASSERT_TRUE(support::WaitUntil([&] { return feed_.UnshownChars() == a.size() + b.size(); }));
    bHanded.Open();
    ASSERT_TRUE(support::WaitUntil([&] { return cWritten.IsOpen() && NothingPending(); }));
    EXPECT_TRUE(support::NothingWithin(500, [&] { return feed_.UnshownChars() > a.size() + b.size(); }));

    ASSERT_TRUE(PumpUntil([&] { return Transcript() == a; }, support::Patience, [&] { feed_.Deliver(); }));
    EXPECT_TRUE(support::WaitUntil([&] { return feed_.UnshownChars() == b.size() + c.size(); }))
        << feed_.UnshownChars();
    EXPECT_TRUE(support::WaitUntil([&] { return !TakeBeeps().empty(); })) << "a's line got no beep";
    cHanded.Open();
    // b and c fill the bound again: d waits for b, and only for b.
    ASSERT_TRUE(support::WaitUntil([&] { return dWritten.IsOpen() && NothingPending(); }));
    EXPECT_TRUE(support::NothingWithin(500, [&] { return feed_.UnshownChars() > b.size() + c.size(); }));
    ASSERT_TRUE(PumpUntil([&] { return Transcript() == a + b; }, support::Patience, [&] { feed_.Deliver(); }));
    EXPECT_TRUE(support::WaitUntil([&] { return feed_.UnshownChars() == c.size() + d.size(); }))
        << feed_.UnshownChars();
    ASSERT_TRUE(WaitForEnd());
    EXPECT_EQ(Transcript(), a + b + c + d + Closed);
    ExpectLineBeeps(7, 0);
}

// With no transcript control, nothing is shown, but the pumps go on: a beep
// per line, and the end reported once.
TEST_F(OutputPumps, WithoutATranscriptThePumpsBeepAndReportTheEnd) {
    EXPECT_FALSE(spareFeed_.Attach(nullptr));
    StartShell(L"out:" + Hex("one\ntwo\n") + L" err:" + Hex("oops\n") + L" exit:0", &spareFeed_);
    ASSERT_TRUE(PumpUntil([&] { return running_.load() == 0; }, 30000));
    ASSERT_TRUE(PumpUntil([&] { return !TakeBeeps().empty() && IsEndBeep(TakeBeeps().back()); }));
    ExpectLineBeeps(2, 1);
    const std::vector<BeepRecord> beeps = TakeBeeps();
    EXPECT_EQ(std::ranges::count_if(beeps, IsEndBeep), 1);
    EXPECT_EQ(Transcript(), L"");
    EXPECT_EQ(spareFeed_.UnshownChars(), 0u);  // nor kept for a transcript that will never come
}

// The feed's wake window cannot be made (its parent is gone): the main
// thread's loop delivers instead, and nothing hangs.
TEST_F(OutputPumps, WithoutTheWakeWindowTheLoopDeliversTheOutput) {
    HWND gone = CreateWindowExW(0, L"STATIC", L"gone", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(gone);
    DestroyWindow(gone);
    ASSERT_FALSE(spareFeed_.Attach(edit_, gone));
    Gate lineShown, errorShown;
    StartShell(L"out:" + Hex("one\n") + lineShown.Await() + L"err:" + Hex("oops\n") + errorShown.Await() + L"out:" +
                   Hex("tail") + L" exit:0",
               &spareFeed_);
    const auto polledUntil = [&](const std::function<bool()>& done) {
        return PumpUntil(done, 30000, [&] {
            support::DispatchMessages();
            spareFeed_.Poll();
        });
    };
    ASSERT_TRUE(polledUntil([&] { return Transcript() == L"\r\none\n"; })) << support::Utf8(Transcript());
    lineShown.Open();
    ASSERT_TRUE(polledUntil([&] { return Transcript() == L"\r\none\n\r\noops"; })) << support::Utf8(Transcript());
    errorShown.Open();
    ASSERT_TRUE(polledUntil([&] { return Transcript().ends_with(L"---program closed---"); }));
    EXPECT_EQ(Transcript(), std::wstring(L"\r\none\n\r\noops\r\ntail") + Closed);
    ExpectLineBeeps(2, 1);
}

// The end is reported only once the shell's process has ended and both of
// its streams are drained, and then by exactly one caller, however many find
// it at once.
TEST_F(OutputPumps, TheEndIsReportedOnceOnlyWhenTheShellAndBothStreamsHaveEnded) {
    EXPECT_FALSE(spareFeed_.Attach(nullptr));  // every piece counts as shown at once
    pumps_.feed = &spareFeed_;
    pumps_.shellRunning = &running_;
    pumps_.beeper = &beeper_;
    const auto endBeeps = [] {
        return std::ranges::count_if(TakeBeeps(), IsEndBeep);
    };
    channel::ChildProcess alive{}, unreadable{};
    alive.processHandle = GetCurrentProcess();  // never ends while the test runs
    // No handle: the wait on it fails, and the process counts as ended.
    const struct {
        const channel::ChildProcess* child;  // null: no process to wait for
        bool outputDrained, errorDrained, reported;
    } rows[] = {
        {nullptr, true, true, true},
        {nullptr, true, false, false},
        {nullptr, false, true, false},
        {&alive, true, true, false},
        {&unreadable, true, true, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << "process " << (row.child == &alive ? "running" : "ended")
                                        << ", stdout drained " << row.outputDrained << ", stderr drained "
                                        << row.errorDrained);
        pumps_.child = row.child;
        pumps_.outputDrained.store(row.outputDrained);
        pumps_.errorDrained.store(row.errorDrained);
        running_.store(1);
        const auto before = endBeeps();
        app::ReportShellEnd(pumps_);
        app::ReportShellEnd(pumps_);  // a second pass reports nothing more
        EXPECT_EQ(running_.load(), row.reported ? 0 : 1);
        EXPECT_EQ(endBeeps() - before, row.reported ? 1 : 0);
    }
    // Both pumps find the end at the same moment, ten thousand times over.
    // Each round starts at one count of the processor's clock, not at a
    // signal (the one to see a signal first would run ahead), and both have
    // read the running flag before it, so they meet inside the test-and-clear
    // itself. The end beeps at once on the caller (this beeper has no thread).
    pumps_.child = nullptr;
    app::LineBeeper onTheCaller;
    pumps_.beeper = &onTheCaller;
    ModelBeeps(0);
    constexpr int Rounds = 10000;
    std::atomic<int> round{0}, finished{0};
    std::atomic<uint64_t> startAt{0};
    const auto await = [](const auto& done) {
        for (int spins = 0; !done(); ++spins)
            if (spins > 100000) SwitchToThread();  // the other one has no core
    };
    const auto pump = [&](bool first) {
        for (int r = 1; r <= Rounds; ++r) {
            if (first) {
                await([&] { return finished.load() == r - 1; });
                running_.store(1);
                startAt.store(__rdtsc() + 20000);  // some microseconds ahead
                round.store(r);
            } else {
                await([&] { return round.load() == r; });
            }
            const uint64_t at = startAt.load();
            (void)running_.load();
            await([&] { return __rdtsc() >= at; });
            app::ReportShellEnd(pumps_);
            if (!first) finished.store(r);
        }
    };
    const auto before = endBeeps();
    {
        support::Worker first([&] { pump(true); });
        support::Worker second([&] { pump(false); });
    }
    EXPECT_EQ(endBeeps() - before, Rounds);
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
    Gate linesShown;
    StartShell(L"out:" + Hex("one\ntwo\n") + linesShown.Await() + L"err:" + Hex("oops\n") + L" exit:0");
    ASSERT_TRUE(OpenWhenShown(linesShown, L"\r\none\n\r\ntwo\n"));
    ASSERT_TRUE(WaitForEnd());
    EXPECT_EQ(Transcript(), std::wstring(L"\r\none\n\r\ntwo\n\r\noops") + Closed);
    EXPECT_GE(g_allocations.load(), 4);
    ExpectLineBeeps(2, 1);
}

// Without a child both streams count as ended at once; with no shell
// running, there is no end to report either.
TEST_F(OutputPumps, WithoutAShellNothingHappens) {
    running_.store(0);
    pumps_.child = nullptr;
    StartPumps();
    ASSERT_TRUE(PumpUntil([&] { return pumps_.outputDrained.load() && pumps_.errorDrained.load(); }));
    // Once the threads are gone, whatever they did is there to see.
    StopPumps();
    EXPECT_EQ(feed_.UnshownChars(), 0u);
    EXPECT_EQ(Transcript(), L"");
    EXPECT_TRUE(TakeBeeps().empty());
}

}  // namespace
}  // namespace apptest
