#include "toolkit/event_post.h"
#include "toolkit_test_support.h"

#include <atomic>
#include <vector>

namespace {

using namespace toolkit;
using toolkit_test::Worker;

const auto* const g_environment = ::testing::AddGlobalTestEnvironment(new toolkit_test::ToolkitEnvironment);

struct Taken {
    int64_t code;
    int64_t object;
    bool operator==(const Taken&) const = default;
};

// Every event queued on this thread, oldest first.
std::vector<Taken> DrainEvents() {
    std::vector<Taken> events;
    for (int i = 0; i < 10000; ++i) {  // bounded: a stream of messages must not hang the test
        const int64_t result = WaitEvent(0);
        if (result == 0) break;
        if (toolkit_test::IsEventCode(result)) events.push_back({result, EventMenuItem()});
    }
    return events;
}

class EventQueueTest : public ::testing::Test {
protected:
    void SetUp() override { DrainEvents(); }
    void TearDown() override { DrainEvents(); }
};

TEST_F(EventQueueTest, EventsComeBackInOrderWithTheirObject) {
    RaiseEvent(MenuEvent, 7, 0, 0, 0);
    RaiseEvent(CloseEvent, 0, 0, 0, 0);
    RaiseEvent(MenuEvent, 1, 0, 0, 0);
    EXPECT_EQ(WaitEvent(0), MenuEvent);
    EXPECT_EQ(EventMenuItem(), 7);
    EXPECT_EQ(WaitEvent(0), CloseEvent);
    EXPECT_EQ(EventMenuItem(), 0);
    EXPECT_EQ(WaitEvent(0), MenuEvent);
    EXPECT_EQ(EventMenuItem(), 1);
    EXPECT_EQ(WaitEvent(0), 0);
}

TEST_F(EventQueueTest, EventEqualToTailMergesIntoIt) {
    RaiseEvent(RepaintEvent, 0, 0, 0, 0);
    RaiseEvent(RepaintEvent, 0, 0, 0, 0);
    EXPECT_EQ(DrainEvents(), (std::vector<Taken>{{RepaintEvent, 0}}));
}

TEST_F(EventQueueTest, EqualEventBehindAnotherIsQueuedAgain) {
    RaiseEvent(RepaintEvent, 0, 0, 0, 0);
    RaiseEvent(SizeEvent, 0, 0, 0, 0);
    RaiseEvent(RepaintEvent, 0, 0, 0, 0);
    EXPECT_EQ(DrainEvents(), (std::vector<Taken>{{RepaintEvent, 0}, {SizeEvent, 0}, {RepaintEvent, 0}}));
}

TEST_F(EventQueueTest, MergeComparesCodeObjectWindowAndData) {
    RaiseEvent(ControlEvent, 1, 0, 768, 0);
    RaiseEvent(ControlEvent, 2, 0, 768, 0);  // other object
    RaiseEvent(ControlEvent, 2, 5, 768, 0);  // other window
    RaiseEvent(ControlEvent, 2, 5, 14000, 0);  // other data
    RaiseEvent(MenuEvent, 2, 5, 14000, 0);  // other code
    RaiseEvent(MenuEvent, 2, 5, 14000, DeliverAlways);  // flags do not count
    EXPECT_EQ(DrainEvents().size(), 5u);
}

TEST_F(EventQueueTest, DropEventsRemovesMatchesAndKeepsTailRight) {
    RaiseEvent(ControlEvent, 1, 0, 768, 0);
    RaiseEvent(SizeEvent, 0, 0, 0, 0);
    RaiseEvent(ControlEvent, 2, 0, 768, 0);
    RaiseEvent(ControlEvent, 1, 3, 14000, 0);
    DropEvents(ControlEvent, 1, -1, -1);
    // The queue is now SizeEvent, ControlEvent 2. Dropping the tail makes
    // SizeEvent the tail again: an equal SizeEvent merges into it.
    DropEvents(ControlEvent, -1, 0, 768);
    RaiseEvent(SizeEvent, 0, 0, 0, 0);
    RaiseEvent(MenuEvent, 4, 0, 0, 0);
    EXPECT_EQ(DrainEvents(), (std::vector<Taken>{{SizeEvent, 0}, {MenuEvent, 4}}));
}

TEST_F(EventQueueTest, DroppingEverythingLeavesAWorkingEmptyQueue) {
    RaiseEvent(MenuEvent, 1, 0, 0, 0);
    RaiseEvent(MenuEvent, 2, 0, 0, 0);
    DropEvents(-1, -1, -1, -1);
    EXPECT_EQ(WaitEvent(0), 0);
    RaiseEvent(MenuEvent, 3, 0, 0, 0);
    EXPECT_EQ(DrainEvents(), (std::vector<Taken>{{MenuEvent, 3}}));
}

TEST_F(EventQueueTest, DropWindowEventsRemovesOnlyThatWindowsEvents) {
    RaiseEvent(MenuEvent, 1, 2, 0, 0);
    RaiseEvent(MenuEvent, 2, 3, 0, 0);
    RaiseEvent(CloseEvent, 2, 2, 0, 0);
    RaiseEvent(MenuEvent, 4, 3, 0, 0);
    DropWindowEvents(2);
    EXPECT_EQ(DrainEvents(), (std::vector<Taken>{{MenuEvent, 2}, {MenuEvent, 4}}));
}

TEST_F(EventQueueTest, SuppressedEventsAreLostUnlessDeliverAlways) {
    SuppressEvents();
    SuppressEvents();
    RaiseEvent(ControlEvent, 1, 0, 768, 0);
    RaiseEvent(ControlEvent, 2, 0, 768, DeliverAlways);
    ResumeEvents();
    RaiseEvent(ControlEvent, 3, 0, 768, 0);  // still one level deep
    ResumeEvents();
    RaiseEvent(ControlEvent, 4, 0, 768, 0);
    EXPECT_EQ(DrainEvents(), (std::vector<Taken>{{ControlEvent, 2}, {ControlEvent, 4}}));
}

TEST_F(EventQueueTest, UnmatchedResumeDoesNotSuppressForGood) {
    ResumeEvents();
    RaiseEvent(MenuEvent, 9, 0, 0, 0);
    EXPECT_EQ(DrainEvents(), (std::vector<Taken>{{MenuEvent, 9}}));
}

TEST_F(EventQueueTest, QueuesAndSuppressionBelongToTheirThread) {
    std::atomic<int64_t> workerFirst{-1};
    std::atomic<int64_t> workerSecond{-1};
    auto work = [&] {
        SuppressEvents();
        RaiseEvent(MenuEvent, 50, 0, 0, 0);  // lost: suppressed on this thread
        RaiseEvent(MenuEvent, 51, 0, 0, DeliverAlways);
        ResumeEvents();
        workerFirst = WaitEvent(0) == MenuEvent ? EventMenuItem() : 0;
        workerSecond = WaitEvent(0);
    };
    SuppressEvents();
    Worker worker(work);
    worker.Join();
    ResumeEvents();
    EXPECT_EQ(workerFirst, 51);
    EXPECT_EQ(workerSecond, 0);
    EXPECT_EQ(WaitEvent(0), 0) << "the worker's events stay in the worker's queue";

    auto raiseOnly = [] { RaiseEvent(MenuEvent, 60, 0, 0, 0); };
    Worker other(raiseOnly);
    other.Join();
    EXPECT_EQ(WaitEvent(0), 0);
}

TEST_F(EventQueueTest, ManyEventsKeepTheirOrderThroughPoolGrowth) {
    // Enough distinct events to need several pool blocks, taken back, then
    // raised again so that released blocks are allocated afresh.
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        constexpr int count = 5000;
        for (int i = 0; i < count; ++i) RaiseEvent(MenuEvent, i, 0, 0, 0);
        int expected = 0;
        for (int64_t result = WaitEvent(0); result == MenuEvent; result = WaitEvent(0)) {
            ASSERT_EQ(EventMenuItem(), expected);
            ++expected;
        }
        EXPECT_EQ(expected, count);
    }
}

class WaitEventTest : public EventQueueTest {};

TEST_F(WaitEventTest, ZeroTimeoutWithNothingReturnsAtOnce) {
    const ULONGLONG start = GetTickCount64();
    EXPECT_EQ(WaitEvent(0), 0);
    EXPECT_LT(GetTickCount64() - start, 50u);
}

TEST_F(WaitEventTest, TimeoutWithNothingReturnsZeroAfterTheTimeout) {
    const ULONGLONG start = GetTickCount64();
    EXPECT_EQ(WaitEvent(100), 0);
    const ULONGLONG elapsed = GetTickCount64() - start;
    EXPECT_GE(elapsed, 80u);
    EXPECT_LT(elapsed, 2000u);
}

TEST_F(WaitEventTest, HandledMessageReturnsItsNumber) {
    ASSERT_TRUE(PostThreadMessageW(GetCurrentThreadId(), WM_USER + 5, 0, 0));
    EXPECT_EQ(WaitEvent(0), WM_USER + 5);
    ASSERT_TRUE(PostThreadMessageW(GetCurrentThreadId(), WM_KEYDOWN, 0, 0));
    EXPECT_EQ(WaitEvent(-1), 256);
    EXPECT_EQ(WaitEvent(0), 0);
}

TEST_F(WaitEventTest, QueuedEventComesBeforeWaitingMessage) {
    ASSERT_TRUE(PostThreadMessageW(GetCurrentThreadId(), WM_USER + 6, 0, 0));
    RaiseEvent(MenuEvent, 3, 0, 0, 0);
    EXPECT_EQ(WaitEvent(0), MenuEvent);
    EXPECT_EQ(WaitEvent(0), WM_USER + 6);
}

TEST_F(WaitEventTest, EventMenuItemKeepsLastEventAcrossMessagesAndTimeouts) {
    RaiseEvent(MenuEvent, 42, 0, 0, 0);
    ASSERT_EQ(WaitEvent(0), MenuEvent);
    ASSERT_TRUE(PostThreadMessageW(GetCurrentThreadId(), WM_USER + 7, 0, 0));
    EXPECT_EQ(WaitEvent(0), WM_USER + 7);
    EXPECT_EQ(EventMenuItem(), 42);
    EXPECT_EQ(WaitEvent(1), 0);
    EXPECT_EQ(EventMenuItem(), 42);
}

TEST_F(WaitEventTest, MessageSentFromAnotherThreadIsHandledInsideTheWait) {
    // A plain window of this thread, to which a worker sends a message (as a
    // pump's text change reaches the transcript): the wait must wake and
    // handle it long before its time-out.
    static std::atomic<int> handled{0};
    auto proc = [](HWND w, UINT m, WPARAM wp, LPARAM lp) noexcept -> LRESULT {
        if (m == WM_USER + 9) {
            ++handled;
            return 1234;
        }
        return DefWindowProcW(w, m, wp, lp);
    };
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = proc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"SentMessageTarget";
    RegisterClassW(&windowClass);
    const HWND target = CreateWindowExW(0, L"SentMessageTarget", L"", WS_OVERLAPPED, 0, 0, 10, 10, nullptr,
                                        nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(target, nullptr);

    std::atomic<LRESULT> reply{0};
    auto work = [&] {
        Sleep(50);  // let the main thread enter its wait first
        reply = SendMessageW(target, WM_USER + 9, 0, 0);
    };
    handled = 0;
    Worker worker(work);
    const ULONGLONG start = GetTickCount64();
    while (handled == 0 && GetTickCount64() - start < 5000) (void)WaitEvent(3000);
    const ULONGLONG elapsed = GetTickCount64() - start;
    worker.Join();
    EXPECT_EQ(handled, 1);
    EXPECT_EQ(reply, 1234);
    EXPECT_LT(elapsed, 2500u) << "the send woke the wait instead of waiting out its time-out";
    DestroyWindow(target);
}

TEST_F(WaitEventTest, PostedEventFromWorkerIsRaisedOnTheLibrarysThreadEvenWhileSuppressed) {
    std::atomic<bool> posted{false};
    auto work = [&] { posted = PostEvent(MenuEvent, 77, 0, 5); };
    SuppressEvents();
    Worker worker(work);
    worker.Join();
    ASSERT_TRUE(posted);
    int64_t result = -1;
    for (int i = 0; i < 100 && result != MenuEvent; ++i) result = WaitEvent(10);
    ResumeEvents();
    EXPECT_EQ(result, MenuEvent);
    EXPECT_EQ(EventMenuItem(), 77);
}

}  // namespace
