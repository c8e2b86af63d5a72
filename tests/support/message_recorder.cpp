#include "support/message_recorder.h"

#include <algorithm>
#include <sstream>

namespace support {

namespace {
constexpr wchar_t RecorderProperty[] = L"TestMessageRecorder";

bool Matches(const RecordedMessage& m, const ExpectedMessage& e) {
    return m.window == e.window && m.message == e.message && m.wParam == e.wParam &&
           (!e.lParam || *e.lParam == m.lParam);
}
}  // namespace

MessageRecorder::MessageRecorder(HWND window, MessageLog* into, Answer answer)
    : window_(window), log_(into ? into : &messages), answer_(std::move(answer)) {
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
    return static_cast<size_t>(
        std::count_if(log_->begin(), log_->end(), [&](const RecordedMessage& m) { return m.message == message; }));
}

size_t MessageRecorder::Count(UINT message, WPARAM wParam) const {
    return static_cast<size_t>(std::count_if(log_->begin(), log_->end(), [&](const RecordedMessage& m) {
        return m.message == message && m.wParam == wParam;
    }));
}

LRESULT CALLBACK MessageRecorder::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = static_cast<MessageRecorder*>(GetPropW(window, RecorderProperty));
    if (!self) return DefWindowProcW(window, message, wParam, lParam);
    self->log_->push_back({window, message, wParam, lParam});
    if (self->answer_)
        if (const std::optional<LRESULT> reply = self->answer_(message, wParam, lParam)) return *reply;
    return CallWindowProcW(self->previous_, window, message, wParam, lParam);
}

std::string SequenceMismatch(const MessageLog& log, const std::vector<ExpectedMessage>& expected,
                             std::initializer_list<UINT> watched) {
    MessageLog seen;
    for (const RecordedMessage& m : log)
        if (std::find(watched.begin(), watched.end(), m.message) != watched.end()) seen.push_back(m);
    if (std::equal(seen.begin(), seen.end(), expected.begin(), expected.end(), Matches)) return {};
    std::ostringstream out;
    out << std::hex << "expected:";
    for (const ExpectedMessage& e : expected) {
        out << " {" << e.window << " 0x" << e.message << " 0x" << e.wParam;
        if (e.lParam) out << " 0x" << *e.lParam;
        out << "}";
    }
    out << "\nreceived:";
    for (const RecordedMessage& m : seen) out << " {" << m.window << " 0x" << m.message << " 0x" << m.wParam << " 0x" << m.lParam << "}";
    return out.str();
}

}  // namespace support
