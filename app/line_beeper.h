#pragma once
// The beeps of the lines shown and of the shell's end, played on a thread of
// their own.
//
// On Windows Beep does not return until its tone has ended (and each call
// also opens the beep device), so a pump that beeped for its own lines would
// read at the pace of its beeps, and the shell behind it would wait on a
// full pipe. The pumps only say "n lines of this stream are shown"; this
// thread plays one beep per line, in the order the lines were shown, while
// it keeps up. It never falls further behind the transcript than
// MaxBeepLagMs, reckoned in the time its own Beep calls take (it times
// them: a call may take longer than its tone); beyond that the oldest due
// beeps are dropped, so a flood sounds as a run of clicks that stops soon
// after its last line.
//
// When Windows shows sounds as flashes for people who cannot hear them,
// every beep may flash the window; line beeps then come at most three a
// second, each standing for all the lines shown since the one before, since
// faster flashing can cause seizures.

#include "app/console_numbers.h"
#include "app/stream_lines.h"
#include "toolkit/scoped.h"

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <deque>

namespace app {

// How far the beeps may fall behind the lines they stand for.
inline constexpr double MaxBeepLagMs = 250;
// With sounds shown as flashes: the least time between two beeps, so at most
// three flashes a second.
inline constexpr double FlashGapMs = 1000.0 / 3;
// How often the flash setting is asked again, so a change is followed
// within a second.
inline constexpr double FlashQueryEveryMs = 1000;

// Whether Windows shows sounds as flashes (SoundSentry on).
using FlashQuery = bool (*)() noexcept;
[[nodiscard]] bool SoundsShownAsFlashes() noexcept;

class LineBeeper {
public:
    LineBeeper() noexcept = default;
    LineBeeper(const LineBeeper&) = delete;
    LineBeeper& operator=(const LineBeeper&) = delete;
    // Stops the thread, if one runs; the console's lives as long as the process.
    ~LineBeeper() { Stop(); }

    // Starts the beeping thread; false if it could not be started (then line
    // beeps are not played, and End plays the end beep on the caller).
    bool Start(FlashQuery flashes = &SoundsShownAsFlashes) noexcept;
    // Any thread, never waits: `lines` lines of `stream` are now shown.
    void Shown(StreamKind stream, size_t lines) noexcept;
    // The shell's end: its beep follows the line beeps still due and is
    // never dropped. Waits until it has sounded, at most `waitMs` (a beep
    // device that hangs must not hold the status line back for ever).
    void End(DWORD waitMs = 2000) noexcept;
    // Ends the thread and waits for it; what is still due is not played.
    void Stop() noexcept;
    // The beeping thread's id, 0 before Start.
    [[nodiscard]] DWORD ThreadId() const noexcept { return threadId_; }

private:
    struct Due {
        StreamKind stream;
        size_t lines;
    };
    // What the thread plays next.
    enum class Next { Nothing, Line, End, Quit };

    static DWORD WINAPI Run(void* self) noexcept;
    void Loop() noexcept;
    Next TakeLocked(StreamKind& stream, double now, DWORD& waitMs) noexcept;
    void TrimLocked(double now) noexcept;
    [[nodiscard]] double BacklogMsLocked(double now) const noexcept;
    [[nodiscard]] double CostMs(StreamKind stream) const noexcept;
    void RefreshFlashes(double now) noexcept;

    SRWLOCK lock_ = SRWLOCK_INIT;
    CONDITION_VARIABLE changed_ = CONDITION_VARIABLE_INIT;
    std::deque<Due> due_;       // oldest first; neighbours of one stream merged
    double costMs_[2] = {OutputLineTone.duration, ErrorLineTone.duration};  // measured, per stream
    double playingCostMs_ = 0;  // the line beep being played: its expected cost
    double playingSince_ = 0;
    bool endDue_ = false;
    bool endPlayed_ = false;
    bool quit_ = false;
    bool flashes_ = false;  // written by the thread, read by Shown: under the lock
    // Thread only: how to ask the flash setting, when it was last asked, and
    // when the last beep started.
    FlashQuery flashQuery_ = nullptr;
    double flashAskedAt_ = -1e9;
    double lastBeepAt_ = -1e9;
    // Set by Start before any pump runs and cleared by Stop after they end,
    // so the pumps read it without the lock.
    toolkit::UniqueHandle thread_;
    DWORD threadId_ = 0;
};

}  // namespace app
