#pragma once
// Small owners for Win32 resources: a move-only handle wrapper whose traits
// say which value means "none", a critical section, one scoped guard for it
// and for slim reader/writer locks (std::mutex depends on the MinGW thread
// model; these do not), and process-wide state that is never destroyed.
// Nothing here needs more than the platform's headers, so every folder may
// use it.

#include <windows.h>

#include <new>
#include <utility>

namespace toolkit {

template <class Traits>
class Unique {
    typename Traits::Type h_ = Traits::None();

public:
    Unique() = default;
    explicit Unique(typename Traits::Type h) noexcept : h_(h) {}
    Unique(Unique&& o) noexcept : h_(o.release()) {}
    Unique& operator=(Unique&& o) noexcept {
        reset(o.release());
        return *this;
    }
    Unique(const Unique&) = delete;
    Unique& operator=(const Unique&) = delete;
    ~Unique() { reset(); }

    void reset(typename Traits::Type h = Traits::None()) noexcept {
        if (h_ != Traits::None()) Traits::Close(h_);
        h_ = h;
    }
    [[nodiscard]] typename Traits::Type release() noexcept { return std::exchange(h_, Traits::None()); }
    [[nodiscard]] typename Traits::Type get() const noexcept { return h_; }
    typename Traits::Type* put() noexcept {
        reset();
        return &h_;
    }
    explicit operator bool() const noexcept { return h_ != Traits::None(); }
};

// Processes, threads, pipes and events: null means none.
struct KernelHandleTraits {
    using Type = HANDLE;
    static Type None() noexcept { return nullptr; }
    static void Close(Type h) noexcept { CloseHandle(h); }
};
using UniqueHandle = Unique<KernelHandleTraits>;

// Files opened with CreateFileW: INVALID_HANDLE_VALUE means none.
struct FileHandleTraits {
    using Type = HANDLE;
    static Type None() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(Type h) noexcept { CloseHandle(h); }
};
using UniqueFile = Unique<FileHandleTraits>;

// Libraries loaded for a lookup and let go of afterwards.
struct ModuleTraits {
    using Type = HMODULE;
    static Type None() noexcept { return nullptr; }
    static void Close(Type h) noexcept { (void)FreeLibrary(h); }  // the process keeps its own references
};
using UniqueModule = Unique<ModuleTraits>;

class CriticalSection {
    CRITICAL_SECTION cs_;

public:
    CriticalSection() noexcept { InitializeCriticalSection(&cs_); }
    ~CriticalSection() { DeleteCriticalSection(&cs_); }
    CriticalSection(const CriticalSection&) = delete;
    CriticalSection& operator=(const CriticalSection&) = delete;
    void Enter() noexcept { EnterCriticalSection(&cs_); }
    void Leave() noexcept { LeaveCriticalSection(&cs_); }
};

// How a guard takes and gives back each kind of lock. A slim reader/writer
// lock is taken exclusively; the lock stays a plain SRWLOCK so that it can
// also be handed to SleepConditionVariableSRW.
template <class Lock>
struct LockTraits;

template <>
struct LockTraits<CriticalSection> {
    static void Enter(CriticalSection& lock) noexcept { lock.Enter(); }
    static void Leave(CriticalSection& lock) noexcept { lock.Leave(); }
};

template <>
struct LockTraits<SRWLOCK> {
    static void Enter(SRWLOCK& lock) noexcept { AcquireSRWLockExclusive(&lock); }
    static void Leave(SRWLOCK& lock) noexcept { ReleaseSRWLockExclusive(&lock); }
};

// Holds a lock for its scope: `Guard guard(lock);` for either kind.
template <class Lock>
class Guard {
    Lock& lock_;

public:
    explicit Guard(Lock& lock) noexcept : lock_(lock) { LockTraits<Lock>::Enter(lock_); }
    ~Guard() { LockTraits<Lock>::Leave(lock_); }
    Guard(const Guard&) = delete;
    Guard& operator=(const Guard&) = delete;
};

// One process-wide object of type T, built on first use (not by a static
// constructor) and never destroyed: worker threads may still be using it
// while the process exits.
template <class T>
T& ProcessWide() noexcept {
    alignas(T) static unsigned char storage[sizeof(T)];
    static T* const object = new (storage) T();
    return *object;
}

}  // namespace toolkit
