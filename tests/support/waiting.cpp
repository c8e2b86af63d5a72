#include "support/waiting.h"

namespace support {

bool WaitUntil(const std::function<bool()>& condition, DWORD ms, DWORD pollMs) {
    return PumpUntil(condition, ms, [pollMs] { Sleep(pollMs); });
}

void DispatchMessages(DWORD ms) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, ms, QS_ALLINPUT);
}

bool PumpUntil(const std::function<bool()>& done, DWORD ms, const std::function<void()>& step) {
    const ULONGLONG deadline = GetTickCount64() + ms;
    for (;;) {
        if (done()) return true;
        if (GetTickCount64() >= deadline) return done();
        step();
    }
}

bool NothingWithin(DWORD ms, const std::function<bool()>& happened, DWORD pollMs) {
    return !WaitUntil(happened, ms, pollMs);
}

}  // namespace support
