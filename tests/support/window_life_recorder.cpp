#include "support/window_life_recorder.h"

namespace support {

namespace {
WindowLifeRecorder* g_recorder = nullptr;
}

WindowLifeRecorder::WindowLifeRecorder(std::function<bool(HWND)> onCreate) : onCreate_(std::move(onCreate)) {
    g_recorder = this;
    hook_ = SetWindowsHookExW(WH_CBT, &WindowLifeRecorder::HookProc, nullptr, GetCurrentThreadId());
}

WindowLifeRecorder::~WindowLifeRecorder() {
    if (hook_) UnhookWindowsHookEx(hook_);
    g_recorder = nullptr;
}

const WindowRecordEntry* WindowLifeRecorder::FirstCreated(const std::wstring& className) const {
    for (const WindowRecordEntry& e : entries_)
        if (e.created && _wcsicmp(e.className.c_str(), className.c_str()) == 0) return &e;
    return nullptr;
}

LRESULT CALLBACK WindowLifeRecorder::HookProc(int code, WPARAM wParam, LPARAM lParam) {
    if (g_recorder) {
        auto window = reinterpret_cast<HWND>(wParam);
        if (code == HCBT_CREATEWND) {
            const CREATESTRUCTW* cs = reinterpret_cast<CBT_CREATEWNDW*>(lParam)->lpcs;
            g_recorder->entries_.push_back(
                {true, window, ClassNameOf(window), static_cast<DWORD>(cs->style), cs->dwExStyle, cs->x, cs->y, cs->cx, cs->cy});
            if (g_recorder->onCreate_ && !g_recorder->onCreate_(window)) return 1;
        } else if (code == HCBT_DESTROYWND) {
            g_recorder->entries_.push_back({false, window, ClassNameOf(window), 0, 0, 0, 0, 0, 0});
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

std::wstring ClassNameOf(HWND window) {
    wchar_t name[128] = {};
    GetClassNameW(window, name, 128);
    return name;
}

}  // namespace support
