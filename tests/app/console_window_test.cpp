#include "app/console_numbers.h"
#include "app/console_window.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::vector<int32_t> Box(const app::ControlPlace& p) { return {p.x, p.y, p.width, p.height}; }

TEST(ComputeLayout, FullHdClientArea) {
    const app::ConsoleLayout l = app::ComputeLayout(1920, 1017);
    EXPECT_EQ(Box(l.outputView), (std::vector<int32_t>{0, 0, 959, 914}));
    EXPECT_EQ(Box(l.outLabel), (std::vector<int32_t>{0, 915, 959, 101}));
    EXPECT_EQ(Box(l.commandLabel), (std::vector<int32_t>{960, 0, 960, 101}));
    EXPECT_EQ(Box(l.commandBox), (std::vector<int32_t>{960, 0, 960, 914}));
}

// The double arithmetic must give floor(9H/10), floor(H/10) and floor(W/2)
// for every size, odd widths and heights where 0.9 is inexact included.
TEST(ComputeLayout, MatchesIntegerFloorsForEverySize) {
    for (int64_t h = 1; h <= 5000; ++h) {
        const app::ConsoleLayout l = app::ComputeLayout(2 * h + 1, h);
        ASSERT_EQ(l.outLabel.y, 9 * h / 10) << h;
        ASSERT_EQ(l.outLabel.height, h / 10) << h;
        ASSERT_EQ(l.commandBox.height, 9 * h / 10 - 1) << h;
        ASSERT_EQ(l.commandBox.x, h) << h;
        ASSERT_EQ(l.outputView.width, h - 1) << h;
    }
}

// The tones users learn the console by, pinned here once; every other test
// names them.
TEST(ConsoleTones, AreTheOnesItsUsersKnow) {
    const struct {
        app::Tone tone;
        DWORD frequency, duration;
    } rows[] = {{app::KeyTone, 2000, 1}, {app::OutputLineTone, 800, 1}, {app::ErrorLineTone, 100, 20},
                {app::ShellEndTone, 50, 100}};
    for (const auto& row : rows) {
        EXPECT_EQ(row.tone.frequency, row.frequency);
        EXPECT_EQ(row.tone.duration, row.duration);
    }
}

}  // namespace
