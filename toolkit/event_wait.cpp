// WaitEvent: hands out queued events first, otherwise takes and handles one
// platform message, translating the active window's shortcuts on the way.
#include "toolkit/event_codes.h"
#include "toolkit/event_queue.h"
#include "toolkit/event_state.h"
#include "toolkit/shortcuts.h"
#include "toolkit/window_record.h"

namespace toolkit {

namespace {

// Every input class plus posted messages. It includes sent messages, so a
// message another thread sends to one of this thread's windows wakes the wait
// and is handled inside it.
constexpr DWORD WakeMask = QS_ALLINPUT | QS_ALLPOSTMESSAGE;
static_assert(WakeMask == 0x5FF, "QS_ALLINPUT in its 0x4FF form (with raw input)");

bool ModifierHeld() noexcept {
    return GetKeyState(VK_CONTROL) < 0 || GetKeyState(VK_SHIFT) < 0 || GetKeyState(VK_MENU) < 0;
}

HACCEL ActiveAcceleratorTable(HWND active) noexcept {
    if (!active) return nullptr;
    // A held modifier is a hint that the user works with the keyboard.
    if (ModifierHeld()) SetKeyboardCues(active, true);
    const int64_t number = WindowNumberOf(active);
    if (number < 0) return nullptr;
    DWORD process = 0;
    (void)GetWindowThreadProcessId(active, &process);  // the thread id is not needed
    if (process != GetCurrentProcessId()) return nullptr;
    const WindowRecord* record = FindWindowRecord(number);
    return record ? record->acceleratorTable : nullptr;
}

bool PeekOne(MSG& message) noexcept {
    return PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE | PM_NOYIELD) != FALSE;
}

}  // namespace

int64_t WaitEvent(int32_t timeout) noexcept {
    if (const int32_t code = TakeNextEvent(); code != 0) return code;

    MSG message{};
    if (timeout == -1) {
        (void)GetMessageW(&message, nullptr, 0, 0);  // WM_QUIT and errors are handled like any message
    } else if (!PeekOne(message)) {
        if (timeout == 0) return 0;
        if (MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(timeout), WakeMask) == WAIT_TIMEOUT) {
            return 0;
        }
        // Sent messages are handled inside PeekMessageW; a wake-up that
        // brought only those ends the wait early with nothing to report.
        if (!PeekOne(message)) return 0;
    }

    const HWND active = GetActiveWindow();
    const HACCEL table = ActiveAcceleratorTable(active);
    if (table && TranslateAcceleratorW(active, table, &message)) {
        // The shortcut used the key up: the focused control never sees it.
        SetKeyboardCues(active, true);
    } else {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return static_cast<int32_t>(message.message);
}

}  // namespace toolkit
