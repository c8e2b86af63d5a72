#include "app/output_pumps.h"

#include "app/millisecond_pause.h"
#include "app/stream_lines.h"
#include "channel/child_io.h"

#include <algorithm>
#include <deque>
#include <string>

namespace app {
namespace {

constexpr wchar_t ClosedStatus[] = L"\r\n---program closed---";

bool ChildProcessEnded(const channel::ChildProcess* child) noexcept {
    return !child || WaitForSingleObject(child->processHandle, 0) == WAIT_OBJECT_0;
}

}  // namespace

// The shell has ended once its process has and both streams are read to
// their end: a program it started may hold the pipes and write on after it.
// Whichever pump finds that first reports it; the test-and-clear lets
// exactly one pump do so.
void ReportShellEnd(PumpContext& pumps) noexcept {
    if (pumps.shellRunning->load() == 0) return;
    if (!pumps.outputDrained.load() || !pumps.errorDrained.load()) return;
    if (!ChildProcessEnded(pumps.child)) return;
    int64_t running = 1;
    if (!pumps.shellRunning->compare_exchange_strong(running, 0)) return;
    // After the line beeps still due, which are never more than a quarter
    // of a second, never after a flood's backlog.
    pumps.beeper->End();
    (void)pumps.feed->Hand(ClosedStatus);  // the last thing the transcript gains
}

namespace {

// One pump's stream: its lines handed over and not yet shown, in order. As
// each piece is shown its lines go to the beeper; the pump never waits for
// a tone.
class PumpStream {
public:
    PumpStream(PumpContext& pumps, channel::ChildStream stream, StreamKind kind) noexcept
        : pumps_(pumps), stream_(stream), kind_(kind), lines_(kind) {}

    DWORD Run(std::atomic<bool>& drained) noexcept;

private:
    struct Handed {
        uint64_t ticket;
        size_t lines;
        size_t chars;
    };

    void Hand(size_t lines);
    void BeepShown() noexcept;
    bool WaitOldest() noexcept;
    void WaitAll() noexcept;

    PumpContext& pumps_;
    channel::ChildStream stream_;
    StreamKind kind_;
    StreamLines lines_;
    std::wstring pieces_;
    std::deque<Handed> unshown_;
    size_t unshownChars_ = 0;
};

void PumpStream::Hand(size_t lines) {
    if (lines == 0) return;
    // At the bound, wait for the transcript before handing more.
    while (unshownChars_ >= pumps_.maxUnshownChars && WaitOldest()) {
    }
    const uint64_t ticket = pumps_.feed->Hand(pieces_);
    unshown_.push_back({ticket, lines, pieces_.size()});
    unshownChars_ += pieces_.size();
}

void PumpStream::BeepShown() noexcept {
    while (!unshown_.empty() && pumps_.feed->IsShown(unshown_.front().ticket)) {
        const Handed oldest = unshown_.front();
        unshown_.pop_front();
        unshownChars_ -= oldest.chars;
        pumps_.beeper->Shown(kind_, oldest.lines);
    }
}

// Waits until the oldest piece is shown and hands its beeps on. False when nothing
// was waiting or the feed closed (then nothing handed will be shown, and no
// more beeps sound).
bool PumpStream::WaitOldest() noexcept {
    if (unshown_.empty()) return false;
    if (!pumps_.feed->WaitShown(unshown_.front().ticket)) {
        unshown_.clear();
        unshownChars_ = 0;
        return false;
    }
    BeepShown();
    return true;
}

void PumpStream::WaitAll() noexcept {
    while (WaitOldest()) {
    }
}

DWORD PumpStream::Run(std::atomic<bool>& drained) noexcept {
    unsigned char* buffer = nullptr;
    bool ended = false;
    while (!pumps_.stop.load()) {
        BeepShown();
        if (!ended) {
            // A buffer that could not be had is asked for again on the next pass.
            if (!buffer) buffer = static_cast<unsigned char*>(pumps_.allocate(PumpReadSize));
            const channel::ChildStreamState state = channel::PeekChildStream(pumps_.child, stream_);
            if (state.pending > 0 && buffer) {
                const int32_t want = static_cast<int32_t>(std::min<uint32_t>(state.pending, PumpReadSize));
                const int32_t got = channel::ReadChildStream(pumps_.child, stream_, buffer, want);
                if (got > 0) {
                    pieces_.clear();
                    Hand(lines_.Take(buffer, static_cast<size_t>(got), pieces_));
                    continue;  // read on at once while the shell writes
                }
            } else if (state.ended) {
                // Every writer has let go: show the unfinished last line and
                // wait until everything of this stream is shown.
                pieces_.clear();
                Hand(lines_.Finish(pieces_));
                WaitAll();
                ended = true;
                drained.store(true);
            }
        }
        if (ended) ReportShellEnd(pumps_);
        WaitMilliseconds(1);  // pause only when nothing is pending
    }
    FreeBlock(buffer);
    return 0;
}

}  // namespace

DWORD WINAPI OutputPump(void* context) noexcept {
    auto& pumps = *static_cast<PumpContext*>(context);
    PumpStream stream(pumps, channel::ChildStream::Output, StreamKind::Output);
    return stream.Run(pumps.outputDrained);
}

DWORD WINAPI ErrorPump(void* context) noexcept {
    auto& pumps = *static_cast<PumpContext*>(context);
    PumpStream stream(pumps, channel::ChildStream::Error, StreamKind::Error);
    return stream.Run(pumps.errorDrained);
}

}  // namespace app
