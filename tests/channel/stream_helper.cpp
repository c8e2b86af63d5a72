// A child for the channel tests. Each argument is one step, run in order:
//   out:HEX / err:HEX       write the bytes to standard output / error
//   errn:N:HEX              write the bytes N times to standard error
//   wait:NAME               wait (at most 10 s) until the named event is set
//   copy:N                  read N bytes from standard input, write them to standard output
//   count                   read standard input to its end, print the byte count to standard output
//   sleep:MS                pause
//   exit:N                  end with exit code N
//   startup:FILE            write what the process was started with into FILE
//   cwd:FILE                write the current directory into FILE
//   env:FILE                write the environment into FILE, one variable a line
// Anything else is ignored (so a file name handed over by the shell does no harm).

#include "support/files.h"
#include "support/text.h"

#include <windows.h>

#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::string FromHex(const std::wstring& hex) {
    std::string bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes.push_back(static_cast<char>(std::wcstoul(hex.substr(i, 2).c_str(), nullptr, 16)));
    return bytes;
}

void WriteAll(HANDLE h, const std::string& bytes) {
    DWORD written = 0;
    WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

// Reads up to `limit` bytes (or to the end when limit is 0) from standard input.
std::string ReadInput(size_t limit) {
    std::string bytes;
    char buffer[65536];
    for (;;) {
        DWORD want = sizeof buffer;
        if (limit) {
            if (bytes.size() >= limit) break;
            want = static_cast<DWORD>(std::min<size_t>(want, limit - bytes.size()));
        }
        DWORD got = 0;
        // A zero-byte write reaches us as an empty read; only a failure
        // (the pipe broken) ends the input.
        if (!ReadFile(GetStdHandle(STD_INPUT_HANDLE), buffer, want, &got, nullptr)) break;
        bytes.append(buffer, got);
    }
    return bytes;
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

}  // namespace

int main() {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    const HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    for (int i = 1; i < argc; ++i) {
        const std::wstring arg = argv[i];
        const auto starts = [&](const wchar_t* prefix) { return arg.rfind(prefix, 0) == 0; };
        if (starts(L"out:")) {
            WriteAll(out, FromHex(arg.substr(4)));
        } else if (starts(L"err:")) {
            WriteAll(err, FromHex(arg.substr(4)));
        } else if (starts(L"errn:")) {
            const std::wstring rest = arg.substr(5);
            const size_t colon = rest.find(L':');
            const unsigned long times = std::wcstoul(rest.substr(0, colon).c_str(), nullptr, 10);
            const std::string unit = FromHex(rest.substr(colon + 1));
            std::string bytes;
            for (unsigned long k = 0; k < times; ++k) bytes += unit;
            WriteAll(err, bytes);
        } else if (starts(L"wait:")) {
            HANDLE event = OpenEventW(SYNCHRONIZE, FALSE, arg.substr(5).c_str());
            if (event) {
                WaitForSingleObject(event, 10000);
                CloseHandle(event);
            }
        } else if (starts(L"copy:")) {
            WriteAll(out, ReadInput(std::wcstoul(arg.substr(5).c_str(), nullptr, 10)));
        } else if (arg == L"count") {
            WriteAll(out, std::to_string(ReadInput(0).size()));
        } else if (starts(L"sleep:")) {
            Sleep(std::wcstoul(arg.substr(6).c_str(), nullptr, 10));
        } else if (starts(L"exit:")) {
            ExitProcess(std::wcstoul(arg.substr(5).c_str(), nullptr, 10));
        } else if (starts(L"startup:")) {
            (void)support::WriteFileBytes(arg.substr(8), StartupReport());
        } else if (starts(L"cwd:")) {
            wchar_t dir[MAX_PATH] = {};
            GetCurrentDirectoryW(MAX_PATH, dir);
            (void)support::WriteFileBytes(arg.substr(4), support::Utf8(dir));
        } else if (starts(L"env:")) {
            std::string lines;
            for (const std::string& entry : support::EnvironmentEntries()) lines += entry + "\n";
            (void)support::WriteFileBytes(arg.substr(4), lines);
        }
    }
    return 0;
}
