#pragma once
// The hand-over of shell output from the pump threads to the main thread.
// A pump appends its text to one buffer under a short lock and, when no
// wake-up is pending, posts one message to a hidden window of the main
// thread; the main thread appends what is pending to the transcript in as
// few replaces as it can, at the pace TranscriptPace sets. As each piece
// goes in, its lines go on to the line beeper, so a line's road runs one
// way: pump, feed, transcript, beep. A pump never waits on a window
// message, so a busy main thread cannot deadlock it, and a burst of lines
// costs one message, not thousands.

#include "app/line_beeper.h"
#include "app/stream_lines.h"
#include "app/transcript_pace.h"

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>

namespace app {

class TranscriptFeed {
public:
    // `beeper` hears of the lines of every piece as it is shown (null: no
    // line beeps).
    explicit TranscriptFeed(LineBeeper* beeper = nullptr) noexcept;
    TranscriptFeed(const TranscriptFeed&) = delete;
    TranscriptFeed& operator=(const TranscriptFeed&) = delete;

    // Main thread: names the edit control the text goes to and makes the
    // hidden window that receives the wake-ups, as a child of `wakeParent`
    // (message-only by default). Without a transcript nothing is shown and
    // every piece counts as shown at once, so no pump waits for it. Without
    // the wake window (it could not be made) the text waits for Poll.
    // Returns whether the wake window was made.
    bool Attach(HWND transcript, HWND wakeParent = HWND_MESSAGE) noexcept;
    // Any thread: queues text for the transcript, holding `lines` lines of
    // `stream` that beep once it is shown; returns its ticket.
    uint64_t Hand(std::wstring_view text, StreamKind stream = StreamKind::Output, size_t lines = 0);
    // Any thread: whether the text of `ticket` is in the transcript; never
    // waits. After Close nothing more is shown.
    bool IsShown(uint64_t ticket) noexcept;
    // Any thread: waits until the text of `ticket` is in the transcript, or
    // the feed is closed. False when closed.
    bool WaitShown(uint64_t ticket) noexcept;
    // Any thread: characters handed over and not yet in the transcript.
    size_t UnshownChars() noexcept;
    // Main thread: appends one part of the pending text now, or paints the
    // transcript when a paint held back is due; asks for another turn when
    // more is left. The main thread answers its other messages between
    // turns, so a flood never holds the window for long.
    void Deliver() noexcept;
    // Main thread, on every pass of its loop: delivers what waits when no
    // turn is on its way (there is no wake window, or a wake-up could not be
    // posted), and paints once the flood is quiet when no timer will.
    void Poll() noexcept;
    // Main thread: how appends and paints are paced (tests make parts small
    // and paints rare).
    void ConfigurePace(const TranscriptPace::Settings& settings) noexcept { pace_.Configure(settings); }
    // Main thread, at shutdown: nothing more reaches the transcript and every
    // waiting pump is released. Safe to call twice.
    void Close() noexcept;

private:
    struct Mark {
        uint64_t ticket;
        size_t end;  // where the ticket's text ends in its buffer
        StreamKind stream;
        size_t lines;  // beeped once the text is shown
    };
    // The part of the batch one turn appends.
    struct Part {
        HWND transcript;
        HWND wake;
        size_t from;
        size_t end;
    };
    // How the main thread's next turn comes, if one is on its way.
    enum class NextTurn { None, Posted, Timed };

    static LRESULT CALLBACK WakeProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    void RequestWakeLocked() noexcept;
    void ContinueLocked() noexcept;
    [[nodiscard]] bool TakePartLocked(Part& part) noexcept;
    void JoinPendingLocked() noexcept;
    [[nodiscard]] bool MarkShownLocked(size_t end) noexcept;
    void ShowLocked(const Mark& mark) noexcept;
    void AfterAppend(const Part& part, bool more) noexcept;
    [[nodiscard]] bool TextWaitsLocked() const noexcept { return !pending_.empty() || batchAt_ < batch_.size(); }
    void Quiet() noexcept;

    SRWLOCK lock_ = SRWLOCK_INIT;
    CONDITION_VARIABLE shownChanged_ = CONDITION_VARIABLE_INIT;
    std::wstring pending_;          // handed over, not yet taken by the main thread
    std::deque<Mark> pendingMarks_;
    std::wstring batch_;            // taken by the main thread, appended from batchAt_ on
    std::deque<Mark> batchMarks_;
    size_t batchAt_ = 0;
    uint64_t handed_ = 0;  // ticket of the newest text handed over
    uint64_t shown_ = 0;   // tickets up to here are in the transcript
    // A wake-up posted or the continue timer set: one turn at a time, and
    // none is asked for while one is on its way.
    NextTurn nextTurn_ = NextTurn::None;
    // The flood's quiet could not be timed (SetTimer failed): Poll watches
    // for it instead.
    bool quietByPoll_ = false;
    bool closed_ = false;
    bool noTranscript_ = false;
    HWND wakeWindow_ = nullptr;
    HWND transcript_ = nullptr;
    LineBeeper* const beeper_;  // told of each piece's lines under the lock, so before any waiter learns
    TranscriptPace pace_;       // main thread only
};

}  // namespace app
