#include "app/output_pumps.h"

#include "app/beeper.h"
#include "app/console_state.h"
#include "app/utf8_decoder.h"
#include "app/worker_threads.h"
#include "channel/child_io.h"

#include <algorithm>

namespace app {
namespace {

constexpr wchar_t ClosedStatus[] = L"\r\n---program closed---";
constexpr int32_t ReadSize = 64 * 1024;

// Runs once both streams are drained and the child has ended, by whichever
// pump gets there second; the test-and-clear lets exactly one pump report.
void EndOfShell(PumpContext& pumps) noexcept {
    if (!pumps.outputDrained.load() || !pumps.errorDrained.load()) return;
    int64_t running = 1;
    if (!pumps.shellRunning->compare_exchange_strong(running, 0)) return;
    ConsoleBeep(50, 100);
    (void)pumps.feed->Hand(ClosedStatus);  // the last thing the transcript gains
}

// Shows `appended` and then beeps once per line, as each line is shown.
void ShowLines(PumpContext& pumps, const std::wstring& appended, size_t lines, DWORD frequency, DWORD duration) {
    if (lines == 0) return;
    const uint64_t ticket = pumps.feed->Hand(appended);
    if (!pumps.feed->WaitShown(ticket)) return;  // closing: no more beeps
    for (size_t i = 0; i < lines; ++i) ConsoleBeep(frequency, duration);
}

bool ChildProcessEnded(const channel::ChildProcess* child) noexcept {
    return !child || WaitForSingleObject(child->processHandle, 0) == WAIT_OBJECT_0;
}

bool ErrorPipeEmpty(const channel::ChildProcess* child) noexcept {
    if (!child || !child->errorReadEnd) return true;
    DWORD available = 0;
    if (!PeekNamedPipe(child->errorReadEnd, nullptr, 0, nullptr, &available, nullptr)) return true;
    return available == 0;
}

}  // namespace

size_t TakeCompleteLines(std::wstring& pending, std::wstring& appended) {
    const size_t last = pending.rfind(L'\n');
    if (last == std::wstring::npos) return 0;
    size_t lines = 0;
    size_t start = 0;
    while (start <= last) {
        const size_t end = pending.find(L'\n', start);
        appended += L"\r\n";
        appended.append(pending, start, end - start + 1);  // keeps the line's own "\n"
        ++lines;
        start = end + 1;
    }
    pending.erase(0, last + 1);
    return lines;
}

DWORD WINAPI OutputPump(void* context) noexcept {
    auto& pumps = *static_cast<PumpContext*>(context);
    auto* buffer = static_cast<unsigned char*>(AllocateBlock(ReadSize));
    Utf8Decoder decoder;
    std::wstring pending;  // decoded output not yet shown: never more than one unfinished line
    bool drained = false;
    while (!pumps.stop.load()) {
        const uint32_t available = channel::ChildOutputPending(pumps.child);
        if (available == 0 || !buffer) {
            if (!drained && !channel::ChildIsRunning(pumps.child)) {
                // The shell has ended and its output is read: show what it
                // wrote after its last line feed, then report the end.
                decoder.Finish(pending);
                if (!pending.empty()) ShowLines(pumps, L"\r\n" + pending, 1, 800, 1);
                pending.clear();
                drained = true;
                pumps.outputDrained.store(true);
                EndOfShell(pumps);
            }
            WaitMilliseconds(1);  // pause only when nothing is pending
            continue;
        }
        const int32_t want = static_cast<int32_t>(std::min<uint32_t>(available, ReadSize));
        const int32_t got = channel::ReadChildOutput(pumps.child, buffer, want);
        if (got <= 0) {
            WaitMilliseconds(1);
            continue;
        }
        decoder.Decode(buffer, static_cast<size_t>(got), pending);
        std::wstring appended;
        const size_t lines = TakeCompleteLines(pending, appended);
        ShowLines(pumps, appended, lines, 800, 1);
    }
    FreeBlock(buffer);
    return 0;
}

DWORD WINAPI ErrorPump(void* context) noexcept {
    auto& pumps = *static_cast<PumpContext*>(context);
    bool drained = false;
    while (!pumps.stop.load()) {
        const std::wstring line = channel::ReadChildErrorLine(pumps.child);
        if (!line.empty()) {
            ShowLines(pumps, L"\r\n" + line, 1, 100, 20);
            continue;
        }
        // Nothing waiting (or a blank line, which is not shown). The stream
        // is drained once the child has ended and nothing is left in it.
        if (!drained && ChildProcessEnded(pumps.child) && ErrorPipeEmpty(pumps.child)) {
            drained = true;
            pumps.errorDrained.store(true);
            EndOfShell(pumps);
        }
        WaitMilliseconds(1);
    }
    return 0;
}

PumpContext& ConsolePumps() noexcept {
    static PumpContext* const pumps = [] {
        auto* p = new PumpContext;
        p->shellRunning = &Console().shellRunning;
        p->feed = &ConsoleFeed();
        return p;
    }();
    return *pumps;
}

}  // namespace app
