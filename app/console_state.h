#pragma once
// The console's process-wide state, in one block. It is built on first use
// (InitConsoleState, in start-up order) and never destroyed: the pumps and
// the writer thread may still read it while the process ends.

#include "app/console_beep.h"
#include "app/line_beeper.h"
#include "app/output_pumps.h"
#include "app/shell_writer.h"
#include "app/transcript_feed.h"
#include "app/worker_threads.h"

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <string>

namespace app {

struct ConsoleState {
    channel::ChildProcess* shellChild = nullptr;  // written once, before the pumps start
    std::atomic<int64_t> shellRunning{0};         // set once by the main thread, cleared once by a pump
    std::wstring startupCommand;                  // main thread only
    int64_t clientWidth = 0;                      // measured once, right after the window opens
    int64_t clientHeight = 0;

    // Plays the beeps of the lines shown and of the shell's end.
    LineBeeper beeper;
    // The shell's output on its way to the transcript, and its lines to the
    // beeper; pumps may outlive the main loop and still hand text over
    // (Close makes that harmless).
    TranscriptFeed feed{&beeper};
    // Its thread may still be blocked in a write when the process ends.
    ShellWriter writer;
    // What the two pumps share; StartOutput binds it to this block and the
    // shell's child as it starts them.
    PumpContext pumps;
    std::atomic<BeepFunction> beepFunction{nullptr};  // null: the platform's Beep

    // Worker threads, filed by StartWorkerThread; a thread may be started
    // while the process ends.
    ThreadRegistry threads;
    // Read buffers and other blocks (initial size 4096 bytes, growable
    // without limit); null if it could not be created (then the process heap
    // stands in).
    HANDLE heap = HeapCreate(0, 4096, 0);
    std::atomic<bool> timerRaised{false};  // the system timer is at 1 ms resolution
};

// The block, built on first use and never destroyed.
[[nodiscard]] ConsoleState& Console() noexcept;
// Builds the block (the feed, the writer, the beeper, the thread registry
// and the private heap), unless an earlier use has.
void InitConsoleState() noexcept;

}  // namespace app
