// The operations that address a control by number, dispatched to the kind's
// slots with the fallbacks every kind shares; a number without a control
// does nothing. They are called on the thread that owns the controls; text
// from other threads reaches the transcript through the console's feed.
#include "controls/control_creation.h"
#include "controls/control_framework.h"
#include "toolkit/event_queue.h"

namespace controls {
namespace {

// Every change below runs suppressed, so the notifications it causes on the
// calling thread raise no ControlEvent.
using toolkit::SuppressedEvents;

const wchar_t* OrEmpty(const wchar_t* text) noexcept { return text ? text : L""; }

}  // namespace

std::wstring ReadWindowText(HWND window) {
    const int length = GetWindowTextLengthW(window);
    if (length <= 0) return {};
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    // The copy is NUL-terminated even if the text shrank between the two
    // calls.
    (void)GetWindowTextW(window, text.data(), length + 1);
    text.resize(text.find(L'\0'));
    return text;
}

std::wstring GetControlText(int64_t number) {
    ControlRecord* record = FindControl(number);
    if (!record) return {};
    if (record->kind && record->kind->getText) return record->kind->getText(record);
    return ReadWindowText(record->window);
}

void SetControlText(int64_t number, const wchar_t* text) noexcept {
    ControlRecord* record = FindControl(number);
    if (!record) return;
    SuppressedEvents suppressed;
    if (record->kind && record->kind->setText)
        record->kind->setText(record, OrEmpty(text));
    else
        (void)SetWindowTextW(record->window, OrEmpty(text));  // a window gone meanwhile keeps nothing to set
}

int64_t AddControlItem(int64_t number, int64_t position, const wchar_t* text) noexcept {
    ControlRecord* record = FindControl(number);
    if (!record || !record->kind) return 0;
    SuppressedEvents suppressed;
    if (record->kind->addItemEx) return record->kind->addItemEx(record, position, OrEmpty(text), 0, 0);
    if (record->kind->addItem) return record->kind->addItem(record, position, OrEmpty(text), 0);
    return 0;
}

void SetControlState(int64_t number, int64_t state) noexcept {
    ControlRecord* record = FindControl(number);
    if (!record || !record->kind || !record->kind->setState) return;
    SuppressedEvents suppressed;
    record->kind->setState(record, state);
}

void FocusControl(int64_t number) noexcept {
    if (number == -1) {
        (void)SetFocus(nullptr);  // no window keeps the keyboard focus
        return;
    }
    ControlRecord* record = FindControl(number);
    if (!record) return;
    if (record->kind && record->kind->focus)
        record->kind->focus(record);
    else
        (void)SetFocus(record->window);  // the previous focus is of no interest
}

}  // namespace controls
