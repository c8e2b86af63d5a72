#include "tests/e2e/console_driver.h"

#include "support/files.h"
#include "support/window_life_recorder.h"

#include <algorithm>
#include <cstdio>
#include <cwchar>

namespace e2e {

namespace {

constexpr DWORD MessageTimeoutMs = 10000;

std::wstring EnvironmentVariable(const wchar_t* name) {
    const DWORD n = GetEnvironmentVariableW(name, nullptr, 0);
    if (n == 0) return {};
    std::wstring value(n, L'\0');
    const DWORD got = GetEnvironmentVariableW(name, value.data(), n);
    value.resize(got < n ? got : 0);
    return value;
}

bool EqualNoCase(std::wstring_view a, std::wstring_view b) {
    return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()), TRUE) ==
           CSTR_EQUAL;
}

std::wstring NameOf(const std::wstring& entry) {
    // "=C:=C:\dir" style entries keep their leading "=" in the name.
    const size_t equals = entry.find(L'=', 1);
    return entry.substr(0, equals);
}

bool TitledTest(HWND window) {
    wchar_t title[64] = {};
    GetWindowTextW(window, title, 64);
    return std::wstring_view(title) == L"test";
}

}  // namespace

std::vector<wchar_t> EnvironmentBlock(const std::vector<std::pair<std::wstring, std::wstring>>& changes) {
    std::vector<std::wstring> entries;
    if (wchar_t* block = GetEnvironmentStringsW()) {
        for (const wchar_t* p = block; *p; p += wcslen(p) + 1) entries.emplace_back(p);
        FreeEnvironmentStringsW(block);
    }
    for (const auto& [name, value] : changes) {
        std::erase_if(entries, [&name = name](const std::wstring& e) { return EqualNoCase(NameOf(e), name); });
        entries.push_back(name + L"=" + value);
    }
    std::sort(entries.begin(), entries.end(), [](const std::wstring& a, const std::wstring& b) {
        return CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_LESS_THAN;
    });
    std::vector<wchar_t> result;
    for (const std::wstring& e : entries) {
        result.insert(result.end(), e.begin(), e.end());
        result.push_back(L'\0');
    }
    result.push_back(L'\0');
    return result;
}

namespace {

bool SendInputs(std::vector<INPUT>& inputs) {
    // Wine takes any count at once, but modest batches keep each call short.
    for (size_t at = 0; at < inputs.size(); at += 64) {
        const UINT count = static_cast<UINT>(std::min<size_t>(64, inputs.size() - at));
        if (SendInput(count, inputs.data() + at, sizeof(INPUT)) != count) return false;
    }
    return true;
}

INPUT KeyInput(WORD virtualKey, WORD scan, DWORD flags) {
    INPUT in{};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = virtualKey;
    in.ki.wScan = scan;
    in.ki.dwFlags = flags;
    return in;
}

}  // namespace

std::wstring WindowsPathOfUnixPath(std::string_view unixPath) {
    std::wstring path = Wide(unixPath);
    if (path.empty() || path.front() != L'/') return path;  // already a Windows path
    std::replace(path.begin(), path.end(), L'/', L'\\');
    return L"Z:" + path;
}

std::wstring ConsoleExePath() {
    // WSLC_CONSOLE_EXE in the environment runs the tests against another build.
    const std::wstring other = EnvironmentVariable(L"WSLC_CONSOLE_EXE");
    return WindowsPathOfUnixPath(other.empty() ? std::string(WSLC_CONSOLE_EXE) : Utf8(other));
}
std::wstring ScriptedShellExePath() { return WindowsPathOfUnixPath(WSLC_SCRIPTED_SHELL_EXE); }

std::wstring SystemFile(std::wstring_view name) {
    wchar_t system[MAX_PATH] = {};
    GetSystemDirectoryW(system, MAX_PATH);
    return std::wstring(system) + L"\\" + std::wstring(name);
}

std::wstring InstalledWslPath() { return SystemFile(L"wsl.exe"); }

bool SameFileContents(const std::wstring& a, const std::wstring& b) {
    const std::string x = support::ReadFileBytes(a);
    return !x.empty() && x == support::ReadFileBytes(b);
}

std::wstring BeepTrace::File() { return WindowsPathOfUnixPath(Utf8(EnvironmentVariable(L"WSLC_TRACE_FILE"))); }

bool BeepTrace::LimitRelayToBeep() {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Wine\\Debug", 0, nullptr, 0, KEY_SET_VALUE | KEY_QUERY_VALUE,
                        nullptr, &key, nullptr) != ERROR_SUCCESS)
        return false;
    static const wchar_t value[] = L"Beep";
    const LSTATUS status = RegSetValueExW(key, L"RelayInclude", 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                                          sizeof value);
    RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

void BeepTrace::Mark() {
    offset_ = 0;
    const std::wstring file = File();
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!file.empty() && GetFileAttributesExW(file.c_str(), GetFileExInfoStandard, &data))
        offset_ = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

std::vector<BeepCall> BeepTrace::Calls(DWORD processId) const {
    std::vector<BeepCall> calls;
    const std::wstring file = File();
    if (file.empty()) return calls;
    const std::string trace = support::ReadFileBytes(file, offset_);
    size_t at = 0;
    for (;;) {
        const size_t end = trace.find('\n', at);
        if (end == std::string::npos) break;  // a line still being written
        const std::string line = trace.substr(at, end - at);
        at = end + 1;
        if (line.find(".Beep(") == std::string::npos) continue;
        unsigned long pid = 0, tid = 0, frequency = 0, duration = 0;
        char module[64];
        if (std::sscanf(line.c_str(), "%lx:%lx:Call %63[A-Za-z0-9_].Beep(%lx,%lx)", &pid, &tid, module, &frequency,
                        &duration) == 5 &&
            pid == processId)
            calls.push_back({tid, frequency, duration});
    }
    return calls;
}

ConsoleSession::~ConsoleSession() {
    if (process_) {
        if (owned_ && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) {
            TerminateProcess(process_, 1);
            WaitForSingleObject(process_, 5000);
        }
        CloseHandle(process_);
    }
}

bool ConsoleSession::Start(const LaunchOptions& options, std::wstring* failure) {
    auto fail = [&](std::wstring why) {
        if (failure) *failure = std::move(why);
        return false;
    };
    std::vector<std::pair<std::wstring, std::wstring>> environment = options.environment;
    if (options.traceBeeps) {
        if (BeepTrace::File().empty()) return fail(L"no trace file: run through the test wrapper (WSLC_TRACE_FILE)");
        if (!BeepTrace::LimitRelayToBeep()) return fail(L"cannot set RelayInclude");
        environment.emplace_back(L"WINEDEBUG", L"+pid,+relay");
    }
    trace_.Mark();

    std::vector<wchar_t> block = EnvironmentBlock(environment);
    const std::wstring program = options.program.empty() ? ConsoleExePath() : options.program;
    std::wstring commandLine = L"\"" + program + L"\"" + options.commandTail;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, CREATE_UNICODE_ENVIRONMENT,
                        block.data(), nullptr, &startup, &info))
        return fail(L"cannot start " + program + L", error " + std::to_wstring(GetLastError()));
    CloseHandle(info.hThread);
    process_ = info.hProcess;
    processId_ = info.dwProcessId;
    mainThreadId_ = info.dwThreadId;

    const bool found = WaitUntil(
        [&] {
            for (HWND w : VisibleTopLevelWindows(processId_))
                if (TitledTest(w)) {
                    window_ = w;
                    return true;
                }
            return HasExited();
        },
        20000);
    if (!found || !window_) return fail(HasExited() ? L"the console ended before showing its window"
                                                    : L"no window titled \"test\" appeared");
    const bool ready = WaitUntil(
        [&] {
            const std::wstring text = TranscriptText();
            const bool outcome = text.find(L"---ran---") != std::wstring::npos ||
                                 text.find(L"---error opening bash---") != std::wstring::npos;
            return outcome && CommandField() && FocusedWindow() == CommandField();
        },
        20000);
    if (!ready) return fail(L"the console did not become ready; transcript: " + TranscriptText());
    return true;
}

bool ConsoleSession::Attach(HWND window) {
    owned_ = false;
    window_ = window;
    mainThreadId_ = GetWindowThreadProcessId(window, &processId_);
    process_ = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId_);
    trace_.Mark();
    return mainThreadId_ != 0 && process_ != nullptr;
}

HWND ConsoleSession::Control(int number) const { return window_ ? GetDlgItem(window_, number) : nullptr; }

HWND ConsoleSession::CommandField() const {
    HWND box = CommandBox();
    if (!box) return nullptr;
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        if (EqualNoCase(support::ClassNameOf(child), L"Edit")) return child;
    return nullptr;
}

std::wstring ConsoleSession::Text(HWND window) const {
    const LRESULT length = window ? Send(window, WM_GETTEXTLENGTH) : -1;
    if (length < 0) return {};
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const LRESULT copied = Send(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<size_t>(std::clamp<LRESULT>(copied, 0, length)));
    return text;
}

std::vector<std::wstring> ConsoleSession::History() const {
    std::vector<std::wstring> items;
    const HWND box = CommandBox();
    const LRESULT count = box ? Send(box, CB_GETCOUNT) : -1;
    for (LRESULT i = 0; i < count; ++i) {
        const LRESULT length = std::max<LRESULT>(Send(box, CB_GETLBTEXTLEN, i), 0);
        std::wstring item(static_cast<size_t>(length) + 1, L'\0');
        const LRESULT copied = Send(box, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(item.data()));
        item.resize(static_cast<size_t>(std::clamp<LRESULT>(copied, 0, length)));
        items.push_back(item);
    }
    return items;
}

size_t ConsoleSession::TextLength(HWND window) const {
    const LRESULT length = window ? Send(window, WM_GETTEXTLENGTH) : -1;
    return length < 0 ? 0 : static_cast<size_t>(length);
}

LRESULT ConsoleSession::Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam) const {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(window, message, wParam, lParam, SMTO_NORMAL, MessageTimeoutMs, &result)) return -1;
    return static_cast<LRESULT>(result);
}

bool ConsoleSession::PasteIntoField(std::wstring_view text) const {
    const std::wstring copy(text);
    DWORD_PTR result = 0;
    return SendMessageTimeoutW(CommandField(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(copy.c_str()), SMTO_NORMAL,
                               MessageTimeoutMs, &result) &&
           result == TRUE;
}

ControlBox ConsoleSession::Box(HWND control) const {
    RECT r{};
    GetWindowRect(control, &r);
    MapWindowPoints(HWND_DESKTOP, window_, reinterpret_cast<POINT*>(&r), 2);
    return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

bool ConsoleSession::WaitForTranscript(const std::function<bool(const std::wstring&)>& condition,
                                       DWORD timeoutMs) const {
    return WaitUntil([&] { return condition(TranscriptText()); }, timeoutMs);
}

bool ConsoleSession::WaitForTranscriptToContain(std::wstring_view piece, DWORD timeoutMs) const {
    return WaitForTranscript([&](const std::wstring& t) { return t.find(piece) != std::wstring::npos; }, timeoutMs);
}

HWND ConsoleSession::FocusedWindow() const {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    return GetGUIThreadInfo(mainThreadId_, &info) ? info.hwndFocus : nullptr;
}

bool ConsoleSession::BringToFront() {
    if (GetForegroundWindow() == window_) return true;
    SetForegroundWindow(window_);
    return WaitUntil([&] { return GetForegroundWindow() == window_; }, 5000);
}

bool ConsoleSession::TypeText(std::wstring_view text) {
    if (!BringToFront()) return false;
    std::vector<INPUT> inputs;
    for (wchar_t c : text) {
        inputs.push_back(KeyInput(0, c, KEYEVENTF_UNICODE));
        inputs.push_back(KeyInput(0, c, KEYEVENTF_UNICODE | KEYEVENTF_KEYUP));
    }
    return SendInputs(inputs);
}

bool ConsoleSession::PressKey(WORD virtualKey) { return PressKeyWith(0, virtualKey); }

bool ConsoleSession::PressKeyWith(WORD modifier, WORD virtualKey) {
    if (!BringToFront()) return false;
    const WORD modScan = static_cast<WORD>(MapVirtualKeyW(modifier, MAPVK_VK_TO_VSC));
    const WORD scan = static_cast<WORD>(MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC));
    std::vector<INPUT> inputs{KeyInput(virtualKey, scan, 0), KeyInput(virtualKey, scan, KEYEVENTF_KEYUP)};
    if (modifier) {
        inputs.insert(inputs.begin(), KeyInput(modifier, modScan, 0));
        inputs.push_back(KeyInput(modifier, modScan, KEYEVENTF_KEYUP));
    }
    return SendInputs(inputs);
}

bool ConsoleSession::ClickAt(HWND control, int x, int y) {
    if (!BringToFront()) return false;
    POINT p{x, y};
    ClientToScreen(control, &p);
    const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    std::vector<INPUT> inputs(3);
    for (INPUT& in : inputs) {
        in.type = INPUT_MOUSE;
        in.mi.dx = static_cast<LONG>((p.x * 65536LL + width / 2) / width);
        in.mi.dy = static_cast<LONG>((p.y * 65536LL + height / 2) / height);
        in.mi.dwFlags = MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_MOVE;
    }
    inputs[1].mi.dwFlags |= MOUSEEVENTF_LEFTDOWN;
    inputs[2].mi.dwFlags |= MOUSEEVENTF_LEFTUP;
    return SendInputs(inputs);
}

bool ConsoleSession::TypeIntoField(std::wstring_view text) {
    const std::wstring before = FieldText();
    if (!TypeText(text)) return false;
    return WaitUntil([&] { return FieldText() == before + std::wstring(text); }, 10000);
}

bool ConsoleSession::Answers(DWORD timeoutMs) const {
    DWORD_PTR result = 0;
    return SendMessageTimeoutW(window_, WM_NULL, 0, 0, SMTO_NORMAL, timeoutMs, &result) != 0;
}

bool ConsoleSession::Settle() const { return Answers(MessageTimeoutMs) && Answers(MessageTimeoutMs); }

void ConsoleSession::RequestClose() const { PostMessageW(window_, WM_CLOSE, 0, 0); }

bool ConsoleSession::WaitForExit(DWORD timeoutMs, DWORD* exitCode) {
    if (!process_ || WaitForSingleObject(process_, timeoutMs) != WAIT_OBJECT_0) return false;
    DWORD code = 0;
    GetExitCodeProcess(process_, &code);
    if (exitCode) *exitCode = code;
    return true;
}

bool ConsoleSession::HasExited() const { return process_ && WaitForSingleObject(process_, 0) == WAIT_OBJECT_0; }

size_t ConsoleSession::CountBeeps(DWORD frequency, DWORD duration) const {
    const std::vector<BeepCall> calls = Beeps();
    return static_cast<size_t>(std::count_if(calls.begin(), calls.end(), [&](const BeepCall& c) {
        return c.frequency == frequency && c.duration == duration;
    }));
}

std::vector<HWND> VisibleTopLevelWindows(DWORD processId) {
    struct Search {
        DWORD processId;
        std::vector<HWND> found;
    } search{processId, {}};
    EnumWindows(
        [](HWND w, LPARAM p) -> BOOL {
            auto* s = reinterpret_cast<Search*>(p);
            DWORD owner = 0;
            GetWindowThreadProcessId(w, &owner);
            if (owner == s->processId && IsWindowVisible(w)) s->found.push_back(w);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND FindConsoleWindow() {
    HWND found = nullptr;
    EnumWindows(
        [](HWND w, LPARAM p) -> BOOL {
            if (!IsWindowVisible(w) || !TitledTest(w) || !GetDlgItem(w, 0)) return TRUE;
            *reinterpret_cast<HWND*>(p) = w;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

std::vector<std::pair<std::wstring, std::wstring>> ScriptedShell::Environment() const {
    return {{L"WSLC_SHELL_SCRIPT", folder_.File(L"script.txt")},
            {L"WSLC_SHELL_INPUT_LOG", folder_.File(L"input.log")},
            {L"WSLC_SHELL_INFO", folder_.File(L"info.txt")}};
}

bool ScriptedShell::WaitForInput(const std::function<bool(const std::string&)>& condition, DWORD timeoutMs) const {
    return WaitUntil([&] { return condition(ReceivedInput()); }, timeoutMs);
}

}  // namespace e2e
