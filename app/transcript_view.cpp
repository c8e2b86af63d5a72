#include "app/transcript_view.h"

#include "toolkit/event_queue.h"

#include <string>

namespace app {

void PrepareTranscript(HWND edit) noexcept {
    // 0 asks for the largest limit the control allows.
    SendMessageW(edit, EM_SETLIMITTEXT, 0, 0);
}

void AppendToTranscript(HWND edit, std::wstring_view text) noexcept {
    if (!edit || text.empty()) return;
    const std::wstring piece(text);  // EM_REPLACESEL wants a terminated text
    const LRESULT length = GetWindowTextLengthW(edit);
    DWORD selStart = 0;
    DWORD selEnd = 0;
    SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&selStart), reinterpret_cast<LPARAM>(&selEnd));
    const bool reading = GetFocus() == edit &&
                         !(static_cast<LRESULT>(selStart) == length && static_cast<LRESULT>(selEnd) == length);

    // The change notifications of our own append are no user events.
    toolkit::SuppressEvents();
    if (reading) {
        const LRESULT firstLine = SendMessageW(edit, EM_GETFIRSTVISIBLELINE, 0, 0);
        SendMessageW(edit, WM_SETREDRAW, FALSE, 0);
        SendMessageW(edit, EM_SETSEL, static_cast<WPARAM>(length), static_cast<LPARAM>(length));
        SendMessageW(edit, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(piece.c_str()));
        SendMessageW(edit, EM_SETSEL, selStart, selEnd);
        const LRESULT nowFirst = SendMessageW(edit, EM_GETFIRSTVISIBLELINE, 0, 0);
        if (nowFirst != firstLine) SendMessageW(edit, EM_LINESCROLL, 0, firstLine - nowFirst);
        SendMessageW(edit, WM_SETREDRAW, TRUE, 0);
        InvalidateRect(edit, nullptr, TRUE);
    } else {
        SendMessageW(edit, EM_SETSEL, static_cast<WPARAM>(length), static_cast<LPARAM>(length));
        SendMessageW(edit, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(piece.c_str()));
        SendMessageW(edit, EM_SCROLLCARET, 0, 0);
    }
    toolkit::ResumeEvents();
}

}  // namespace app
