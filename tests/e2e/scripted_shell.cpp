// A stand-in for the shell that follows a script, for exact end-to-end tests
// of the console. Installed as wsl.exe in a prefix of its own, it is started
// by the console like the real one, with three pipes.
//
// Environment (the console passes its own environment on to the shell):
//   WSLC_SHELL_SCRIPT     the script to follow (UTF-8 text, one command a line)
//   WSLC_SHELL_INPUT_LOG  file that receives every byte read from standard
//                         input, as it arrives
//   WSLC_SHELL_INFO       file that receives the command line, the current
//                         directory and every environment variable, one a
//                         line, at start
//
// Script commands (the rest of the line after one space is the argument;
// in TEXT, \n \r \t \0 \\ and \xNN are escapes, every other byte is taken
// as it is, so a script can hold raw UTF-8):
//   out TEXT         write TEXT to standard output
//   err TEXT         write TEXT to standard error
//   expect TEXT      wait until the input received after the previous match
//                    holds TEXT; the next expect searches after it
//   lines N          wait until the input received holds N line feeds
//   flood N          write "line 1\n" ... "line N\n" to standard output as
//                    fast as the pipe takes them
//   hold             stop reading standard input (after the read in progress)
//   resume           read standard input again
//   wait-file NAME   wait until the file NAME exists in the script's folder
//   exit CODE        end at once with CODE
//   spawn NAME       start a copy of this shell on the script NAME (in the
//                    script's folder) that inherits the three standard
//                    streams, and go on without waiting for it; its input
//                    log is NAME.input
//   wait-parent      (in a spawned copy) wait until the shell that spawned
//                    it has ended
//   touch NAME       make the file NAME in the script's folder, holding "touched"
//   # ...            a comment; empty lines are skipped
// At the end of the script the shell reads on until its input ends, then
// exits with 0. Every wait gives up after a minute (exit code 90, with a
// note on standard error); input that ends during a wait gives exit code 91;
// a write that fails (the reader is gone) gives exit code 92.

#include "support/files.h"
#include "support/text.h"
#include "support/waiting.h"

#include <windows.h>

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace {

using support::Utf8;
using support::Wide;

constexpr DWORD WaitLimitMs = 60000;
constexpr int GaveUp = 90;
constexpr int InputEnded = 91;
constexpr int WriteFailed = 92;

std::wstring Environment(const wchar_t* name) {
    wchar_t buffer[32768];
    const DWORD n = GetEnvironmentVariableW(name, buffer, 32768);
    return n > 0 && n < 32768 ? std::wstring(buffer, n) : std::wstring();
}

void WriteAll(HANDLE h, std::string_view bytes) {
    while (!bytes.empty()) {
        DWORD n = 0;
        if (!WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr) || n == 0)
            ExitProcess(WriteFailed);
        bytes.remove_prefix(n);
    }
}

[[noreturn]] void GiveUp(const std::string& why) {
    WriteAll(GetStdHandle(STD_ERROR_HANDLE), "scripted shell: " + why + "\n");
    ExitProcess(GaveUp);
}

int HexDigit(char c) {
    if (!std::isxdigit(static_cast<unsigned char>(c))) return -1;
    return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10;
}

std::string Unescape(std::string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c != '\\' || i + 1 == text.size()) {
            out += c;
            continue;
        }
        const char e = text[++i];
        switch (e) {
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case '0': out += '\0'; break;
        case '\\': out += '\\'; break;
        case 'x':
            if (i + 2 < text.size() && HexDigit(text[i + 1]) >= 0 && HexDigit(text[i + 2]) >= 0) {
                out += static_cast<char>(HexDigit(text[i + 1]) * 16 + HexDigit(text[i + 2]));
                i += 2;
                break;
            }
            [[fallthrough]];
        default: out += '\\'; out += e; break;
        }
    }
    return out;
}

// What has arrived on standard input, filled by the reader thread.
struct Input {
    CRITICAL_SECTION lock;
    std::string received;
    bool ended = false;
    HANDLE changed = nullptr;      // auto-reset: set after every read
    HANDLE readAllowed = nullptr;  // manual-reset: cleared by "hold"
    HANDLE log = INVALID_HANDLE_VALUE;
};

Input input;

DWORD WINAPI ReadInput(void*) {
    HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    char buffer[4096];
    for (;;) {
        WaitForSingleObject(input.readAllowed, INFINITE);
        DWORD n = 0;
        const BOOL ok = ReadFile(in, buffer, sizeof buffer, &n, nullptr);
        if (n > 0 && input.log != INVALID_HANDLE_VALUE) {
            DWORD written = 0;
            WriteFile(input.log, buffer, n, &written, nullptr);
        }
        EnterCriticalSection(&input.lock);
        input.received.append(buffer, n);
        if (!ok || n == 0) input.ended = true;
        const bool ended = input.ended;
        LeaveCriticalSection(&input.lock);
        SetEvent(input.changed);
        if (ended) return 0;
    }
}

// Waits, within the limit, until `satisfied` holds for the input received.
template <class Test>
void WaitForInput(const std::string& what, Test satisfied) {
    const ULONGLONG deadline = GetTickCount64() + WaitLimitMs;
    for (;;) {
        EnterCriticalSection(&input.lock);
        const bool done = satisfied(input.received);
        const bool ended = input.ended;
        LeaveCriticalSection(&input.lock);
        if (done) return;
        if (ended) ExitProcess(InputEnded);
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline) GiveUp("gave up waiting for " + what);
        WaitForSingleObject(input.changed, static_cast<DWORD>(deadline - now));
    }
}

void Flood(HANDLE h, const char* format, long count) {
    std::string chunk;
    char line[64];
    for (long i = 1; i <= count; ++i) {
        chunk += std::string_view(line, static_cast<size_t>(std::snprintf(line, sizeof line, format, i)));
        if (chunk.size() >= 60000) {
            WriteAll(h, chunk);
            chunk.clear();
        }
    }
    WriteAll(h, chunk);
}

std::wstring Folder(const std::wstring& path) {
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring(L".") : path.substr(0, slash);
}

// A copy of this shell on another script, holding the same three standard
// streams, as a program started in the background would; it is handed a
// handle of this process to wait for.
void Spawn(const std::wstring& script) {
    HANDLE self = nullptr;
    if (!DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), &self, SYNCHRONIZE, TRUE, 0))
        GiveUp("cannot spawn");
    SetEnvironmentVariableW(L"WSLC_SHELL_SCRIPT", script.c_str());
    SetEnvironmentVariableW(L"WSLC_SHELL_INPUT_LOG", (script + L".input").c_str());
    SetEnvironmentVariableW(L"WSLC_SHELL_INFO", nullptr);
    SetEnvironmentVariableW(L"WSLC_SHELL_PARENT", std::to_wstring(reinterpret_cast<uintptr_t>(self)).c_str());
    wchar_t program[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, program, MAX_PATH);
    std::wstring commandLine = L"\"" + std::wstring(program) + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    // Inheritable copies, whatever the flags of the handles this shell got.
    auto inheritable = [](DWORD which) {
        HANDLE copy = nullptr;
        DuplicateHandle(GetCurrentProcess(), GetStdHandle(which), GetCurrentProcess(), &copy, 0, TRUE,
                        DUPLICATE_SAME_ACCESS);
        return copy;
    };
    startup.hStdInput = inheritable(STD_INPUT_HANDLE);
    startup.hStdOutput = inheritable(STD_OUTPUT_HANDLE);
    startup.hStdError = inheritable(STD_ERROR_HANDLE);
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(program, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &info))
        GiveUp("cannot spawn");
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    for (HANDLE h : {startup.hStdInput, startup.hStdOutput, startup.hStdError})
        if (h) CloseHandle(h);
}

void RunCommand(std::string_view command, std::string_view argument, const std::wstring& scriptFolder,
                size_t& expectFrom) {
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    if (command == "out") {
        WriteAll(out, Unescape(argument));
    } else if (command == "err") {
        WriteAll(GetStdHandle(STD_ERROR_HANDLE), Unescape(argument));
    } else if (command == "expect") {
        const std::string wanted = Unescape(argument);
        WaitForInput("expect " + std::string(argument), [&](const std::string& received) {
            const size_t at = received.find(wanted, expectFrom);
            if (at == std::string::npos) return false;
            expectFrom = at + wanted.size();
            return true;
        });
    } else if (command == "lines") {
        const long wanted = std::atol(std::string(argument).c_str());
        WaitForInput("lines " + std::string(argument), [&](const std::string& received) {
            long count = 0;
            for (char c : received) count += c == '\n';
            return count >= wanted;
        });
    } else if (command == "flood") {
        Flood(out, "line %ld\n", std::atol(std::string(argument).c_str()));
    } else if (command == "hold") {
        ResetEvent(input.readAllowed);
    } else if (command == "resume") {
        SetEvent(input.readAllowed);
    } else if (command == "wait-file") {
        const std::wstring path = scriptFolder + L"\\" + Wide(argument);
        if (!support::WaitUntil([&] { return support::FileExists(path); }, WaitLimitMs, 10))
            GiveUp("gave up waiting for file " + std::string(argument));
    } else if (command == "spawn") {
        Spawn(scriptFolder + L"\\" + Wide(argument));
    } else if (command == "wait-parent") {
        const HANDLE parent = reinterpret_cast<HANDLE>(
            static_cast<uintptr_t>(std::wcstoull(Environment(L"WSLC_SHELL_PARENT").c_str(), nullptr, 10)));
        if (!parent || WaitForSingleObject(parent, WaitLimitMs) != WAIT_OBJECT_0)
            GiveUp("gave up waiting for the parent");
    } else if (command == "touch") {
        (void)support::WriteFileBytes(scriptFolder + L"\\" + Wide(argument), "touched");
    } else if (command == "exit") {
        ExitProcess(static_cast<UINT>(std::atol(std::string(argument).c_str())));
    } else {
        GiveUp("unknown command " + std::string(command));
    }
}

}  // namespace

int main() {
    InitializeCriticalSection(&input.lock);
    input.changed = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    input.readAllowed = CreateEventW(nullptr, TRUE, TRUE, nullptr);

    const std::wstring logPath = Environment(L"WSLC_SHELL_INPUT_LOG");
    if (!logPath.empty())
        input.log = CreateFileW(logPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);

    const std::wstring infoPath = Environment(L"WSLC_SHELL_INFO");
    if (!infoPath.empty()) {
        wchar_t directory[MAX_PATH + 1] = {};
        GetCurrentDirectoryW(MAX_PATH + 1, directory);
        std::string info = Utf8(GetCommandLineW()) + "\n" + Utf8(directory) + "\n";
        for (const std::string& entry : support::EnvironmentEntries()) info += entry + "\n";
        (void)support::WriteFileBytes(infoPath, info);
    }

    HANDLE reader = CreateThread(nullptr, 0, ReadInput, nullptr, 0, nullptr);
    if (!reader) return GaveUp;

    const std::wstring scriptPath = Environment(L"WSLC_SHELL_SCRIPT");
    if (!scriptPath.empty() && !support::FileExists(scriptPath)) GiveUp("cannot read the script");
    const std::string script = scriptPath.empty() ? std::string() : support::ReadFileBytes(scriptPath);
    const std::wstring scriptFolder = Folder(scriptPath);

    size_t expectFrom = 0;
    size_t at = 0;
    while (at < script.size()) {
        size_t end = script.find('\n', at);
        if (end == std::string::npos) end = script.size();
        std::string_view line(script.data() + at, end - at);
        at = end + 1;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty() || line.front() == '#') continue;
        const size_t space = line.find(' ');
        const std::string_view command = line.substr(0, space);
        const std::string_view argument = space == std::string_view::npos ? std::string_view() : line.substr(space + 1);
        RunCommand(command, argument, scriptFolder, expectFrom);
    }

    // Read on until the console lets go of the input, so the shell lives as
    // long as a real one would.
    SetEvent(input.readAllowed);
    WaitForSingleObject(reader, INFINITE);
    return 0;
}
