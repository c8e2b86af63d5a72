#include "app/transcript_feed.h"

#include "pump_fixture.h"
#include "support/worker.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <string>
#include <utility>
#include <vector>

namespace apptest {
namespace {

class TranscriptFeed : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(MakeTranscript(parent_, edit_));
        // The wake window a child of parent_, where the test can find it.
        ASSERT_TRUE(feed_.Attach(edit_, parent_));
        ASSERT_TRUE(Activate(parent_));
    }
    void TearDown() override {
        feed_.Close();
        DestroyWindow(parent_);
    }

    [[nodiscard]] HWND WakeWindow() const {
        for (HWND child = GetWindow(parent_, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
            if (child != edit_) return child;
        return nullptr;
    }

    HWND parent_ = nullptr;
    HWND edit_ = nullptr;
    app::TranscriptFeed feed_;
};

// A pump waiting on a thread of its own for the text of `ticket`.
struct Waiter {
    Waiter(app::TranscriptFeed& feed, uint64_t ticket)
        : thread([this, &feed, ticket] {
              const bool shown = feed.WaitShown(ticket);
              shownAtReturn.store(feed.IsShown(ticket));
              result.store(shown ? 1 : 0);
          }) {
        EXPECT_TRUE(thread.Started());
    }
    std::atomic<int> result{-1};  // 1: shown, 0: the feed closed
    std::atomic<bool> shownAtReturn{false};
    support::Worker thread;  // last: it starts once the rest is made
};

// A pump thread hands many pieces before the main thread gets to them: they
// cost one wake-up and arrive in order.
TEST_F(TranscriptFeed, PiecesHandedByAnotherThreadArriveInOrderWithOneWakeUp) {
    const HWND wake = WakeWindow();
    ASSERT_TRUE(wake);
    support::MessageRecorder wakeUps(wake);
    uint64_t last = 0;
    support::Worker pump([&] {
        for (int i = 0; i < 500; ++i) last = feed_.Hand(L"\r\n" + std::to_wstring(i));
    });
    ASSERT_TRUE(pump.Done(support::Patience));
    EXPECT_FALSE(feed_.IsShown(last));  // no message has been dispatched yet
    ASSERT_TRUE(PumpUntil([&] { return feed_.IsShown(last); }));
    std::wstring expected;
    for (int i = 0; i < 500; ++i) expected += L"\r\n" + std::to_wstring(i);
    EXPECT_EQ(WindowText(edit_), expected);
    // The window's timers (the paint once the text is quiet) are no wake-ups.
    EXPECT_EQ(wakeUps.messages.size() - wakeUps.Count(WM_TIMER), 1u);
}

// A flood goes in small parts, and text handed over meanwhile joins it: it
// arrives in order, and no piece counts as shown before all of it is in the
// control. Paints held back meanwhile come once it ends: the control paints
// the whole text, the newest line in view.
TEST_F(TranscriptFeed, AFloodInSmallPartsShowsItsNewestTextOnceItEnds) {
    HoldPaints(feed_, 500);
    std::vector<int> paints;
    const auto recorder = RecordPaints(edit_, paints);
    // Another window, which the flood's paints leave alone.
    const HWND other = CreateWindowExW(WS_EX_NOACTIVATE, L"STATIC", L"other", WS_POPUP | WS_VISIBLE, 900, 0, 100, 100,
                                       nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(other);
    UpdateWindow(other);
    std::vector<int> otherPaints;
    const auto otherRecorder = RecordPaints(other, otherPaints);
    std::wstring flood;
    std::vector<std::pair<uint64_t, size_t>> pieces;  // ticket, where its text ends
    auto hand = [&](int from, int to) {
        for (int i = from; i < to; ++i) {
            const std::wstring line = L"\r\nline " + std::to_wstring(i);
            flood += line;
            pieces.emplace_back(feed_.Hand(line), flood.size());
        }
    };
    size_t shownPieces = 0;
    bool shownEarly = false;
    auto shown = [&](size_t piece) {
        while (shownPieces < pieces.size() && feed_.IsShown(pieces[shownPieces].first)) ++shownPieces;
        if (shownPieces > 0 && static_cast<size_t>(GetWindowTextLengthW(edit_)) < pieces[shownPieces - 1].second)
            shownEarly = true;
        return shownPieces > piece;
    };
    auto oneMessage = [] {
        MSG message;
        if (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
        else MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    };
    hand(0, 1000);
    ASSERT_TRUE(PumpUntil([&] { return shown(500); }, support::Patience, oneMessage));
    ASSERT_FALSE(feed_.IsShown(pieces.back().first));
    // Meanwhile an append's own paint is held back, and a paint another asked
    // for (the window was uncovered) is not.
    feed_.Deliver();
    EXPECT_FALSE(GetUpdateRect(edit_, nullptr, FALSE));
    RECT uncovered{0, 0, 10, 10};
    InvalidateRect(edit_, &uncovered, FALSE);
    feed_.Deliver();
    EXPECT_TRUE(GetUpdateRect(edit_, nullptr, FALSE));
    hand(1000, 2000);
    ASSERT_TRUE(PumpUntil([&] { return shown(pieces.size() - 1); }, support::Patience, oneMessage));
    EXPECT_FALSE(shownEarly);
    EXPECT_TRUE(WindowText(edit_) == flood);
    ASSERT_TRUE(PumpUntil([&] { return !paints.empty() && paints.back() == static_cast<int>(flood.size()); }));
    EXPECT_TRUE(LastCharacterVisible(edit_));
    EXPECT_FALSE(GetUpdateRect(edit_, nullptr, FALSE));
    // So is the newest text of a flood that ends right after that paint.
    hand(2000, 2100);
    ASSERT_TRUE(PumpUntil([&] { return shown(pieces.size() - 1); }, support::Patience, oneMessage));
    EXPECT_TRUE(PumpUntil([&] { return paints.back() == static_cast<int>(flood.size()); }));
    EXPECT_TRUE(otherPaints.empty());
    DestroyWindow(other);
}

// Once the wake window is gone no wake-up can be posted nor timer set: the
// main loop's Poll delivers the text, and paints it once the flood is quiet.
TEST_F(TranscriptFeed, WithoutWakeUpsTheLoopsPollDeliversAndPaints) {
    HoldPaints(feed_, 500);
    std::vector<int> paints;
    const auto recorder = RecordPaints(edit_, paints);
    ASSERT_TRUE(DestroyWindow(WakeWindow()));
    std::wstring flood;
    for (int i = 0; i < 200; ++i) flood += L"\r\nline " + std::to_wstring(i);
    const uint64_t ticket = feed_.Hand(flood);
    const auto poll = [&] {
        support::DispatchMessages();
        feed_.Poll();
    };
    ASSERT_TRUE(PumpUntil([&] { return feed_.IsShown(ticket); }, support::Patience, poll));
    EXPECT_TRUE(WindowText(edit_) == flood);
    EXPECT_TRUE(PumpUntil([&] { return !paints.empty() && paints.back() == static_cast<int>(flood.size()); },
                          support::Patience, poll));
}

// A pump waiting for its text goes on once the main thread has shown it.
TEST_F(TranscriptFeed, AWaiterIsReleasedOnceItsTextIsShown) {
    Waiter w(feed_, feed_.Hand(L"\r\nshown"));
    ASSERT_TRUE(PumpUntil([&] { return w.result.load() != -1; }));
    EXPECT_EQ(w.result.load(), 1);
    EXPECT_TRUE(w.shownAtReturn.load());
    EXPECT_EQ(WindowText(edit_), L"\r\nshown");
}

// At shutdown a pump may be waiting for its text to be shown: closing the
// feed releases it, and nothing handed over afterwards reaches the window.
TEST_F(TranscriptFeed, CloseReleasesWaitersAndStopsDelivery) {
    Waiter w(feed_, feed_.Hand(L"never shown"));
    // Nothing dispatches the wake-up, so the waiter stays blocked until the close.
    EXPECT_TRUE(support::NothingWithin(100, [&] { return w.thread.Done(0); }));
    feed_.Close();
    EXPECT_TRUE(w.thread.Done(support::Patience));
    EXPECT_EQ(w.result.load(), 0);

    (void)feed_.Hand(L"after close");
    feed_.Deliver();
    support::DispatchMessages(0);  // any wake-up posted by now
    EXPECT_EQ(WindowText(edit_), L"");
    Waiter late(feed_, feed_.Hand(L"late"));
    EXPECT_TRUE(late.thread.Done(support::Patience));
    EXPECT_EQ(late.result.load(), 0);
}

}  // namespace
}  // namespace apptest
