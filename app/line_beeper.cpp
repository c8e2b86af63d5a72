#include "app/line_beeper.h"

#include "app/console_beep.h"
#include "app/clock.h"

#include <cmath>

namespace app {
namespace {

size_t Index(StreamKind stream) noexcept { return stream == StreamKind::Output ? 0 : 1; }

}  // namespace

// A setting that cannot be read counts as flashes on: that costs only fewer
// beeps, where the other guess could flash the screen too fast for someone
// who relies on it.
bool SoundsShownAsFlashes() noexcept {
    SOUNDSENTRYW sentry{};
    sentry.cbSize = sizeof sentry;
    if (!SystemParametersInfoW(SPI_GETSOUNDSENTRY, sizeof sentry, &sentry, 0)) return true;
    return (sentry.dwFlags & SSF_SOUNDSENTRYON) != 0;
}

bool LineBeeper::Start(FlashQuery flashes) noexcept {
    if (thread_) return true;
    flashQuery_ = flashes;
    flashAskedAt_ = -1e9;  // asked before the first beep
    quit_ = false;
    // A thread of its own handle, not one filed with the console's workers:
    // Stop must be able to wait for it.
    thread_.reset(CreateThread(nullptr, 4096, &LineBeeper::Run, this, 0, &threadId_));
    if (!thread_) threadId_ = 0;
    return static_cast<bool>(thread_);
}

void LineBeeper::Shown(StreamKind stream, size_t lines) noexcept {
    if (lines == 0 || !thread_) return;
    {
        toolkit::Guard guard(lock_);
        if (!due_.empty() && due_.back().stream == stream) due_.back().lines += lines;
        else due_.push_back({stream, lines});
        TrimLocked(NowMs());
    }
    WakeConditionVariable(&changed_);
}

void LineBeeper::End(DWORD waitMs) noexcept {
    if (!thread_) {
        (void)ConsoleBeep(ShellEndTone);
        return;
    }
    toolkit::Guard guard(lock_);
    endDue_ = true;
    endPlayed_ = false;
    WakeConditionVariable(&changed_);
    const double deadline = NowMs() + waitMs;
    for (;;) {
        if (endPlayed_) return;
        const double left = deadline - NowMs();
        if (left <= 0) return;
        // The wait gives the lock up while it sleeps and has it again on waking.
        (void)SleepConditionVariableSRW(&changed_, &lock_, static_cast<DWORD>(std::ceil(left)), 0);
    }
}

void LineBeeper::Stop() noexcept {
    if (!thread_) return;
    {
        toolkit::Guard guard(lock_);
        quit_ = true;
    }
    WakeAllConditionVariable(&changed_);
    WaitForSingleObject(thread_.get(), INFINITE);
    thread_.reset();
    threadId_ = 0;
    due_.clear();
}

double LineBeeper::CostMs(StreamKind stream) const noexcept { return costMs_[Index(stream)]; }

// What the due beeps and the rest of the one being played will take.
double LineBeeper::BacklogMsLocked(double now) const noexcept {
    double ms = playingCostMs_ > 0 ? std::max(0.0, playingCostMs_ - (now - playingSince_)) : 0.0;
    for (const Due& d : due_) ms += static_cast<double>(d.lines) * CostMs(d.stream);
    return ms;
}

// Drops the oldest due beeps until the rest fit the lag. The newest line's
// beep always stays: a beep that alone takes longer still tells that a line
// came. As sounds shown as flashes merge whatever is due into one beep,
// nothing is dropped then.
void LineBeeper::TrimLocked(double now) noexcept {
    if (flashes_) return;
    double excess = BacklogMsLocked(now) - MaxBeepLagMs;
    while (excess > 0 && !due_.empty()) {
        Due& oldest = due_.front();
        const double cost = CostMs(oldest.stream);
        const size_t keep = due_.size() == 1 ? 1 : 0;
        size_t drop = cost > 0 ? static_cast<size_t>(std::ceil(excess / cost)) : oldest.lines;
        drop = std::min(drop, oldest.lines - keep);
        if (drop == 0) break;
        oldest.lines -= drop;
        excess -= static_cast<double>(drop) * cost;
        if (oldest.lines == 0) due_.pop_front();
    }
}

void LineBeeper::RefreshFlashes(double now) noexcept {
    if (now - flashAskedAt_ < FlashQueryEveryMs) return;
    flashAskedAt_ = now;
    const bool flashes = flashQuery_ && flashQuery_();
    toolkit::Guard guard(lock_);
    flashes_ = flashes;
}

LineBeeper::Next LineBeeper::TakeLocked(StreamKind& stream, double now, DWORD& waitMs) noexcept {
    if (quit_) return Next::Quit;
    if (due_.empty() && !endDue_) {
        waitMs = INFINITE;
        return Next::Nothing;
    }
    if (flashes_) {
        const double wait = lastBeepAt_ + FlashGapMs - now;
        if (wait > 0) {
            waitMs = static_cast<DWORD>(std::ceil(wait));
            return Next::Nothing;
        }
    }
    if (due_.empty()) {
        endDue_ = false;
        return Next::End;
    }
    if (flashes_) {
        // One beep for everything shown since the last: the error tone if an
        // error line is among them.
        stream = StreamKind::Output;
        for (const Due& d : due_)
            if (d.stream == StreamKind::Error) stream = StreamKind::Error;
        due_.clear();
    } else {
        stream = due_.front().stream;
        if (--due_.front().lines == 0) due_.pop_front();
    }
    playingCostMs_ = CostMs(stream);
    playingSince_ = now;
    return Next::Line;
}

DWORD WINAPI LineBeeper::Run(void* self) noexcept {
    static_cast<LineBeeper*>(self)->Loop();
    return 0;
}

void LineBeeper::Loop() noexcept {
    for (;;) {
        RefreshFlashes(NowMs());
        StreamKind stream = StreamKind::Output;
        DWORD waitMs = 0;
        Next next = Next::Nothing;
        {
            toolkit::Guard guard(lock_);
            next = TakeLocked(stream, NowMs(), waitMs);
            if (next == Next::Quit) return;
            if (next == Next::Nothing) {
                (void)SleepConditionVariableSRW(&changed_, &lock_, waitMs, 0);
                continue;
            }
        }
        const Tone tone = next == Next::End              ? ShellEndTone
                          : stream == StreamKind::Output ? OutputLineTone
                                                         : ErrorLineTone;
        const double start = NowMs();
        lastBeepAt_ = start;
        if (!ConsoleBeep(tone)) {
            // A beep that fails (no beep device) returns at once: it still
            // takes its tone's time, or a flood would cost a call per line.
            const double left = start + tone.duration - NowMs();
            if (left > 0) WaitMilliseconds(static_cast<DWORD>(std::ceil(left)));
        }
        const double end = NowMs();
        {
            toolkit::Guard guard(lock_);
            if (next == Next::Line) {
                // What this call took is what the next of its stream will.
                costMs_[Index(stream)] = end - start;
                playingCostMs_ = 0;
                TrimLocked(end);
            } else {
                endPlayed_ = true;
            }
        }
        if (next == Next::End) WakeAllConditionVariable(&changed_);
    }
}

}  // namespace app
