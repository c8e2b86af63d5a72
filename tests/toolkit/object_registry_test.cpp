#include "toolkit/object_registry.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

using toolkit::ObjectRegistry;

struct Record {
    void* handle;  // null: absent
    int64_t value;
    int64_t other;
};

// The release operation has no context argument: the registry under test and
// what the operation saw are kept here.
ObjectRegistry* g_registry = nullptr;
std::vector<int64_t> g_released;
std::vector<int64_t> g_valueSeenOnRelease;

void RecordingRelease(int64_t number) noexcept {
    g_released.push_back(number);
    auto* record = static_cast<Record*>(g_registry->Find(number));
    g_valueSeenOnRelease.push_back(record ? record->value : -1);
    // Owners clear their record from inside the release operation, as the
    // window clean-up does; the registry lock must allow that re-entry.
    g_registry->Release(number);
}

class ObjectRegistryTest : public ::testing::Test {
protected:
    ObjectRegistryTest() : registry_(sizeof(Record), 16, RecordingRelease) {
        g_registry = &registry_;
        g_released.clear();
        g_valueSeenOnRelease.clear();
    }
    ~ObjectRegistryTest() override { g_registry = nullptr; }

    Record* Make(int64_t number, int64_t value) {
        auto* record = static_cast<Record*>(registry_.Create(number));
        if (record) {
            record->handle = reinterpret_cast<void*>(0x1000 + number);
            record->value = value;
            record->other = value * 2;
        }
        return record;
    }

    ObjectRegistry registry_;
};

TEST_F(ObjectRegistryTest, StartsWithStepSlotsAndGrowsToNumberPlusStep) {
    EXPECT_EQ(registry_.SlotCount(), 16);
    ASSERT_NE(Make(15, 1), nullptr);
    EXPECT_EQ(registry_.SlotCount(), 16) << "number 15 fits the first 16 slots";
    ASSERT_NE(Make(16, 2), nullptr);
    EXPECT_EQ(registry_.SlotCount(), 32);
    ASSERT_NE(Make(60, 3), nullptr);
    EXPECT_EQ(registry_.SlotCount(), 76);
    for (int64_t n = 17; n < 60; ++n) EXPECT_EQ(registry_.Find(n), nullptr) << n;
    // Records made before the growth survive it.
    ASSERT_NE(registry_.Find(15), nullptr);
    EXPECT_EQ(static_cast<Record*>(registry_.Find(15))->value, 1);
    EXPECT_EQ(static_cast<Record*>(registry_.Find(16))->value, 2);
    EXPECT_EQ(static_cast<Record*>(registry_.Find(60))->value, 3);
}

TEST_F(ObjectRegistryTest, AbsentNumbersYieldNull) {
    ASSERT_NE(Make(2, 5), nullptr);
    EXPECT_EQ(registry_.Find(-1), nullptr);
    EXPECT_EQ(registry_.Find(1), nullptr);
    EXPECT_EQ(registry_.Find(16), nullptr);
    EXPECT_EQ(registry_.Find(1000000), nullptr);
    EXPECT_EQ(registry_.Create(-1), nullptr);
    EXPECT_EQ(registry_.SlotCount(), 16) << "lookups never grow the table";
    // A new record is zero-filled, and one whose handle is null counts as absent.
    auto* record = static_cast<Record*>(registry_.Create(3));
    ASSERT_NE(record, nullptr);
    const Record zero{};
    EXPECT_EQ(std::memcmp(record, &zero, sizeof(Record)), 0);
    EXPECT_EQ(registry_.Find(3), nullptr);
}

TEST_F(ObjectRegistryTest, CreatingLiveNumberReleasesItFirstAndReusesZeroedMemory) {
    Record* first = Make(4, 77);
    ASSERT_NE(first, nullptr);
    auto* second = static_cast<Record*>(registry_.Create(4));
    ASSERT_EQ(g_released, std::vector<int64_t>{4});
    EXPECT_EQ(g_valueSeenOnRelease, std::vector<int64_t>{77}) << "the release operation sees the old record";
    EXPECT_EQ(second, first) << "the record memory is reused";
    EXPECT_EQ(second->handle, nullptr);
    EXPECT_EQ(second->value, 0);
    EXPECT_EQ(second->other, 0);
}

TEST_F(ObjectRegistryTest, CreatingNumberWithClearedRecordDoesNotReleaseAndReusesIt) {
    Record* first = Make(5, 9);
    registry_.Release(5);
    EXPECT_EQ(registry_.Find(5), nullptr);
    EXPECT_EQ(first->value, 0) << "release clears the whole record";
    Record* again = Make(5, 10);
    EXPECT_TRUE(g_released.empty());
    EXPECT_EQ(again, first);
    EXPECT_EQ(static_cast<Record*>(registry_.Find(5))->value, 10);
}

TEST_F(ObjectRegistryTest, ReleaseAllReleasesLiveNumbersInAscendingOrder) {
    ASSERT_NE(Make(40, 1), nullptr);
    ASSERT_NE(Make(3, 2), nullptr);
    ASSERT_NE(Make(0, 3), nullptr);
    ASSERT_NE(Make(17, 4), nullptr);
    ASSERT_NE(registry_.Create(8), nullptr);  // created but never given a handle
    registry_.ReleaseAll();
    EXPECT_EQ(g_released, (std::vector<int64_t>{0, 3, 17, 40}));
    for (int64_t n : {0, 3, 17, 40}) EXPECT_EQ(registry_.Find(n), nullptr) << n;
}

}  // namespace
