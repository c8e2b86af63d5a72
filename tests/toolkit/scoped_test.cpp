// The owners in toolkit/scoped.h: the guard over both kinds of lock, the
// scoped event suppression, and process-wide state.
#include "toolkit/event_codes.h"
#include "toolkit/event_queue.h"
#include "toolkit/scoped.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace {

using namespace toolkit;

// Runs `probe` on another thread and returns what it returned.
template <class Probe>
bool OnOtherThread(Probe probe) {
    struct Call {
        Probe* probe;
        bool result;
    } call{&probe, false};
    const UniqueHandle thread(CreateThread(
        nullptr, 0,
        [](void* p) -> DWORD {
            auto* c = static_cast<Call*>(p);
            c->result = (*c->probe)();
            return 0;
        },
        &call, 0, nullptr));
    EXPECT_TRUE(thread);
    EXPECT_EQ(WaitForSingleObject(thread.get(), 10000), WAIT_OBJECT_0);
    return call.result;
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
    EXPECT_EQ(WaitEvent(0), MenuEvent);
    EXPECT_EQ(EventMenuItem(), 3);
    EXPECT_EQ(WaitEvent(0), MenuEvent);
    EXPECT_EQ(EventMenuItem(), 4);
    EXPECT_EQ(WaitEvent(0), 0);
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
