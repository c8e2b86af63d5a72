// The owners in toolkit/scoped.h: the handle owner, the guard over both kinds
// of lock, and process-wide state.
#include "toolkit/scoped.h"

#include "support/waiting.h"
#include "support/worker.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <utility>

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

bool IsOpen(HANDLE h) {
    DWORD flags = 0;
    return GetHandleInformation(h, &flags) != FALSE;
}

HANDLE NewEvent() { return CreateEventW(nullptr, TRUE, FALSE, nullptr); }

TEST(UniqueHandle, ClosesItsHandleWhenResetOrDestroyed) {
    const HANDLE first = NewEvent();
    const HANDLE second = NewEvent();
    ASSERT_TRUE(first && second);
    {
        UniqueHandle owner(first);
        EXPECT_TRUE(owner);
        EXPECT_EQ(owner.get(), first);
        owner.reset(second);
        EXPECT_FALSE(IsOpen(first));
        EXPECT_TRUE(IsOpen(second));
        EXPECT_EQ(owner.get(), second);
    }
    EXPECT_FALSE(IsOpen(second));
}

TEST(UniqueHandle, MovingHandsTheHandleOverAndReleaseGivesItUpOpen) {
    const HANDLE event = NewEvent();
    const HANDLE other = NewEvent();
    ASSERT_TRUE(event && other);
    UniqueHandle source(event);
    UniqueHandle target(std::move(source));
    EXPECT_FALSE(source);
    EXPECT_EQ(source.get(), nullptr);
    EXPECT_EQ(target.get(), event);

    UniqueHandle assigned(other);
    assigned = std::move(target);
    EXPECT_FALSE(IsOpen(other)) << "the handle it held is closed";
    EXPECT_FALSE(target);
    EXPECT_EQ(assigned.get(), event);

    const HANDLE released = assigned.release();
    EXPECT_EQ(released, event);
    EXPECT_FALSE(assigned);
    assigned.reset();
    EXPECT_TRUE(IsOpen(event)) << "released, so not closed by its former owner";
    CloseHandle(event);
}

TEST(UniqueFile, InvalidHandleValueMeansNone) {
    UniqueFile file;
    EXPECT_FALSE(file);
    EXPECT_EQ(file.get(), INVALID_HANDLE_VALUE);
    const HANDLE event = NewEvent();
    ASSERT_TRUE(event);
    file.reset(event);
    EXPECT_TRUE(file);
    file.reset();
    EXPECT_FALSE(IsOpen(event));
    EXPECT_EQ(file.get(), INVALID_HANDLE_VALUE);
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
