#include "app/transcript_feed.h"

#include "pump_fixture.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>

namespace apptest {
namespace {

class TranscriptFeedTest : public testing::Test {
protected:
    void SetUp() override {
        parent_ = CreateWindowExW(0, L"STATIC", L"feed", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300, nullptr, nullptr,
                                  nullptr, nullptr);
        edit_ = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"", 0x500308C4, 0, 0, 300, 200, parent_, nullptr,
                                nullptr, nullptr);
        ASSERT_TRUE(parent_ && edit_);
    }
    void TearDown() override { DestroyWindow(parent_); }

    HWND parent_ = nullptr;
    HWND edit_ = nullptr;
};

struct Waiter {
    app::TranscriptFeed* feed;
    uint64_t ticket;
    std::atomic<int> result{-1};
};

DWORD WINAPI WaitForTicket(void* p) {
    auto* w = static_cast<Waiter*>(p);
    w->result.store(w->feed->WaitShown(w->ticket) ? 1 : 0);
    return 0;
}

TEST_F(TranscriptFeedTest, PiecesFromAnotherThreadArriveInOrderWithOneWakeUp) {
    app::TranscriptFeed feed;
    ASSERT_TRUE(feed.Attach(edit_));
    Waiter w{&feed, 0};
    for (int i = 0; i < 500; ++i) w.ticket = feed.Hand(L"\r\n" + std::to_wstring(i));
    HANDLE thread = CreateThread(nullptr, 0, WaitForTicket, &w, 0, nullptr);
    ASSERT_TRUE(PumpUntil([&] { return w.result.load() != -1; }, 10000));
    EXPECT_EQ(w.result.load(), 1);
    std::wstring expected;
    for (int i = 0; i < 500; ++i) expected += L"\r\n" + std::to_wstring(i);
    EXPECT_EQ(WindowText(edit_), expected);
    WaitForSingleObject(thread, 5000);
    CloseHandle(thread);
    feed.Close();
}

// At shutdown a pump may be waiting for its text to be shown: closing the
// feed releases it, and nothing handed over afterwards reaches the window.
TEST_F(TranscriptFeedTest, CloseReleasesWaitersAndStopsDelivery) {
    app::TranscriptFeed feed;
    ASSERT_TRUE(feed.Attach(edit_));
    Waiter w{&feed, feed.Hand(L"never shown")};
    HANDLE thread = CreateThread(nullptr, 0, WaitForTicket, &w, 0, nullptr);
    ASSERT_TRUE(thread);
    // Nothing dispatches the wake-up, so the waiter stays blocked until the close.
    EXPECT_EQ(WaitForSingleObject(thread, 100), static_cast<DWORD>(WAIT_TIMEOUT));
    feed.Close();
    EXPECT_EQ(WaitForSingleObject(thread, 5000), static_cast<DWORD>(WAIT_OBJECT_0));
    EXPECT_EQ(w.result.load(), 0);
    CloseHandle(thread);

    (void)feed.Hand(L"after close");
    feed.Deliver();
    PumpUntil([] { return false; }, 50);
    EXPECT_EQ(WindowText(edit_), L"");
    Waiter late{&feed, feed.Hand(L"late")};
    EXPECT_EQ(WaitForTicket(&late), 0u);
    EXPECT_EQ(late.result.load(), 0);
}

}  // namespace
}  // namespace apptest
