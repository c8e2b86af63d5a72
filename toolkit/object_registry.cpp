#include "toolkit/object_registry.h"

#include "toolkit/toolkit_heap.h"

#include <cstring>

namespace toolkit {

namespace {

// A record counts as live while its first field (the platform handle) is set.
bool IsLive(const void* record) noexcept { return record && *static_cast<void* const*>(record) != nullptr; }

}  // namespace

ObjectRegistry::ObjectRegistry(size_t recordSize, int64_t step, ReleaseOperation release) noexcept
    // Every record starts with its handle, so it is at least one pointer long.
    : recordSize_(recordSize < sizeof(void*) ? sizeof(void*) : recordSize),
      step_(step < 1 ? 1 : step),
      release_(release) {
    slots_ = static_cast<void**>(HeapAlloc(ToolkitHeap(), HEAP_ZERO_MEMORY, static_cast<size_t>(step_) * sizeof(void*)));
    if (slots_) slotCount_ = step_;
}

ObjectRegistry::~ObjectRegistry() {
    for (int64_t i = 0; i < slotCount_; ++i) {
        if (slots_[i]) HeapFree(ToolkitHeap(), 0, slots_[i]);
    }
    if (slots_) HeapFree(ToolkitHeap(), 0, slots_);
}

void* ObjectRegistry::Create(int64_t number) noexcept {
    if (number < 0) return nullptr;
    Guard guard(lock_);
    if (number >= slotCount_) {
        // Grow to number + step; the new slots are empty.
        constexpr int64_t maxSlots = INT64_MAX / static_cast<int64_t>(sizeof(void*));
        if (number > maxSlots - step_) return nullptr;
        const int64_t newCount = number + step_;
        const size_t bytes = static_cast<size_t>(newCount) * sizeof(void*);
        void* grown = slots_ ? HeapReAlloc(ToolkitHeap(), HEAP_ZERO_MEMORY, slots_, bytes)
                             : HeapAlloc(ToolkitHeap(), HEAP_ZERO_MEMORY, bytes);
        if (!grown) return nullptr;
        slots_ = static_cast<void**>(grown);
        slotCount_ = newCount;
    }
    if (void* record = slots_[number]) {
        // A number in use is released first (its owner destroys the object,
        // which normally clears the record itself); the memory is reused.
        if (IsLive(record) && release_) release_(number);
        std::memset(record, 0, recordSize_);
        return record;
    }
    void* record = HeapAlloc(ToolkitHeap(), HEAP_ZERO_MEMORY, recordSize_);
    slots_[number] = record;
    return record;
}

void* ObjectRegistry::Find(int64_t number) noexcept {
    Guard guard(lock_);
    if (number < 0 || number >= slotCount_) return nullptr;
    void* record = slots_[number];
    return IsLive(record) ? record : nullptr;
}

void ObjectRegistry::Release(int64_t number) noexcept {
    Guard guard(lock_);
    if (number < 0 || number >= slotCount_) return;
    if (void* record = slots_[number]) std::memset(record, 0, recordSize_);
}

void ObjectRegistry::ReleaseAll() noexcept {
    Guard guard(lock_);
    // The release operation may re-enter the registry (and even grow it), so
    // the count and the slot array are read afresh on every step.
    for (int64_t i = 0; i < slotCount_; ++i) {
        if (IsLive(slots_[i]) && release_) release_(i);
    }
}

int64_t ObjectRegistry::SlotCount() noexcept {
    Guard guard(lock_);
    return slotCount_;
}

}  // namespace toolkit
