// The owners in toolkit/scoped.h: the guard over both kinds of lock, the
// scoped event suppression, and process-wide state.
#include "toolkit/event_codes.h"
#include "toolkit/event_queue.h"
#include "toolkit/scoped.h"

#include "support/waiting.h"
#include "support/worker.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <vector>

namespace {

using namespace toolkit;

// Runs `probe` on another thread and returns what it returned.
template <class Probe>
bool OnOtherThread(Probe probe) {
    bool result = false;
    support::Worker worker([&] { result = probe(); });
    EXPECT_TRUE(worker.Done(support::Patience));
    return result;
}

TEST(Guard, HoldsACriticalSectionForItsScope) {
    CriticalSection lock;
    const auto otherCanEnter = [&lock] {
        // The section is re-entrant, so only another thread can tell.
        return OnOtherThread([&lock] {
            CRITICAL_SECTION* raw = reinterpret_cast<CRITICAL_SECTION*>(&lock);
            if (!TryEnterCriticalSection(raw)) return false;
            LeaveCriticalSection(raw);
            return true;
        });
    };
    {
        Guard guard(lock);
        EXPECT_FALSE(otherCanEnter());
    }
    EXPECT_TRUE(otherCanEnter());
}

TEST(Guard, HoldsASlimLockExclusivelyForItsScope) {
    SRWLOCK lock = SRWLOCK_INIT;
    {
        Guard guard(lock);
        EXPECT_FALSE(TryAcquireSRWLockShared(&lock)) << "not even a reader gets in";
    }
    ASSERT_TRUE(TryAcquireSRWLockExclusive(&lock));
    ReleaseSRWLockExclusive(&lock);
}

TEST(SuppressedEvents, DiscardsTheThreadsEventsForItsScopeOnly) {
    while (WaitEvent(0) != 0) {
    }
    {
        SuppressedEvents outer;
        {
            SuppressedEvents inner;
            RaiseEvent(MenuEvent, 1, 0, 0, 0);
        }
        RaiseEvent(MenuEvent, 2, 0, 0, 0);  // still inside the outer scope
        RaiseEvent(MenuEvent, 3, 0, 0, DeliverAlways);
    }
    RaiseEvent(MenuEvent, 4, 0, 0, 0);
    std::vector<int64_t> taken;
    while (WaitEvent(0) == MenuEvent) taken.push_back(EventMenuItem());
    EXPECT_EQ(taken, (std::vector<int64_t>{3, 4}));
}

TEST(ProcessWide, IsOneObjectBuiltOnFirstUse) {
    struct Counter {
        int value = 41;
    };
    Counter& first = ProcessWide<Counter>();
    EXPECT_EQ(first.value, 41);
    first.value = 42;
    EXPECT_EQ(&ProcessWide<Counter>(), &first);
    EXPECT_EQ(OnOtherThread([&first] { return &ProcessWide<Counter>() == &first; }), true);
}

}  // namespace
