#include "toolkit/event_post.h"
#include "toolkit_test_support.h"

#include "support/waiting.h"
#include "support/worker.h"

#include <atomic>
#include <initializer_list>
#include <vector>

namespace {

using namespace toolkit;
using support::Worker;

const auto* const g_environment = ::testing::AddGlobalTestEnvironment(new toolkit_test::ToolkitEnvironment);

using toolkit_test::Event;
using toolkit_test::TakePending;

struct Raised {
    int32_t code;
    int64_t object = 0;
    int64_t window = 0;
    int64_t data = 0;
    uint32_t flags = 0;
};

void Raise(std::initializer_list<Raised> events) {
    for (const Raised& e : events) RaiseEvent(e.code, e.object, e.window, e.data, e.flags);
}

std::vector<Event> RaiseAndDrain(std::initializer_list<Raised> events) {
    Raise(events);
    return TakePending();
}

class EventQueueTest : public ::testing::Test {
protected:
    void SetUp() override { (void)TakePending(); }
    void TearDown() override { (void)TakePending(); }
};

using RaiseEventTest = EventQueueTest;
using DropEventsTest = EventQueueTest;
using SuppressEventsTest = EventQueueTest;
using WaitEventTest = EventQueueTest;

// An equal event merges into the tail only; behind another it is queued again.
TEST_F(RaiseEventTest, EventEqualToTheTailMergesIntoIt) {
    EXPECT_EQ(RaiseAndDrain({{RepaintEvent}, {RepaintEvent}, {SizeEvent}, {RepaintEvent}}),
              (std::vector<Event>{{RepaintEvent, 0}, {SizeEvent, 0}, {RepaintEvent, 0}}));
}

TEST_F(RaiseEventTest, MergeComparesCodeObjectWindowAndData) {
    const std::vector<Event> taken = RaiseAndDrain({
        {ControlEvent, 1, 0, 768},
        {ControlEvent, 2, 0, 768},                   // other object
        {ControlEvent, 2, 5, 768},                   // other window
        {ControlEvent, 2, 5, 14000},                 // other data
        {MenuEvent, 2, 5, 14000},                    // other code
        {MenuEvent, 2, 5, 14000, DeliverAlways},     // flags do not count
    });
    EXPECT_EQ(taken.size(), 5u);
}

TEST_F(RaiseEventTest, ManyEventsKeepTheirOrderThroughPoolGrowth) {
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

TEST_F(DropEventsTest, DropEventsRemovesMatchesAndKeepsTailRight) {
    Raise({{ControlEvent, 1, 0, 768}, {SizeEvent}, {ControlEvent, 2, 0, 768}, {ControlEvent, 1, 3, 14000}});
    DropEvents(ControlEvent, 1, -1, -1);
    // The queue is now SizeEvent, ControlEvent 2. Dropping the tail makes
    // SizeEvent the tail again: an equal SizeEvent merges into it.
    DropEvents(ControlEvent, -1, 0, 768);
    EXPECT_EQ(RaiseAndDrain({{SizeEvent}, {MenuEvent, 4}}), (std::vector<Event>{{SizeEvent, 0}, {MenuEvent, 4}}));
}

TEST_F(DropEventsTest, DroppingEverythingLeavesAWorkingEmptyQueue) {
    Raise({{MenuEvent, 1}, {MenuEvent, 2}});
    DropEvents(-1, -1, -1, -1);
    EXPECT_EQ(WaitEvent(0), 0);
    EXPECT_EQ(RaiseAndDrain({{MenuEvent, 3}}), (std::vector<Event>{{MenuEvent, 3}}));
}

TEST_F(DropEventsTest, DropWindowEventsRemovesOnlyThatWindowsEvents) {
    Raise({{MenuEvent, 1, 2}, {MenuEvent, 2, 3}, {CloseEvent, 2, 2}, {MenuEvent, 4, 3}});
    DropWindowEvents(2);
    EXPECT_EQ(TakePending(), (std::vector<Event>{{MenuEvent, 2, 3}, {MenuEvent, 4, 3}}));
}

TEST_F(SuppressEventsTest, SuppressedEventsAreLostUnlessDeliverAlways) {
    {
        const SuppressedEvents outer;
        {
            const SuppressedEvents inner;
            Raise({{ControlEvent, 1, 0, 768}, {ControlEvent, 2, 0, 768, DeliverAlways}});
        }
        Raise({{ControlEvent, 3, 0, 768}});  // still one level deep
    }
    EXPECT_EQ(RaiseAndDrain({{ControlEvent, 4, 0, 768}}),
              (std::vector<Event>{{ControlEvent, 2, 0, 768}, {ControlEvent, 4, 0, 768}}));
}

TEST_F(SuppressEventsTest, UnmatchedResumeDoesNotSuppressForGood) {
    ResumeEvents();
    EXPECT_EQ(RaiseAndDrain({{MenuEvent, 9}}), (std::vector<Event>{{MenuEvent, 9}}));
}

TEST_F(SuppressEventsTest, QueuesAndSuppressionBelongToTheirThread) {
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

TEST_F(WaitEventTest, HandledMessageReturnsItsNumber) {
    ASSERT_TRUE(PostThreadMessageW(GetCurrentThreadId(), WM_USER + 5, 0, 0));
    EXPECT_EQ(WaitEvent(0), WM_USER + 5);
    ASSERT_TRUE(PostThreadMessageW(GetCurrentThreadId(), WM_KEYDOWN, 0, 0));
    EXPECT_EQ(WaitEvent(-1), 256);
    // With nothing left, a wait ends with 0, at once or at its time-out.
    EXPECT_EQ(WaitEvent(0), 0);
    EXPECT_EQ(WaitEvent(100), 0);
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
    // A plain window of this thread, to which a worker sends a message: the
    // wait must wake, handle it and end long before its time-out.
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
    (void)TakePending();  // what the new window posted itself

    // The worker sends until the one long wait below has ended. A send that
    // comes before the wait has begun is handled as the wait first looks at
    // the queue; the next one finds the thread waiting and has to wake it.
    // A wait that slept through the sends would outlast the worker's patience.
    handled = 0;
    std::atomic<bool> waitEnded{false};
    std::atomic<bool> sawWaitEnd{false};
    std::atomic<int> replies{0};
    Worker worker([&] {
        sawWaitEnd = support::PumpUntil([&] { return waitEnded.load(); }, support::Patience, [&] {
            DWORD_PTR reply = 0;
            if (SendMessageTimeoutW(target, WM_USER + 9, 0, 0, SMTO_NORMAL, support::Patience, &reply) &&
                reply == 1234)
                ++replies;
        });
    });
    ASSERT_TRUE(worker.Started());
    const int64_t result = WaitEvent(3 * support::Patience);
    waitEnded = true;
    // A send may still be on its way: answer it until the worker is done.
    EXPECT_TRUE(support::PumpUntil([&] { return worker.Done(0); }));
    worker.Join();
    EXPECT_TRUE(sawWaitEnd) << "the sends did not wake the wait";
    EXPECT_EQ(result, 0) << "a wake-up that brought only sent messages reports nothing";
    EXPECT_GE(handled.load(), 1);
    EXPECT_EQ(replies.load(), handled.load()) << "every send got the window's reply";
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
    const bool taken = support::PumpUntil([&] { return result == MenuEvent; }, support::Patience,
                                          [&] { result = WaitEvent(10); });
    ResumeEvents();
    EXPECT_TRUE(taken);
    EXPECT_EQ(EventMenuItem(), 77);
}

// The post window frees the lParam of each message it takes, so a broadcast,
// which any program can make, must not reach it; posted to it, it is raised.
TEST_F(WaitEventTest, ABroadcastOfThePostedEventMessageIsNotTaken) {
    const UINT message = RegisterWindowMessageW(L"KX_PostEventMessage");
    ASSERT_TRUE(PostEvent(MenuEvent, 78, 0, 0));
    MSG posted{};
    ASSERT_TRUE(PeekMessageW(&posted, nullptr, message, message, PM_REMOVE));
    ASSERT_TRUE(PostMessageW(HWND_BROADCAST, message, 0, posted.lParam));
    ASSERT_TRUE(support::NothingWithin(200, [] { return WaitEvent(10) == MenuEvent; }));
    ASSERT_TRUE(PostMessageW(posted.hwnd, message, 0, posted.lParam));
    EXPECT_TRUE(support::PumpUntil([] { return WaitEvent(10) == MenuEvent; }));
    EXPECT_EQ(EventMenuItem(), 78);
}

}  // namespace
