#include "app/output_pumps.h"

#include "app/clock.h"
#include "app/stream_lines.h"
#include "channel/child_io.h"

#include <algorithm>
#include <deque>
#include <string>

namespace app {
namespace {

constexpr wchar_t ClosedStatus[] = L"\r\n---program closed---";

// A wait that fails is taken as the end: it is asked only once both
// streams have ended, and a process whose state cannot be read will not be
// read later either, so waiting on would keep the end from ever being
// reported.
bool ChildProcessEnded(const channel::ChildProcess* child) noexcept {
    return !child || WaitForSingleObject(child->processHandle, 0) != WAIT_TIMEOUT;
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

// One pump's stream: it reads, splits into lines and hands each read's lines
// to the feed as one piece, which beeps them once it is shown. What it has
// handed over and not yet seen shown is kept only for the bound on it.
class PumpStream {
public:
    PumpStream(PumpContext& pumps, channel::ChildStream stream, StreamKind kind) noexcept
        : pumps_(pumps), stream_(stream), kind_(kind), lines_(kind) {}
    ~PumpStream() { FreeBlock(buffer_); }
    PumpStream(const PumpStream&) = delete;
    PumpStream& operator=(const PumpStream&) = delete;

    DWORD Run(std::atomic<bool>& drained) noexcept;

private:
    struct Handed {
        uint64_t ticket;
        size_t chars;
    };
    // What one pass of reading found.
    enum class Pass { Read, Nothing, Ended };

    Pass ReadPending();
    void FinishStream();
    void Hand(size_t lines);
    void ForgetShown() noexcept;
    bool WaitOldest() noexcept;

    PumpContext& pumps_;
    channel::ChildStream stream_;
    StreamKind kind_;
    StreamLines lines_;
    unsigned char* buffer_ = nullptr;  // one read's bytes
    std::wstring pieces_;              // one read's complete lines, as shown
    std::deque<Handed> unshown_;
    size_t unshownChars_ = 0;
};

// Hands the pieces of `lines` lines over, and empties them for the next read.
void PumpStream::Hand(size_t lines) {
    if (lines > 0) {
        // At the bound, wait for the transcript before handing more.
        ForgetShown();
        while (unshownChars_ >= pumps_.maxUnshownChars && WaitOldest()) {
        }
        const uint64_t ticket = pumps_.feed->Hand(pieces_, kind_, lines);
        unshown_.push_back({ticket, pieces_.size()});
        unshownChars_ += pieces_.size();
    }
    pieces_.clear();
}

void PumpStream::ForgetShown() noexcept {
    while (!unshown_.empty() && pumps_.feed->IsShown(unshown_.front().ticket)) {
        unshownChars_ -= unshown_.front().chars;
        unshown_.pop_front();
    }
}

// Waits until the oldest piece is shown. False when nothing was waiting or
// the feed closed (then nothing handed will be shown).
bool PumpStream::WaitOldest() noexcept {
    if (unshown_.empty()) return false;
    if (!pumps_.feed->WaitShown(unshown_.front().ticket)) {
        unshown_.clear();
        unshownChars_ = 0;
        return false;
    }
    ForgetShown();
    return true;
}

PumpStream::Pass PumpStream::ReadPending() {
    // A buffer that could not be had is asked for again on the next pass.
    if (!buffer_) buffer_ = static_cast<unsigned char*>(pumps_.allocate(PumpReadSize));
    const channel::ChildStreamState state = channel::PeekChildStream(pumps_.child, stream_);
    if (state.pending > 0 && buffer_) {
        const int32_t want = static_cast<int32_t>(std::min<uint32_t>(state.pending, PumpReadSize));
        const int32_t got = channel::ReadChildStream(pumps_.child, stream_, buffer_, want);
        if (got <= 0) return Pass::Nothing;
        Hand(lines_.Take(buffer_, static_cast<size_t>(got), pieces_));
        return Pass::Read;
    }
    return state.ended ? Pass::Ended : Pass::Nothing;
}

// Every writer has let go: shows the unfinished last line and waits until
// everything of this stream is shown.
void PumpStream::FinishStream() {
    Hand(lines_.Finish(pieces_));
    while (WaitOldest()) {
    }
}

DWORD PumpStream::Run(std::atomic<bool>& drained) noexcept {
    bool ended = false;
    while (!pumps_.stop.load()) {
        if (!ended) {
            const Pass pass = ReadPending();
            if (pass == Pass::Read) continue;  // read on at once while the shell writes
            if (pass == Pass::Ended) {
                FinishStream();
                ended = true;
                drained.store(true);
            }
        }
        if (ended) ReportShellEnd(pumps_);
        WaitMilliseconds(1);  // pause only when nothing is pending
    }
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
