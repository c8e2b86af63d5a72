#include "app/console_window.h"

#include <gtest/gtest.h>

namespace {

TEST(ComputeLayout, FullHdClientArea) {
    const app::ConsoleLayout l = app::ComputeLayout(1920, 1017);
    EXPECT_EQ(l.outputView.x, 0);
    EXPECT_EQ(l.outputView.y, 0);
    EXPECT_EQ(l.outputView.width, 959);
    EXPECT_EQ(l.outputView.height, 914);
    EXPECT_EQ(l.outLabel.x, 0);
    EXPECT_EQ(l.outLabel.y, 915);
    EXPECT_EQ(l.outLabel.width, 959);
    EXPECT_EQ(l.outLabel.height, 101);
    EXPECT_EQ(l.commandLabel.x, 960);
    EXPECT_EQ(l.commandLabel.y, 0);
    EXPECT_EQ(l.commandLabel.width, 960);
    EXPECT_EQ(l.commandLabel.height, 101);
    EXPECT_EQ(l.commandBox.x, 960);
    EXPECT_EQ(l.commandBox.y, 0);
    EXPECT_EQ(l.commandBox.width, 960);
    EXPECT_EQ(l.commandBox.height, 914);
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

}  // namespace
