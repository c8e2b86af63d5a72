#pragma once
// Drives the built wslconsole.exe from a Windows test program as a user
// would: starts it, finds its window, types with real key input, reads the
// transcript, the history and the command field through window messages,
// waits for its end, and reads the beeps it made from Wine's relay trace.

#include "support/files.h"
#include "support/text.h"
#include "support/waiting.h"

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace e2e {

using support::Utf8;
using support::Wide;

// How often the driver looks again while it waits: reading a long
// transcript costs the console's window time, so not at every millisecond.
inline constexpr DWORD PollMs = 10;

// Waits until `condition` holds or `timeoutMs` pass, looking every PollMs;
// returns whether it held.
inline bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs) {
    return support::WaitUntil(condition, timeoutMs, PollMs);
}

// True when `happened` stays false for `ms`, looking every PollMs.
inline bool NothingWithin(DWORD ms, const std::function<bool()>& happened) {
    return support::NothingWithin(ms, happened, PollMs);
}

// A Linux path as Wine's Z: drive shows it.
std::wstring WindowsPathOfUnixPath(std::string_view unixPath);

// The test's own environment with `changes` applied, as a sorted Unicode
// environment block for CreateProcessW.
std::vector<wchar_t> EnvironmentBlock(const std::vector<std::pair<std::wstring, std::wstring>>& changes);

// The built console, from the build's compile definition, unless the
// environment names another in WSLC_CONSOLE_EXE.
std::wstring ConsoleExePath();

using support::TestFolder;

struct BeepCall {
    DWORD threadId;
    DWORD frequency;
    DWORD duration;
    bool operator==(const BeepCall&) const = default;
};

// Beeps as Wine's relay trace records them. A program started with
// WINEDEBUG=+pid,+relay and the prefix's RelayInclude set to Beep writes
// lines such as "0110:0114:Call KERNEL32.Beep(00000320,00000001)" (process,
// thread, frequency, duration in hex) to its Unix standard error, which every
// Wine process it starts inherits. The test wrapper points that standard
// error at a file and names it in WSLC_TRACE_FILE.
class BeepTrace {
public:
    // The trace file, or "" when the wrapper gave none.
    static std::wstring File();
    // Makes the prefix trace Beep alone, so +relay stays cheap.
    static bool LimitRelayToBeep();
    // Remembers the current end of the trace; later reads start there.
    void Mark();
    // Every Beep of the process recorded after the mark, in call order.
    std::vector<BeepCall> Calls(DWORD processId) const;

private:
    uint64_t offset_ = 0;
};

struct LaunchOptions {
    // Everything after the program's quoted path on the command line, e.g.
    // L" echo hello" (the leading space is not added for you).
    std::wstring commandTail;
    // Variables set or replaced in the console's environment.
    std::vector<std::pair<std::wstring, std::wstring>> environment;
    // Starts the console with WINEDEBUG=+pid,+relay so its beeps are traced.
    bool traceBeeps = true;
    // Another build of the console to start (a Windows path); empty: ConsoleExePath().
    std::wstring program;
};

// Layout of one control relative to the window's client area.
struct ControlBox {
    LONG x, y, width, height;
    bool operator==(const ControlBox&) const = default;
};

class ConsoleSession {
public:
    ConsoleSession() = default;
    // Ends the console if the test left it running.
    ~ConsoleSession();
    ConsoleSession(const ConsoleSession&) = delete;
    ConsoleSession& operator=(const ConsoleSession&) = delete;

    // Starts the console, finds its window and waits until it is ready for
    // keys: the launch outcome is in the transcript and the command field has
    // the focus. On failure `failure` says what went wrong.
    bool Start(const LaunchOptions& options, std::wstring* failure);

    // Takes up a console that is already running (found by its window),
    // without ending it when the session goes.
    bool Attach(HWND window);

    DWORD ProcessId() const { return processId_; }
    DWORD MainThreadId() const { return mainThreadId_; }
    HANDLE Process() const { return process_; }
    HWND Window() const { return window_; }
    HWND Control(int number) const;  // GWLP_ID 0..3
    HWND Transcript() const { return Control(0); }
    HWND CommandBox() const { return Control(1); }
    HWND CommandField() const;  // the combo box's edit field

    // Texts through window messages (empty on a time-out).
    std::wstring Text(HWND window) const;
    std::wstring TranscriptText() const { return Text(Transcript()); }
    std::wstring FieldText() const { return Text(CommandField()); }
    std::vector<std::wstring> History() const;
    size_t TextLength(HWND window) const;
    // Sends a message whose parameters carry no pointers; -1 on a time-out.
    LRESULT Send(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
    // Puts text into the command field as a paste would (WM_SETTEXT).
    bool PasteIntoField(std::wstring_view text) const;
    // The control's rectangle in the client coordinates of the console window.
    ControlBox Box(HWND control) const;

    bool WaitForTranscript(const std::function<bool(const std::wstring&)>& condition, DWORD timeoutMs) const;
    bool WaitForTranscriptToContain(std::wstring_view piece, DWORD timeoutMs) const;

    HWND FocusedWindow() const;

    // Real input, sent after making the console's window the foreground one.
    bool BringToFront();
    bool TypeText(std::wstring_view text);  // Unicode key events, one per unit
    bool PressKey(WORD virtualKey);
    bool PressKeyWith(WORD modifier, WORD virtualKey);  // e.g. Alt+F4
    bool ClickAt(HWND control, int x, int y);            // client coordinates of `control`
    bool TypeIntoField(std::wstring_view text);

    // Whether the window answers a message within the time-out.
    bool Answers(DWORD timeoutMs) const;
    // Two round trips through the window: input sent before has been handled
    // and whatever the main thread did in response has been done.
    bool Settle() const;
    void RequestClose() const;  // posts WM_CLOSE, as the window manager would
    bool WaitForExit(DWORD timeoutMs, DWORD* exitCode);
    bool HasExited() const;

    // Beeps the console made since Start.
    std::vector<BeepCall> Beeps() const { return trace_.Calls(processId_); }
    size_t CountBeeps(DWORD frequency, DWORD duration) const;

private:
    HANDLE process_ = nullptr;
    DWORD processId_ = 0;
    DWORD mainThreadId_ = 0;
    HWND window_ = nullptr;
    bool owned_ = true;
    BeepTrace trace_;
};

std::vector<HWND> VisibleTopLevelWindows(DWORD processId);
// A visible top-level window titled "test" whose child 0 exists, or null.
HWND FindConsoleWindow();

// The files of the scripted test shell in one test's folder and the
// environment that points the shell at them.
class ScriptedShell {
public:
    explicit ScriptedShell(const TestFolder& folder) : folder_(folder) {}
    bool WriteScript(std::string_view script) const { return folder_.Write(L"script.txt", script); }
    std::vector<std::pair<std::wstring, std::wstring>> Environment() const;
    // Every byte the shell has read from its standard input so far.
    std::string ReceivedInput() const { return folder_.Read(L"input.log"); }
    bool WaitForInput(const std::function<bool(const std::string&)>& condition, DWORD timeoutMs) const;
    // Its command line, current directory and environment, one a line.
    std::string Info() const { return folder_.Read(L"info.txt"); }
    // Makes the file that a "wait-file NAME" line waits for.
    bool Signal(std::wstring_view name) const { return folder_.Write(name, "go"); }

private:
    const TestFolder& folder_;
};

// The scripted shell built with the tests; a file of the prefix's system
// folder, and its wsl.exe.
std::wstring ScriptedShellExePath();
std::wstring SystemFile(std::wstring_view name);
std::wstring InstalledWslPath();
bool SameFileContents(const std::wstring& a, const std::wstring& b);

}  // namespace e2e
