// The child the channel, pump and writer tests start. Each argument is one
// step, run in order:
//   out:HEX / err:HEX     write the bytes to standard output / error
//   flood:N / errflood:N  write lines "1".."N" to standard output / "e1".."eN"
//                         to standard error, in large writes
//   copy:N                copy N bytes of standard input to standard output
//   copyin:FILE           copy standard input to FILE as it comes, to its end
//   count                 read standard input to its end, print the byte count
//   wait:NAME             wait until the test sets its named event NAME (a
//                         wait that lasts a minute ends the child, code 98)
//   signal:NAME           set the test's named event NAME
//   sleep:MS / exit:N     pause / end with exit code N
//   startup:FILE          write what the process was started with into FILE
//   cwd:FILE / env:FILE   write the current directory / the environment (one
//                         variable a line) into FILE
// Anything else is ignored (so a file name handed over by the shell does no
// harm). The events let a test and the child take turns, so that what a test
// asserts about the order of writes and reads never rests on a pause.

#include "support/files.h"
#include "support/text.h"

#include <windows.h>

#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <utility>

namespace {

std::string FromHex(const std::wstring& hex) {
    std::string bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes.push_back(static_cast<char>(std::wcstoul(hex.substr(i, 2).c_str(), nullptr, 16)));
    return bytes;
}

void WriteAll(HANDLE h, std::string_view bytes) {
    DWORD n = 0;
    while (!bytes.empty() && WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr))
        bytes.remove_prefix(n);
}

void Flood(HANDLE h, unsigned long count, const char* prefix) {
    std::string chunk;
    for (unsigned long i = 1; i <= count; ++i) {
        chunk += prefix + std::to_string(i) + "\n";
        if (chunk.size() > 60000 || i == count) WriteAll(h, std::exchange(chunk, {}));
    }
}

// Copies standard input to `to` (null: nowhere) as it comes, until `limit`
// bytes (0: until the input ends); returns how many bytes were read.
size_t CopyInput(HANDLE to, size_t limit) {
    static char buffer[65536];
    size_t total = 0;
    while (!limit || total < limit) {
        const DWORD want = static_cast<DWORD>(limit ? std::min(sizeof buffer, limit - total) : sizeof buffer);
        DWORD got = 0;
        // A zero-byte write reaches us as an empty read; only a failure
        // (the pipe broken) ends the input.
        if (!ReadFile(GetStdHandle(STD_INPUT_HANDLE), buffer, want, &got, nullptr)) break;
        if (to) WriteAll(to, std::string_view(buffer, got));
        total += got;
    }
    return total;
}

void CopyInputToFile(const std::wstring& path) {
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, 0, nullptr);
    CopyInput(file, 0);
    CloseHandle(file);
}

void WaitFor(const std::wstring& name) {
    const HANDLE event = OpenEventW(SYNCHRONIZE, FALSE, name.c_str());
    if (!event || WaitForSingleObject(event, 60000) != WAIT_OBJECT_0) ExitProcess(98);
    CloseHandle(event);
}

void Signal(const std::wstring& name) {
    if (const HANDLE event = OpenEventW(EVENT_MODIFY_STATE, FALSE, name.c_str())) {
        SetEvent(event);
        CloseHandle(event);
    }
}

std::string StartupReport() {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    GetStartupInfoW(&startup);
    DWORD processes[16];
    const DWORD sharing = GetConsoleProcessList(processes, 16);
    char text[256];
    std::snprintf(text, sizeof text, "flags=%lx show=%u stdin=%d stdout=%d stderr=%d consoles=%lu",
                  static_cast<unsigned long>(startup.dwFlags), static_cast<unsigned>(startup.wShowWindow),
                  startup.hStdInput != nullptr, startup.hStdOutput != nullptr, startup.hStdError != nullptr,
                  static_cast<unsigned long>(sharing));
    return text;
}

std::string CurrentDirectory() {
    wchar_t dir[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, dir);
    return support::Utf8(dir);
}

std::string EnvironmentReport() {
    std::string lines;
    for (const std::string& entry : support::EnvironmentEntries()) lines += entry + "\n";
    return lines;
}

}  // namespace

int main() {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv) return 99;
    const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    const HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    for (int i = 1; i < argc; ++i) {
        const std::wstring step = argv[i];
        const size_t colon = step.find(L':');
        const std::wstring verb = step.substr(0, colon);
        const std::wstring value = colon == std::wstring::npos ? L"" : step.substr(colon + 1);
        const unsigned long number = std::wcstoul(value.c_str(), nullptr, 10);
        if (verb == L"out") WriteAll(out, FromHex(value));
        else if (verb == L"err") WriteAll(err, FromHex(value));
        else if (verb == L"flood") Flood(out, number, "");
        else if (verb == L"errflood") Flood(err, number, "e");
        else if (verb == L"copy") CopyInput(out, number);
        else if (verb == L"copyin") CopyInputToFile(value);
        else if (verb == L"count") WriteAll(out, std::to_string(CopyInput(nullptr, 0)));
        else if (verb == L"wait") WaitFor(value);
        else if (verb == L"signal") Signal(value);
        else if (verb == L"sleep") Sleep(number);
        else if (verb == L"exit") return static_cast<int>(number);
        else if (verb == L"startup") (void)support::WriteFileBytes(value, StartupReport());
        else if (verb == L"cwd") (void)support::WriteFileBytes(value, CurrentDirectory());
        else if (verb == L"env") (void)support::WriteFileBytes(value, EnvironmentReport());
    }
    return 0;
}
