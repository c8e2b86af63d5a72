#include "app/transcript_feed.h"

#include "app/transcript_view.h"

namespace app {
namespace {

constexpr UINT WakeMessage = WM_APP + 1;
constexpr wchar_t WakeClass[] = L"WslConsoleTranscriptFeed";

class ExclusiveLock {
    SRWLOCK& lock_;

public:
    explicit ExclusiveLock(SRWLOCK& lock) noexcept : lock_(lock) { AcquireSRWLockExclusive(&lock_); }
    ~ExclusiveLock() { ReleaseSRWLockExclusive(&lock_); }
    ExclusiveLock(const ExclusiveLock&) = delete;
    ExclusiveLock& operator=(const ExclusiveLock&) = delete;
};

}  // namespace

TranscriptFeed::TranscriptFeed() noexcept = default;

bool TranscriptFeed::Attach(HWND transcript) noexcept {
    WNDCLASSW wc{};
    wc.lpfnWndProc = WakeProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = WakeClass;
    (void)RegisterClassW(&wc);  // already registered by an earlier feed: reused
    HWND window = CreateWindowExW(0, WakeClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
    if (!window) return false;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    ExclusiveLock guard(lock_);
    wakeWindow_ = window;
    transcript_ = transcript;
    if (!pending_.empty() && !wakePending_) wakePending_ = PostMessageW(wakeWindow_, WakeMessage, 0, 0) != FALSE;
    return true;
}

uint64_t TranscriptFeed::Hand(std::wstring_view text) {
    ExclusiveLock guard(lock_);
    if (closed_) return handed_;
    pending_.append(text);
    ++handed_;
    // One wake-up serves every piece handed over before the main thread
    // gets to it. If posting fails, the next piece tries again.
    if (!wakePending_ && wakeWindow_) wakePending_ = PostMessageW(wakeWindow_, WakeMessage, 0, 0) != FALSE;
    return handed_;
}

bool TranscriptFeed::WaitShown(uint64_t ticket) noexcept {
    ExclusiveLock guard(lock_);
    while (!closed_ && shown_ < ticket) SleepConditionVariableSRW(&shownChanged_, &lock_, INFINITE, 0);
    return !closed_;
}

void TranscriptFeed::Deliver() noexcept {
    std::wstring batch;
    uint64_t upTo = 0;
    HWND transcript = nullptr;
    {
        ExclusiveLock guard(lock_);
        wakePending_ = false;
        if (closed_) return;
        batch.swap(pending_);
        upTo = handed_;
        transcript = transcript_;
    }
    if (!batch.empty()) AppendToTranscript(transcript, batch);
    {
        ExclusiveLock guard(lock_);
        if (upTo > shown_) shown_ = upTo;
    }
    WakeAllConditionVariable(&shownChanged_);
}

void TranscriptFeed::Close() noexcept {
    HWND window = nullptr;
    {
        ExclusiveLock guard(lock_);
        closed_ = true;
        pending_.clear();
        window = wakeWindow_;
        wakeWindow_ = nullptr;
        transcript_ = nullptr;
    }
    WakeAllConditionVariable(&shownChanged_);
    if (window) DestroyWindow(window);
}

LRESULT CALLBACK TranscriptFeed::WakeProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    if (message == WakeMessage) {
        if (auto* feed = reinterpret_cast<TranscriptFeed*>(GetWindowLongPtrW(window, GWLP_USERDATA))) feed->Deliver();
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

TranscriptFeed& ConsoleFeed() noexcept {
    static TranscriptFeed* const feed = new TranscriptFeed;
    return *feed;
}

}  // namespace app
