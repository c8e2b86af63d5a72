#include "app/line_beeper.h"

#include "pump_fixture.h"

#include <algorithm>
#include <atomic>
#include <vector>

namespace apptest {
namespace {

using app::StreamKind;

std::atomic<bool> g_flashes{false};
bool FlashSetting() noexcept { return g_flashes.load(); }

// The beeps recorded from `from` on.
std::vector<BeepRecord> BeepsSince(size_t from) {
    std::vector<BeepRecord> beeps = TakeBeeps();
    beeps.erase(beeps.begin(), beeps.begin() + static_cast<ptrdiff_t>(std::min(from, beeps.size())));
    return beeps;
}

class LineBeeper : public PumpTest {
protected:
    // Waits until `count` beeps in all have been recorded.
    static bool WaitForBeeps(size_t count) {
        return support::WaitUntil([&] { return TakeBeeps().size() >= count; });
    }
};

// Lines that come no faster than their beeps get one beep each, in the
// order shown, on the beeper's thread, and the end's beep after them. A
// beep that fails (no beep device) changes nothing.
TEST_F(LineBeeper, LinesAtAHumanPaceGetOneBeepEachInOrder) {
    const StreamKind order[] = {StreamKind::Output, StreamKind::Error, StreamKind::Error,
                                StreamKind::Output, StreamKind::Output, StreamKind::Error};
    for (const bool fails : {false, true}) {
        SCOPED_TRACE(fails ? "a beep that fails" : "a beep that blocks for its tone");
        ModelBeeps(1, fails);
        const size_t from = TakeBeeps().size();
        for (size_t i = 0; i < std::size(order); ++i) {
            beeper_.Shown(order[i], 1);
            ASSERT_TRUE(WaitForBeeps(from + i + 1));
        }
        beeper_.End();
        const std::vector<BeepRecord> beeps = BeepsSince(from);
        ASSERT_EQ(beeps.size(), std::size(order) + 1);
        for (size_t i = 0; i < beeps.size(); ++i) {
            const app::Tone tone = i == std::size(order)                ? app::ShellEndTone
                                   : order[i] == StreamKind::Output ? app::OutputLineTone
                                                                      : app::ErrorLineTone;
            EXPECT_EQ(beeps[i].frequency, tone.frequency) << "beep " << i;
            EXPECT_EQ(beeps[i].duration, tone.duration) << "beep " << i;
            EXPECT_EQ(beeps[i].thread, beeper_.ThreadId()) << "beep " << i;
        }
    }
}

// A flood's beeps end soon after it, however long a beep really takes: the
// beeper reckons its lag in the time its calls take, not in their tones,
// and drops the oldest due beeps beyond it. The end's beep is never dropped
// and comes last.
TEST_F(LineBeeper, AFloodsBeepsFallNoFurtherBehindThanTheLag) {
    const struct {
        const char* name;
        bool output, error;  // the flood's streams, line by line in turn when both
        double toneFactor;   // what a call takes, in tones
        bool fails = false;  // returns FALSE at once, as with no beep device
    } rows[] = {
        {"stdout", true, false, 1},
        {"stderr", false, true, 1},
        {"stderr, a beep taking 3 tones", false, true, 3},
        {"stdout, a beep taking 20 tones", true, false, 20},
        {"both streams in turn", true, true, 1},
        {"both streams in turn, a beep that fails at once", true, true, 1, true},
        {"stderr, a beep longer than the lag", false, true, 15},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ModelBeeps(row.toneFactor, row.fails);
        size_t from = TakeBeeps().size();
        if (row.output && row.error) {
            // What a beep of each stream takes is known before the flood.
            beeper_.Shown(StreamKind::Output, 1);
            beeper_.Shown(StreamKind::Error, 1);
            ASSERT_TRUE(WaitForBeeps(from += 2));
            for (int i = 0; i < 2000; ++i) {
                beeper_.Shown(StreamKind::Output, 1);
                beeper_.Shown(StreamKind::Error, 1);
            }
        } else {
            beeper_.Shown(row.output ? StreamKind::Output : StreamKind::Error, 100000);
        }
        beeper_.End(5000);
        const std::vector<BeepRecord> beeps = BeepsSince(from);
        ASSERT_FALSE(beeps.empty());
        EXPECT_EQ(beeps.back().frequency, app::ShellEndTone.frequency);
        const auto lines = static_cast<long>(beeps.size()) - 1;
        // The first beep, before any call was timed, then what fits the lag,
        // but always the newest line's.
        const double tone = row.output && row.error ? (app::OutputLineTone.duration + app::ErrorLineTone.duration) / 2.0
                            : row.output            ? app::OutputLineTone.duration
                                                    : app::ErrorLineTone.duration;
        EXPECT_GE(lines, 2);
        EXPECT_LE(lines, static_cast<long>(app::MaxBeepLagMs / (row.toneFactor * tone)) + 2);
    }
}

// A beep device that hangs holds the end's report back no longer than the
// wait it is given: the caller goes on while the end's beep still plays.
TEST_F(LineBeeper, AnEndBeepThatHangsHoldsTheCallerNoLongerThanItsWait) {
    std::atomic<bool> returned{false}, seenReturned{false};
    HoldBeepsOf(app::ShellEndTone.frequency, [&] {
        seenReturned.store(returned.load());
        return seenReturned.load();
    });
    beeper_.End(100);
    returned.store(true);
    // The held beep saw End return, rather than giving up waiting for it.
    EXPECT_TRUE(support::WaitUntil([&] { return seenReturned.load(); }));
    beeper_.Stop();  // the held beep has ended
}

// When Windows shows sounds as flashes, line beeps come at most three a
// second, each for every line since the one before (an error line's tone
// when one is among them), and a change of the setting is followed.
TEST_F(LineBeeper, WithSoundsShownAsFlashesBeepsComeAtMostThreeASecond) {
    beeper_.Stop();
    g_flashes.store(true);
    ASSERT_TRUE(beeper_.Start(&FlashSetting));
    const size_t from = TakeBeeps().size();
    constexpr int Lines = 40;  // over a second
    for (int i = 0; i < Lines; ++i) {
        beeper_.Shown(i % 8 == 7 ? StreamKind::Error : StreamKind::Output, 1);
        Sleep(25);
    }
    beeper_.End();
    const std::vector<BeepRecord> beeps = BeepsSince(from);
    ASSERT_GE(beeps.size(), 3u);
    EXPECT_EQ(beeps.back().frequency, app::ShellEndTone.frequency);
    for (size_t i = 1; i < beeps.size(); ++i)
        EXPECT_GE(beeps[i].startMs - beeps[i - 1].startMs, app::FlashGapMs - 0.5) << "beep " << i;
    EXPECT_TRUE(std::ranges::any_of(beeps, [](const BeepRecord& b) { return b.frequency == app::ErrorLineTone.frequency; }));
    // A flood shown while the next beep waits for its turn merges whole: an
    // error line before it still gives the error tone.
    const size_t flood = TakeBeeps().size();
    beeper_.Shown(StreamKind::Error, 1);
    beeper_.Shown(StreamKind::Output, 100000);
    beeper_.End();
    const std::vector<BeepRecord> merged = BeepsSince(flood);
    ASSERT_EQ(merged.size(), 2u);
    EXPECT_EQ(merged[0].frequency, app::ErrorLineTone.frequency);

    // Turned off, soon each line has its own beep again: two lines shown
    // together give two beeps.
    g_flashes.store(false);
    const bool exact = support::WaitUntil(
        [&] {
            const size_t before = TakeBeeps().size();
            beeper_.Shown(StreamKind::Output, 2);
            if (!WaitForBeeps(before + 1)) return false;
            return support::WaitUntil([&] { return TakeBeeps().size() >= before + 2; }, 100);
        },
        5000, 50);
    EXPECT_TRUE(exact);
}

}  // namespace
}  // namespace apptest
