#pragma once
// Shared by the toolkit's tests: library start-up, a stand-in for the
// controls library behind the window hooks, pumping the real event wait
// until what a test checks has come, and real key input. Message recording
// is the test-support library's.

#include "toolkit/event_codes.h"
#include "toolkit/event_queue.h"
#include "toolkit/event_state.h"
#include "toolkit/main_window.h"
#include "toolkit/window_hooks.h"

#include "support/message_recorder.h"
#include "support/waiting.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <functional>
#include <vector>

namespace toolkit_test {

using support::MessageLog;
using support::MessageRecorder;
using support::SequenceMismatch;

// What the toolkit handed to the window hooks, and the reply the control
// hook gives (NotHandled unless a test sets another).
struct HookLog {
    struct Offer {
        HWND control;
        HWND parent;
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
    };
    std::vector<Offer> offers;
    LRESULT reply = toolkit::NotHandled;
    std::vector<HWND> containers;  // every window made the container, in order
    std::vector<HWND> destroyed;   // every window reported destroyed, in order
};

inline HookLog& Hooks() {
    static HookLog log;
    return log;
}

inline LRESULT RecordOffer(HWND control, HWND parent, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    Hooks().offers.push_back({control, parent, message, wParam, lParam});
    return Hooks().reply;
}

inline HWND RecordContainer(HWND window) noexcept {
    std::vector<HWND>& containers = Hooks().containers;
    const HWND previous = containers.empty() ? nullptr : containers.back();
    containers.push_back(window);
    return previous;
}

inline void RecordDestroyed(HWND window) noexcept { Hooks().destroyed.push_back(window); }

inline const toolkit::WindowHooks RecordingHooks{
    .forwardToControl = RecordOffer,
    .setControlContainer = RecordContainer,
    .windowDestroyed = RecordDestroyed,
};

// The libraries in the program's start-up order (events, then windows) and
// shutdown order, with recording hooks where the controls library would put
// its own.
class ToolkitEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        toolkit::InitEventLibrary();
        toolkit::InitWindowLibrary();
        toolkit::SetWindowHooks(RecordingHooks);
    }
    void TearDown() override {
        toolkit::EndWindowLibrary();
        toolkit::EndEventLibrary();
    }
};

struct Event {
    int64_t code;
    int64_t object = 0;
    int64_t window = 0;
    int64_t data = 0;
    bool operator==(const Event&) const = default;
};

inline std::ostream& operator<<(std::ostream& out, const Event& e) {
    return out << "{" << e.code << ", obj " << e.object << ", win " << e.window << ", data " << e.data << "}";
}

inline bool IsEventCode(int64_t result) { return result >= toolkit::ControlEvent && result <= toolkit::SizeEvent; }

inline Event LastTaken(int64_t code) {
    const toolkit::CurrentEvent& current = toolkit::EventThread().currentEvent;
    return Event{code, current.object, current.window, current.data};
}

// Every non-zero result of WaitEvent(10) up to and including the first that
// is `code` (bounded by the patience).
inline std::vector<int64_t> ResultsUntil(int64_t code) {
    std::vector<int64_t> results;
    (void)support::PumpUntil([&] { return !results.empty() && results.back() == code; }, support::Patience, [&] {
        if (const int64_t result = toolkit::WaitEvent(10); result != 0) results.push_back(result);
    });
    return results;
}

// Only the events already queued, without handling any message.
inline std::vector<Event> QueuedEvents() {
    std::vector<Event> events;
    // A wait takes a queued event before any message, so no message is
    // handled while the queue is not empty.
    while (toolkit::EventThread().queue.head) events.push_back(LastTaken(toolkit::WaitEvent(0)));
    return events;
}

inline size_t Count(const std::vector<Event>& events, int64_t code) {
    return static_cast<size_t>(std::ranges::count(events, code, &Event::code));
}
inline bool Contains(const std::vector<Event>& events, int64_t code) { return Count(events, code) > 0; }

// The events taken through the real wait until `enough` holds for them
// (bounded by the patience), followed by those already queued then: a check
// that something did not happen sees everything raised so far.
inline std::vector<Event> TakeEventsUntil(const std::function<bool(const std::vector<Event>&)>& enough) {
    std::vector<Event> events;
    (void)support::PumpUntil([&] { return enough(events); }, support::Patience, [&] {
        if (const int64_t result = toolkit::WaitEvent(10); IsEventCode(result)) events.push_back(LastTaken(result));
    });
    for (const Event& e : QueuedEvents()) events.push_back(e);
    return events;
}

inline std::vector<Event> TakeEventsThrough(int64_t code) {
    return TakeEventsUntil([code](const std::vector<Event>& events) { return Contains(events, code); });
}

// Handles the messages already pending and takes the events already queued,
// waiting for nothing more: a test starts from what is there. Bounded: a
// stream of messages must not hang the test.
inline std::vector<Event> TakePending() {
    std::vector<Event> events;
    for (int n = 0; n < 10000; ++n) {
        const int64_t result = toolkit::WaitEvent(0);
        if (result == 0) break;
        if (IsEventCode(result)) events.push_back(LastTaken(result));
    }
    return events;
}

// Real key input through the system's input queue, and a way to know it has
// been handled: a hook on this thread's message retrieval counts the key-ups
// taken off the queue. A key-up is dispatched by the wait that took it, and
// input comes off the queue in order (the characters and shortcuts a key-down
// makes come before the next input), so once the last key-up sent has been
// taken, every key sent before it has been handled.
inline size_t g_keyUpsSent = 0;
inline size_t g_keyUpsTaken = 0;

inline LRESULT CALLBACK CountKeyUps(int code, WPARAM removed, LPARAM lParam) {
    const UINT message = reinterpret_cast<const MSG*>(lParam)->message;
    if (code == HC_ACTION && removed == PM_REMOVE && (message == WM_KEYUP || message == WM_SYSKEYUP)) ++g_keyUpsTaken;
    return CallNextHookEx(nullptr, code, removed, lParam);
}

inline void SendKey(WORD key, bool up) {
    static const HHOOK hook = SetWindowsHookExW(WH_GETMESSAGE, CountKeyUps, nullptr, GetCurrentThreadId());
    (void)hook;  // kept for the life of the test program
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(key, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    if (SendInput(1, &input, sizeof(input)) == 1 && up) ++g_keyUpsSent;
}

// Presses and releases `key` with the modifiers held around it.
inline void PressKey(WORD key, std::initializer_list<WORD> modifiers = {}) {
    for (WORD m : modifiers) SendKey(m, false);
    SendKey(key, false);
    SendKey(key, true);
    for (auto it = std::rbegin(modifiers); it != std::rend(modifiers); ++it) SendKey(*it, true);
}

// Pumps the real wait until every key pressed so far has been handled
// (bounded by the patience); events taken on the way are dropped. After a
// failure the count starts afresh, so one lost key fails one wait.
[[nodiscard]] inline bool KeysHandled() {
    const bool handled = support::PumpUntil([] { return g_keyUpsTaken >= g_keyUpsSent; }, support::Patience,
                                            [] { (void)toolkit::WaitEvent(10); });
    g_keyUpsTaken = g_keyUpsSent;
    return handled;
}

// Brings a window to the front and waits until it is the active window of
// this thread and has the focus it is meant to have.
inline bool MakeForeground(HWND window) {
    SetForegroundWindow(window);
    return support::PumpUntil([window] { return GetForegroundWindow() == window && GetActiveWindow() == window; },
                              support::Patience, [window] {
                                  // Plain dispatch: the events raised stay queued for the test.
                                  support::DispatchMessages();
                                  SetForegroundWindow(window);
                              });
}

// A plain "Edit" child with the given styles added to WS_CHILD | WS_VISIBLE.
inline HWND MakeEdit(HWND parent, DWORD style, int id, int x = 10) {
    return CreateWindowExW(0, L"Edit", L"", WS_CHILD | WS_VISIBLE | WS_BORDER | style, x, 10, 80, 24, parent,
                           reinterpret_cast<HMENU>(static_cast<intptr_t>(id)), GetModuleHandleW(nullptr), nullptr);
}

}  // namespace toolkit_test
