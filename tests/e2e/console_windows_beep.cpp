// wslconsole as it behaves on Windows, for scripts/bench: built from the same
// libraries as the shipped program, with one difference. Wine's Beep returns
// at once; Windows' returns only when its tone has ended. Here every beep
// blocks for its tone, and is counted, per tone, with the time the last one
// ended, in shared memory named after this process (BenchBeepLogName), where
// the benchmark reads them. The shipped program has no such switch.

#include "app/console_beep.h"
#include "app/startup.h"
#include "tests/e2e/bench_beep_log.h"

#include <windows.h>

namespace {

BenchBeepLog* g_log = nullptr;

BOOL WINAPI WindowsBeep(DWORD frequency, DWORD duration) {
    const LONG64 start = BenchNow();
    const LONG64 until = start + static_cast<LONG64>(duration) * BenchTicksPerMs();
    for (LONG64 now = BenchNow(); now < until; now = BenchNow())
        Sleep(static_cast<DWORD>((until - now) / BenchTicksPerMs()) + 1);
    if (g_log) {
        InterlockedExchange64(&g_log->lastEnd, BenchNow());
        InterlockedIncrement64(&g_log->count[BenchToneIndex(frequency)]);
    }
    return TRUE;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    // Kept open for the process's life: the benchmark maps it by name.
    const HANDLE mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(BenchBeepLog),
                                              BenchBeepLogName(GetCurrentProcessId()).c_str());
    if (mapping) g_log = static_cast<BenchBeepLog*>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, sizeof(BenchBeepLog)));
    app::SetBeepFunction(&WindowsBeep);
    ExitProcess(app::RunConsole());
}
