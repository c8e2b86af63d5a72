#pragma once
// Small owners for Win32 resources: a move-only handle wrapper whose traits
// say which value means "none", and a critical section with a scoped guard
// (std::mutex depends on the MinGW thread model; this does not).

#include <windows.h>

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

// Files and sockets opened with CreateFile-like calls: INVALID_HANDLE_VALUE means none.
struct FileHandleTraits {
    using Type = HANDLE;
    static Type None() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(Type h) noexcept { CloseHandle(h); }
};
using UniqueFile = Unique<FileHandleTraits>;

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

class Guard {
    CriticalSection& cs_;

public:
    explicit Guard(CriticalSection& cs) noexcept : cs_(cs) { cs_.Enter(); }
    ~Guard() { cs_.Leave(); }
    Guard(const Guard&) = delete;
    Guard& operator=(const Guard&) = delete;
};

}  // namespace toolkit
