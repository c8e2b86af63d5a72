// Looks at a running console from outside, for scripts/run without a display:
//   console_snapshot wait MS     wait until the console's window is up and
//                                the launch outcome is in its transcript
//   console_snapshot save DIR    write DIR/run-transcript.txt and
//                                DIR/run-history.txt (UTF-8)
//   console_snapshot close MS    ask the console to close; wait for its end
// DIR may be a Linux path. Exit code 0 on success, 1 otherwise.

#include "tests/e2e/console_driver.h"

#include "support/files.h"

#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <string>

using namespace e2e;

namespace {

int Fail(const char* why) {
    std::fprintf(stderr, "console_snapshot: %s\n", why);
    return 1;
}

}  // namespace

int main() {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv || argc < 3) return Fail("usage: console_snapshot wait MS | save DIR | close MS");
    const std::wstring command = argv[1];
    const std::wstring argument = argv[2];
    if (command == L"wait") {
        const DWORD timeout = static_cast<DWORD>(_wtol(argument.c_str()));
        const bool ready = WaitUntil(
            [] {
                HWND w = FindConsoleWindow();
                if (!w) return false;
                ConsoleSession console;
                if (!console.Attach(w)) return false;
                const std::wstring text = console.TranscriptText();
                return text.find(L"---ran---") != std::wstring::npos ||
                       text.find(L"---error opening bash---") != std::wstring::npos;
            },
            timeout);
        return ready ? 0 : Fail("no console window came up");
    }
    HWND window = FindConsoleWindow();
    if (!window) return Fail("no console window");
    ConsoleSession console;
    if (!console.Attach(window)) return Fail("cannot reach the console's process");
    if (command == L"save") {
        const std::wstring folder = WindowsPathOfUnixPath(Utf8(argument));
        std::string history;
        for (const std::wstring& item : console.History()) history += Utf8(item) + "\n";
        if (!support::WriteFileBytes(folder + L"\\run-transcript.txt", Utf8(console.TranscriptText())) ||
            !support::WriteFileBytes(folder + L"\\run-history.txt", history))
            return Fail("cannot write the texts");
        return 0;
    }
    if (command == L"close") {
        console.RequestClose();
        DWORD code = 0;
        if (!console.WaitForExit(static_cast<DWORD>(_wtol(argument.c_str())), &code))
            return Fail("the console did not end");
        return 0;
    }
    return Fail("unknown command");
}
