// How long `seq 1 N` takes to reach the console's transcript through the WSL
// stand-in and real bash: the console is started with "seq 1 N" as its
// start-up command, and the clock stops when the last number is shown.
// Prints one figure per run and the median; not a test (scripts/bench-transcript).

#include "tests/e2e/console_driver.h"

#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

using namespace e2e;

int main() {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    const int lines = argc > 1 ? _wtoi(argv[1]) : 20000;
    const int runs = argc > 2 ? _wtoi(argv[2]) : 3;
    const std::wstring last = L"\r\n" + std::to_wstring(lines) + L"\n";
    std::vector<double> fromLaunch, fromReady;
    for (int run = 1; run <= runs; ++run) {
        ConsoleSession console;
        LaunchOptions options;
        options.commandTail = L" seq 1 " + std::to_wstring(lines);
        options.traceBeeps = false;
        const ULONGLONG launched = GetTickCount64();
        std::wstring failure;
        if (!console.Start(options, &failure)) {
            std::fprintf(stderr, "bench: %s\n", Utf8(failure).c_str());
            return 1;
        }
        const ULONGLONG ready = GetTickCount64();
        // Poll the length cheaply; read the text only once it can be complete.
        const bool arrived = WaitUntil(
            [&] {
                return console.TextLength(console.Transcript()) >= static_cast<size_t>(lines) * 3 &&
                       console.TranscriptText().find(last) != std::wstring::npos;
            },
            600000);
        const ULONGLONG done = GetTickCount64();
        if (!arrived) {
            std::fprintf(stderr, "bench: the last line did not arrive\n");
            return 1;
        }
        // Every line, in order.
        const std::wstring text = console.TranscriptText();
        size_t at = 0;
        for (int i = 1; i <= lines; ++i) {
            at = text.find(L"\r\n" + std::to_wstring(i) + L"\n", at);
            if (at == std::wstring::npos) {
                std::fprintf(stderr, "bench: line %d is missing\n", i);
                return 1;
            }
        }
        fromLaunch.push_back((done - launched) / 1000.0);
        fromReady.push_back((done - ready) / 1000.0);
        std::printf("run %d: seq 1 %d shown in %.2f s after the launch, %.2f s after the window was ready\n", run,
                    lines, fromLaunch.back(), fromReady.back());
        std::fflush(stdout);
        console.RequestClose();
        DWORD code = 0;
        console.WaitForExit(15000, &code);
    }
    std::sort(fromLaunch.begin(), fromLaunch.end());
    std::sort(fromReady.begin(), fromReady.end());
    std::printf("median: %.2f s after the launch, %.2f s after the window was ready (%d runs, %d lines)\n",
                fromLaunch[fromLaunch.size() / 2], fromReady[fromReady.size() / 2], runs, lines);
    return 0;
}
