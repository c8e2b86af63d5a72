#include "app/transcript_feed.h"

#include "app/transcript_view.h"
#include "toolkit/scoped.h"

namespace app {
namespace {

constexpr UINT WakeMessage = WM_APP + 1;
// The wake window's timers: the next turn of a flood, when input or a paint
// waits (a posted wake-up would come before them); and the end of a flood.
constexpr UINT_PTR ContinueTimer = 1;
constexpr UINT_PTR QuietTimer = 2;
constexpr wchar_t WakeClass[] = L"WslConsoleTranscriptFeed";
// How often a waiting pump asks again for a wake-up that could not be posted.
constexpr DWORD RetryWakeMs = 50;

// Where the part of `text` appended next, from `from` on, ends: everything
// when it is small enough, else at the start of a piece ("\r\n"), and never
// inside a line end or a surrogate pair.
size_t PartEnd(const std::wstring& text, size_t from, size_t limit) noexcept {
    if (text.size() - from <= limit) return text.size();
    const size_t piece = text.rfind(L"\r\n", from + limit);
    if (piece != std::wstring::npos && piece > from) return piece;
    size_t end = from + limit;
    if (IS_HIGH_SURROGATE(text[end - 1]) || (text[end - 1] == L'\r' && text[end] == L'\n')) --end;
    return end;
}

}  // namespace

TranscriptFeed::TranscriptFeed(LineBeeper* beeper) noexcept : beeper_(beeper) {}

bool TranscriptFeed::Attach(HWND transcript, HWND wakeParent) noexcept {
    if (!transcript) {
        // Nothing to show the text in: what is handed over counts as shown.
        {
            toolkit::Guard guard(lock_);
            noTranscript_ = true;
            for (const Mark& mark : pendingMarks_) ShowLocked(mark);
            pending_.clear();
            pendingMarks_.clear();
        }
        WakeAllConditionVariable(&shownChanged_);
        return false;
    }
    WNDCLASSW wc{};
    wc.lpfnWndProc = WakeProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = WakeClass;
    (void)RegisterClassW(&wc);  // already registered by an earlier feed: reused
    HWND window = CreateWindowExW(0, WakeClass, L"", wakeParent == HWND_MESSAGE ? 0 : WS_CHILD, 0, 0, 0, 0,
                                  wakeParent, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (window) SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    toolkit::Guard guard(lock_);
    wakeWindow_ = window;
    transcript_ = transcript;
    if (!pending_.empty()) RequestWakeLocked();
    return window != nullptr;
}

void TranscriptFeed::RequestWakeLocked() noexcept {
    // One wake-up serves every piece handed over before the main thread gets
    // to it. If posting fails, Poll delivers on the loop's next pass, and a
    // waiting pump asks again.
    if (nextTurn_ == NextTurn::None && wakeWindow_ && PostMessageW(wakeWindow_, WakeMessage, 0, 0))
        nextTurn_ = NextTurn::Posted;
}

// The piece's text is in the transcript: its ticket counts as shown and its
// lines go to the beeper. Under the lock, so the beeps are due before a
// waiting pump can report the shell's end after them.
void TranscriptFeed::ShowLocked(const Mark& mark) noexcept {
    shown_ = mark.ticket;
    if (beeper_) beeper_->Shown(mark.stream, mark.lines);
}

uint64_t TranscriptFeed::Hand(std::wstring_view text, StreamKind stream, size_t lines) {
    toolkit::Guard guard(lock_);
    if (closed_) return handed_;
    ++handed_;
    if (noTranscript_) {
        ShowLocked({handed_, 0, stream, lines});
        return handed_;
    }
    pending_.append(text);
    pendingMarks_.push_back({handed_, pending_.size(), stream, lines});
    RequestWakeLocked();
    return handed_;
}

bool TranscriptFeed::IsShown(uint64_t ticket) noexcept {
    toolkit::Guard guard(lock_);
    return shown_ >= ticket;
}

bool TranscriptFeed::WaitShown(uint64_t ticket) noexcept {
    toolkit::Guard guard(lock_);
    while (!closed_ && shown_ < ticket) {
        if (!SleepConditionVariableSRW(&shownChanged_, &lock_, RetryWakeMs, 0)) RequestWakeLocked();
    }
    return !closed_;
}

size_t TranscriptFeed::UnshownChars() noexcept {
    toolkit::Guard guard(lock_);
    return pending_.size() + (batch_.size() - batchAt_);
}

void TranscriptFeed::ContinueLocked() noexcept {
    // Main thread. A posted message comes before input and paint messages,
    // so a flood that always had a wake-up posted would hold back the
    // user's keys and every other window's paint until it ended; when any
    // of them waits, the next turn comes by a timer, after them (by a post
    // if the timer cannot be set).
    if (nextTurn_ != NextTurn::None || !wakeWindow_) return;
    if (HIWORD(GetQueueStatus(QS_INPUT | QS_PAINT)) != 0 &&
        SetTimer(wakeWindow_, ContinueTimer, USER_TIMER_MINIMUM, nullptr) != 0) {
        nextTurn_ = NextTurn::Timed;
        return;
    }
    RequestWakeLocked();
}

// What was handed over since the batch was taken joins what is left of it.
void TranscriptFeed::JoinPendingLocked() noexcept {
    batch_.erase(0, batchAt_);
    for (Mark& mark : batchMarks_) mark.end -= batchAt_;
    for (Mark mark : pendingMarks_) {
        mark.end += batch_.size();
        batchMarks_.push_back(mark);
    }
    batch_ += pending_;
    pending_.clear();
    pendingMarks_.clear();
    batchAt_ = 0;
}

// Takes the next part to append: a new batch once the last is in, or the
// rest of this one, joined by what came since when it is less than a part
// (each append costs a walk over the whole transcript, so no append is
// short only because the pump handed its text over in two goes).
bool TranscriptFeed::TakePartLocked(Part& part) noexcept {
    if (batchAt_ == batch_.size()) {
        batch_.clear();
        batch_.swap(pending_);
        batchMarks_.swap(pendingMarks_);
        pendingMarks_.clear();
        batchAt_ = 0;
    } else if (!pending_.empty() && batch_.size() - batchAt_ < pace_.PartChars()) {
        JoinPendingLocked();
    }
    if (batch_.empty()) return false;
    part = {transcript_, wakeWindow_, batchAt_, PartEnd(batch_, batchAt_, pace_.PartChars())};
    return true;
}

// The batch is in up to `end`: the pieces that ended there are shown.
// Returns whether text is left; a flood's buffer is not kept for the quiet
// after it.
bool TranscriptFeed::MarkShownLocked(size_t end) noexcept {
    batchAt_ = end;
    while (!batchMarks_.empty() && batchMarks_.front().end <= end) {
        ShowLocked(batchMarks_.front());
        batchMarks_.pop_front();
    }
    const bool more = TextWaitsLocked();
    if (!more && batch_.capacity() > pace_.Current().minPartChars) {
        batch_ = std::wstring();
        batchAt_ = 0;
    }
    return more;
}

// One turn of the main thread: the paint held back, when it is due, or else
// the next part.
void TranscriptFeed::Deliver() noexcept {
    Part part{};
    {
        toolkit::Guard guard(lock_);
        nextTurn_ = NextTurn::None;  // this is the turn that was on its way
        if (closed_ || !TakePartLocked(part)) return;
    }
    if (pace_.PaintDue()) {
        // The paint takes this turn, the next part the next one: the window
        // answers between them.
        pace_.PaintNow(part.transcript);
        toolkit::Guard guard(lock_);
        if (!closed_) ContinueLocked();
        return;
    }
    pace_.BeforeAppend(part.transcript);
    // batch_ changes only on this thread, so it is read without the lock.
    AppendToTranscript(part.transcript, std::wstring_view(batch_).substr(part.from, part.end - part.from));
    bool more = false;
    {
        toolkit::Guard guard(lock_);
        if (closed_) return;
        more = MarkShownLocked(part.end);
    }
    WakeAllConditionVariable(&shownChanged_);
    AfterAppend(part, more);
}

// The append's paint, as the pace decides it, and the next turn.
void TranscriptFeed::AfterAppend(const Part& part, bool more) noexcept {
    // Text may be on its way still (a pump waits at its bound until this
    // part is shown): the flood counts as over once none came for a while.
    if (pace_.AfterAppend(part.transcript, part.end - part.from, more)) {
        const bool timed = part.wake && SetTimer(part.wake, QuietTimer, pace_.Current().quietMs, nullptr) != 0;
        toolkit::Guard guard(lock_);
        quietByPoll_ = !timed;
    }
    // Once the append's own paint is held back, so that only others' paints
    // and input decide how the next turn comes.
    toolkit::Guard guard(lock_);
    if (more && !closed_) ContinueLocked();
}

void TranscriptFeed::Quiet() noexcept {
    HWND transcript = nullptr;
    {
        toolkit::Guard guard(lock_);
        // Text came meanwhile: its turn follows, and the flood goes on.
        if (closed_ || TextWaitsLocked()) return;
        quietByPoll_ = false;
        transcript = transcript_;
    }
    pace_.Quiet(transcript);
}

void TranscriptFeed::Poll() noexcept {
    bool deliver = false;
    bool watchQuiet = false;
    {
        toolkit::Guard guard(lock_);
        if (!transcript_) return;
        deliver = nextTurn_ == NextTurn::None && TextWaitsLocked();
        watchQuiet = quietByPoll_;
    }
    if (deliver) {
        Deliver();
    } else if (watchQuiet && pace_.QuietDue()) {
        Quiet();
    }
}

void TranscriptFeed::Close() noexcept {
    HWND window = nullptr;
    {
        toolkit::Guard guard(lock_);
        closed_ = true;
        pending_.clear();
        pendingMarks_.clear();
        batch_.clear();
        batchMarks_.clear();
        batchAt_ = 0;
        window = wakeWindow_;
        wakeWindow_ = nullptr;
        transcript_ = nullptr;
    }
    WakeAllConditionVariable(&shownChanged_);
    if (window) DestroyWindow(window);
}

LRESULT CALLBACK TranscriptFeed::WakeProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    auto* feed = reinterpret_cast<TranscriptFeed*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (message == WakeMessage) {
        if (feed) feed->Deliver();
        return 0;
    }
    if (message == WM_TIMER && (wParam == ContinueTimer || wParam == QuietTimer)) {
        KillTimer(window, wParam);
        if (feed && wParam == ContinueTimer) feed->Deliver();
        if (feed && wParam == QuietTimer) feed->Quiet();
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace app
