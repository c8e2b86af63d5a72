#include "app/console_window.h"

#include "app/console_beep.h"
#include "app/console_numbers.h"
#include "app/console_state.h"
#include "app/transcript_view.h"
#include "controls/combo_control.h"
#include "controls/control_framework.h"
#include "controls/label_control.h"
#include "controls/text_control.h"
#include "toolkit/event_codes.h"
#include "toolkit/event_queue.h"
#include "toolkit/main_window.h"
#include "toolkit/shortcuts.h"

#include <windows.h>

namespace app {
namespace {

// Centred on the screen, then shown maximized and active. No caption,
// system-menu or frame bits: an overlapped window without a close box,
// minimize, maximize or sizing controls.
constexpr uint32_t MainWindowFlags = toolkit::CenterOnScreen | toolkit::OpenMaximized;
// Multi-line and read-only; ES_AUTOVSCROLL as well, because a multi-line
// edit control without it refuses text beyond its visible lines.
constexpr uint32_t TranscriptFlags = ES_MULTILINE | ES_AUTOVSCROLL | ES_READONLY;
// The editable drop-down, its field scrolling sideways for long lines.
constexpr uint32_t CommandBoxFlags = CBS_DROPDOWN | CBS_AUTOHSCROLL;

// The keys of the two actions, pressed with no modifier.
constexpr uint32_t ReturnKey = VK_RETURN;
constexpr uint32_t EscapeKey = VK_ESCAPE;

// The layout's values are computed in double precision and cut to whole
// pixels toward zero, as a 64-bit integer first.
int32_t TruncateTowardZero(double v) noexcept { return static_cast<int32_t>(static_cast<int64_t>(v)); }

}  // namespace

ConsoleLayout ComputeLayout(int64_t width, int64_t height) noexcept {
    const double w = static_cast<double>(width);
    const double h = static_cast<double>(height);
    const int32_t half = TruncateTowardZero(w / 2.0);
    const int32_t top = TruncateTowardZero(h * 0.9);         // floor of 9H/10
    const int32_t bottom = TruncateTowardZero(h - h * 0.9);  // floor of H/10
    return ConsoleLayout{
        .outLabel = {0, top, half - 1, bottom},
        .outputView = {0, 0, half - 1, top - 1},
        .commandLabel = {half, 0, half, bottom},
        .commandBox = {half, 0, half, top - 1},
    };
}

void SetUpConsoleWindow() {
    using namespace controls;
    ConsoleState& console = Console();
    (void)toolkit::OpenMainWindow(MainWindow, toolkit::IgnoreValue, toolkit::IgnoreValue, toolkit::IgnoreValue,
                                  toolkit::IgnoreValue, L"test", MainWindowFlags);
    console.clientWidth = toolkit::WindowInnerWidth(MainWindow);
    console.clientHeight = toolkit::WindowInnerHeight(MainWindow);
    const ConsoleLayout l = ComputeLayout(console.clientWidth, console.clientHeight);

    // A control that could not be made is simply missing.
    // Each label is made just before its control, and the order stays so:
    // screen readers name an edit control or a combo box after the label
    // that precedes it among its siblings, which is how the transcript is
    // read as "out" and the command box as "command".
    (void)CreateLabelControl(OutLabel, l.outLabel.x, l.outLabel.y, l.outLabel.width, l.outLabel.height, L"out");
    HWND transcript = CreateTextControl(OutputView, l.outputView.x, l.outputView.y, l.outputView.width,
                                        l.outputView.height, L"", TranscriptFlags);
    if (transcript) PrepareTranscript(transcript);
    (void)CreateLabelControl(CommandLabel, l.commandLabel.x, l.commandLabel.y, l.commandLabel.width,
                             l.commandLabel.height, L"command");
    (void)CreateComboControl(CommandBox, l.commandBox.x, l.commandBox.y, l.commandBox.width, l.commandBox.height,
                             CommandBoxFlags);
    (void)AddControlItem(CommandBox, -1, L"");  // the blank history item
}

void BindKeysAndFocus() noexcept {
    (void)toolkit::AddShortcut(MainWindow, ReturnKey, ReturnItem);
    (void)toolkit::AddShortcut(MainWindow, EscapeKey, EscapeItem);
    controls::FocusControl(CommandBox);
    controls::SetControlState(CommandBox, 0);
}

// Return is acknowledged before its text is sent, Escape once its
// character is: the order the console has always had.
void ReturnAction() {
    (void)ConsoleBeep(KeyTone);
    const std::wstring typed = controls::GetControlText(CommandBox);
    // Sent exactly as typed; the writer thread waits for the pipe, not us.
    Console().writer.Send(typed + L"\n");
    (void)controls::AddControlItem(CommandBox, 1, typed.c_str());
    controls::SetControlText(CommandBox, L"");
    controls::SetControlState(CommandBox, 0);
}

void EscapeAction() {
    Console().writer.Send(std::wstring(1, L'\x0003'));
    (void)ConsoleBeep(KeyTone);
}

// Return and Escape act while the shell runs. Once its process has ended
// they stop, even while a program it started still writes to the transcript
// and the end is not reported yet: there is no one to read what they send.
bool ShellTakesInput() noexcept {
    const ConsoleState& console = Console();
    if (console.shellRunning.load() == 0 || !console.shellChild) return false;
    return WaitForSingleObject(console.shellChild->processHandle, 0) != WAIT_OBJECT_0;
}

void RunInputLoop() {
    for (;;) {
        const int64_t e = toolkit::WaitEvent(1);
        Console().feed.Poll();  // delivers output itself if the feed has no wake window
        if (e == toolkit::CloseEvent) return;
        if (e != toolkit::MenuEvent || !ShellTakesInput()) continue;
        const int64_t item = toolkit::EventMenuItem();
        if (item == ReturnItem) {
            ReturnAction();
        } else if (item == EscapeItem) {
            EscapeAction();
        }
    }
}

}  // namespace app
