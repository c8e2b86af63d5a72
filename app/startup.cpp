#include "app/startup.h"

#include "app/startup_command.h"
#include "app/console_numbers.h"
#include "app/console_state.h"
#include "app/console_window.h"
#include "app/output_pumps.h"
#include "app/worker_threads.h"
#include "channel/child_launch.h"
#include "controls/control_framework.h"
#include "toolkit/event_queue.h"
#include "toolkit/main_window.h"

namespace app {
namespace {

constexpr wchar_t ShellProgram[] = L"c:/windows/system32/wsl.exe";
constexpr wchar_t ShellParameters[] = L"bash --noediting -i -s";
// Hidden, record kept, three pipes; text to and from the shell in UTF-8,
// which is what bash under WSL reads and writes.
constexpr uint32_t ShellLaunchFlags = channel::StartHidden | channel::KeepChild | channel::PipeStdout |
                                      channel::PipeStdin | channel::PipeStderr | channel::TextUtf8;
// wsl.exe's own messages (no distribution installed, WSL off or out of
// date) are UTF-16 on a pipe unless WSL_UTF8 is 1; standard output is read
// as UTF-8, so only then do they read as they should. Linux output is bytes
// either way, and the variable does not reach Linux; an old wsl.exe ignores
// it. It is set to 1 whatever the console was given: no other value works.
constexpr const wchar_t* ShellVariables[] = {L"WSL_UTF8=1", nullptr};
constexpr wchar_t RanStatus[] = L"\r\n---ran---";
constexpr wchar_t ErrorStatus[] = L"\r\n---error opening bash---";

void InitLibraries() noexcept {
    toolkit::InitEventLibrary();
    toolkit::InitWindowLibrary();
    controls::InitControls();
    channel::InitChildChannel();
    InitConsoleState();
}

void EndLibraries() noexcept {
    // The pumps and the writer may still run: from here on nothing they hand
    // over reaches the transcript, and they touch no window or control.
    Console().feed.Close();
    EndThreadRegistry();
    controls::EndControls();
    toolkit::EndWindowLibrary();
    toolkit::EndEventLibrary();
}

// The beeper, then the pumps, which read the shell's streams into the feed
// and clear the running flag at the shell's end; they start once the
// transcript is attached.
void StartOutput(ConsoleState& console) noexcept {
    PumpContext& pumps = console.pumps;
    pumps.child = console.shellChild;
    pumps.shellRunning = &console.shellRunning;
    pumps.feed = &console.feed;
    pumps.beeper = &console.beeper;
    (void)console.beeper.Start();  // without it no line beeps, and the end beep sounds on the pump
    (void)StartWorkerThread(&OutputPump, &pumps);  // nothing to fall back on: that stream stays unread
    (void)StartWorkerThread(&ErrorPump, &pumps);
}

void AppendStatus(const wchar_t* status) {
    const std::wstring text = controls::GetControlText(OutputView) + status;
    controls::SetControlText(OutputView, text.c_str());
}

}  // namespace

unsigned RunConsole() {
    InitLibraries();
    ConsoleState& console = Console();
    console.startupCommand = AssembleStartupCommand();
    SetUpConsoleWindow();

    const uintptr_t launched =
        channel::StartChildProcess(ShellProgram, ShellParameters, L"", ShellLaunchFlags, ShellVariables);
    console.shellChild = channel::AsChild(launched);
    if (console.shellChild) {
        AppendStatus(RanStatus);
        console.shellRunning.store(1);
    } else {
        AppendStatus(ErrorStatus);
    }

    BindKeysAndFocus();
    // The command text goes in front of everything the transcript holds.
    const std::wstring head = console.startupCommand + L"\r\n" + controls::GetControlText(OutputView);
    controls::SetControlText(OutputView, head.c_str());

    // Without a transcript control the feed counts every piece as shown, so
    // the pumps still beep per line and report the end.
    controls::ControlRecord* transcript = controls::FindControl(OutputView);
    (void)console.feed.Attach(transcript ? transcript->window : nullptr);
    if (console.shellChild) (void)console.writer.Start(console.shellChild);
    console.writer.Send(console.startupCommand + L"\n");  // with no shell it stays queued, never sent

    StartOutput(console);

    RunInputLoop();
    EndLibraries();
    return 0;
}

}  // namespace app
