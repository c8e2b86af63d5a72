#pragma once
// Runs the real pumps against a real child process (stream_helper.exe) and a
// real edit control, with the beeps recorded instead of sounded. The
// recorded beep blocks for its tone, as Windows' Beep does (Wine's returns
// at once).

#include "app/console_beep.h"
#include "app/output_pumps.h"
#include "app/transcript_feed.h"
#include "app/transcript_view.h"
#include "channel/child_io.h"
#include "channel/child_launch.h"
#include "support/message_recorder.h"
#include "support/named_event.h"
#include "support/text.h"
#include "support/waiting.h"
#include "toolkit/scoped.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <functional>
#include <string>
#include <vector>

namespace apptest {

using support::Hex;  // stream_helper's steps take their bytes as hex
using support::PumpUntil;

struct BeepRecord {
    DWORD thread;
    DWORD frequency;
    DWORD duration;
    int transcriptLength;  // of the watched window when the beep sounded; -1 when none is watched
    double startMs;        // when the call began (QueryPerformanceCounter)
};

// How the recorded beep behaves: it takes `toneFactor` times its tone (1, as
// on Windows, until told otherwise), or returns FALSE at once (`fails`), as
// with no beep device.
void ModelBeeps(double toneFactor, bool fails = false);
// Makes the recorded beep of `frequency` wait, before it returns, until
// `release` holds (at most a few seconds); null releases it.
void HoldBeepsOf(DWORD frequency, std::function<bool()> release);

// Makes every recorded beep note the text length of `window` (null: none).
void WatchLengthAtBeeps(HWND window);

std::vector<BeepRecord> TakeBeeps();

std::wstring WindowText(HWND window);

// A transcript control as the console makes it, in a visible top-level
// window; false when either could not be made.
bool MakeTranscript(HWND& parent, HWND& edit);
// Makes `window` the foreground and active one; false when it never became so.
bool Activate(HWND window);

// The x of the transcript's first character: where the view stands sideways.
int FirstCharacterX(HWND edit);

// The transcript's last character lies inside its client area.
bool LastCharacterVisible(HWND edit);

// Records the length of `edit`'s text at each of its paints into `lengths`
// while the recorder lives.
support::MessageRecorder RecordPaints(HWND edit, std::vector<int>& lengths);

// Parts of at most `chars` characters, and no paint until a flood is over.
void HoldPaints(app::TranscriptFeed& feed, size_t chars);

// A named event through which a test and stream_helper take turns: the child
// waits at Await() until the test opens the gate, or opens it at Signal()
// for the test to see. Both give a step with a space on either side, to be
// put between two others.
class Gate {
public:
    Gate();

    [[nodiscard]] std::wstring Await() const { return L" wait:" + event_.Name() + L" "; }
    [[nodiscard]] std::wstring Signal() const { return L" signal:" + event_.Name() + L" "; }
    void Open() const { event_.Set(); }
    [[nodiscard]] bool IsOpen() const { return event_.IsSet(); }

private:
    support::NamedEvent event_;
};

class PumpTest : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // Starts stream_helper.exe with the steps and both pumps on it, handing
    // their text to `feed` (the fixture's own by default).
    void StartShell(const std::wstring& steps, app::TranscriptFeed* feed = nullptr);
    // Starts both pumps on the context as it stands.
    void StartPumps();
    // Waits for the end-of-shell report; true when it came.
    bool WaitForEnd(DWORD ms = 30000);
    // Waits until the transcript reads `text`, then opens `gate` for the child.
    testing::AssertionResult OpenWhenShown(const Gate& gate, const std::wstring& text);
    // Both pipes are read empty: the pumps have taken every byte written so far.
    [[nodiscard]] bool NothingPending() const;
    // Lets the pumps end and waits for their threads.
    void StopPumps();
    [[nodiscard]] std::wstring Transcript() const { return WindowText(edit_); }

    HWND parent_ = nullptr;
    HWND edit_ = nullptr;
    app::LineBeeper beeper_;
    app::TranscriptFeed feed_{&beeper_};
    app::TranscriptFeed spareFeed_{&beeper_};  // for tests that set a feed up in another way
    app::PumpContext pumps_;
    std::atomic<int64_t> running_{0};
    HANDLE outputThread_ = nullptr;
    HANDLE errorThread_ = nullptr;
};

}  // namespace apptest
