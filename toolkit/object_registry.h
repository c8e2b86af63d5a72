#pragma once
// The table behind every numbered object (windows, controls): slots of
// zero-filled records indexed by number, grown in steps, records reused.

#include "toolkit/scoped.h"

#include <cstddef>
#include <cstdint>

namespace toolkit {

class ObjectRegistry {
public:
    using ReleaseOperation = void (*)(int64_t number);

    // `step` is both the initial number of slots and the growth step.
    ObjectRegistry(size_t recordSize, int64_t step, ReleaseOperation release) noexcept;
    ~ObjectRegistry();
    ObjectRegistry(const ObjectRegistry&) = delete;
    ObjectRegistry& operator=(const ObjectRegistry&) = delete;

    // The zero-filled record for `number`. A number at or beyond the end grows
    // the table to number + step; a live number is released first (through
    // the release operation) and its record memory reused. Null on failure.
    [[nodiscard]] void* Create(int64_t number) noexcept;
    // The live record of `number`, or null (empty slot, null first field,
    // negative number, or beyond the end).
    [[nodiscard]] void* Find(int64_t number) noexcept;
    // Clears the record to zeros; the memory is kept for reuse.
    void Release(int64_t number) noexcept;
    // Calls the release operation for every live number, ascending.
    void ReleaseAll() noexcept;
    [[nodiscard]] int64_t SlotCount() noexcept;
    // The registry's own lock (re-entrant), for callers that must hold it
    // across a lookup and a change.
    CriticalSection& Lock() noexcept { return lock_; }

private:
    CriticalSection lock_;
    size_t recordSize_;
    int64_t step_;
    ReleaseOperation release_;
    int64_t slotCount_ = 0;
    void** slots_ = nullptr;
};

}  // namespace toolkit
