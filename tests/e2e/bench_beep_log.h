#pragma once
// What the benchmark's variant of the console (console_windows_beep.cpp)
// tells about its beeps, in shared memory named after its process id.

#include "app/console_numbers.h"

#include <windows.h>

#include <string>

// The tones: a stdout line, a stderr line, Return or Escape, the end.
inline constexpr DWORD BenchTones[] = {app::OutputLineTone.frequency, app::ErrorLineTone.frequency,
                                       app::KeyTone.frequency, app::ShellEndTone.frequency};

struct BenchBeepLog {
    volatile LONG64 count[4];  // beeps of each of BenchTones so far
    volatile LONG64 lastEnd;   // when the last beep ended (QueryPerformanceCounter)
};

inline size_t BenchToneIndex(DWORD frequency) {
    for (size_t i = 0; i < 3; ++i)
        if (BenchTones[i] == frequency) return i;
    return 3;
}

inline std::wstring BenchBeepLogName(DWORD processId) { return L"wslc-bench-beeps-" + std::to_wstring(processId); }

inline LONG64 BenchNow() {
    LARGE_INTEGER c;
    QueryPerformanceCounter(&c);
    return c.QuadPart;
}

inline LONG64 BenchTicksPerMs() {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f.QuadPart / 1000;
}
