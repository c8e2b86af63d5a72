#pragma once
// Records, through a CBT hook on the calling thread, the windows created and
// destroyed while it lives, with what CreateWindowExW was given.

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace support {

struct WindowRecordEntry {
    bool created;  // false: destroyed
    HWND window;
    std::wstring className;
    DWORD style;
    DWORD exStyle;
    int x;
    int y;
    int cx;
    int cy;
};

class WindowLifeRecorder {
public:
    // `onCreate` may subclass the new window before its creator sees it, or
    // refuse its creation by returning false.
    explicit WindowLifeRecorder(std::function<bool(HWND)> onCreate = {});
    ~WindowLifeRecorder();
    WindowLifeRecorder(const WindowLifeRecorder&) = delete;
    WindowLifeRecorder& operator=(const WindowLifeRecorder&) = delete;
    const std::vector<WindowRecordEntry>& entries() const { return entries_; }
    // The first creation of a window of `className` (any case), or null.
    const WindowRecordEntry* FirstCreated(const std::wstring& className) const;

private:
    static LRESULT CALLBACK HookProc(int code, WPARAM wParam, LPARAM lParam);
    HHOOK hook_ = nullptr;
    std::function<bool(HWND)> onCreate_;
    std::vector<WindowRecordEntry> entries_;
};

std::wstring ClassNameOf(HWND window);

}  // namespace support
