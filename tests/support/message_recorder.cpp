#include "support/message_recorder.h"

namespace support {

namespace {
constexpr wchar_t RecorderProperty[] = L"TestMessageRecorder";
}

MessageRecorder::MessageRecorder(HWND window) : window_(window) {
    SetPropW(window, RecorderProperty, this);
    previous_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Procedure)));
}

MessageRecorder::~MessageRecorder() {
    if (!IsWindow(window_)) return;
    SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous_));
    RemovePropW(window_, RecorderProperty);
}

size_t MessageRecorder::Count(UINT message) const {
    size_t n = 0;
    for (const Message& m : messages) n += m.message == message ? 1 : 0;
    return n;
}

size_t MessageRecorder::Count(UINT message, WPARAM wParam) const {
    size_t n = 0;
    for (const Message& m : messages) n += (m.message == message && m.wParam == wParam) ? 1 : 0;
    return n;
}

LRESULT CALLBACK MessageRecorder::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = static_cast<MessageRecorder*>(GetPropW(window, RecorderProperty));
    if (!self) return DefWindowProcW(window, message, wParam, lParam);
    self->messages.push_back({message, wParam, lParam});
    return CallWindowProcW(self->previous_, window, message, wParam, lParam);
}

}  // namespace support
