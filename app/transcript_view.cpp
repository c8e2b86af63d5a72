#include "app/transcript_view.h"

#include "toolkit/main_window.h"
#include "toolkit/event_queue.h"

#include <cstdint>
#include <string>

namespace app {
namespace {

// Where a reader stands: both ends of the selection as the user made it
// (the anchor may lie after the caret), the first line in view and how far
// the view is scrolled sideways.
struct ReadingPlace {
    DWORD anchor;
    DWORD caret;
    LRESULT firstLine;
    int16_t firstCharacterX;
};

// The x of the text's first character: it moves left as the view scrolls
// right. EM_POSFROMCHAR packs x into 16 bits.
int16_t FirstCharacterX(HWND edit) noexcept {
    return static_cast<int16_t>(LOWORD(SendMessageW(edit, EM_POSFROMCHAR, 0, 0)));
}

// How far the text has moved to the right of where it stood at `x`.
int SidewaysShift(HWND edit, int16_t x) noexcept {
    // In 16 bits, as the coordinates come, so a wrapped coordinate still
    // gives the true distance.
    return static_cast<int16_t>(static_cast<uint16_t>(FirstCharacterX(edit) - x));
}

// `start` and `end` are the selection as EM_GETSEL gives it.
ReadingPlace PlaceOf(HWND edit, DWORD start, DWORD end) noexcept {
    ReadingPlace place{start, end, SendMessageW(edit, EM_GETFIRSTVISIBLELINE, 0, 0), FirstCharacterX(edit)};
    if (start != end) {
        // EM_GETSEL gives the ends in order. Dropping the selection leaves
        // the caret where it is, which tells which end it was.
        SendMessageW(edit, EM_SETSEL, static_cast<WPARAM>(-1), 0);
        DWORD caret = 0;
        SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&caret), 0);
        if (caret == start) {
            place.anchor = end;
            place.caret = start;
        }
    }
    return place;
}

// Scrolls the view sideways back to where the first character stood at `x`.
void ScrollSidewaysBack(HWND edit, int16_t x) noexcept {
    int shift = SidewaysShift(edit, x);
    if (shift == 0) return;
    // EM_LINESCROLL moves in steps of the font's average character width.
    int step = 0;
    if (const HDC dc = GetDC(edit)) {
        const HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(edit, WM_GETFONT, 0, 0)));
        TEXTMETRICW metrics{};
        if (GetTextMetricsW(dc, &metrics)) step = metrics.tmAveCharWidth;
        SelectObject(dc, old);
        ReleaseDC(edit, dc);
    }
    if (step <= 0) return;
    SendMessageW(edit, EM_LINESCROLL, static_cast<WPARAM>(shift / step), 0);
    if (SidewaysShift(edit, x) == 0) return;
    // The user's place need not be a whole number of steps from here. The
    // thumb positions (0 to 100 without a scroll bar) put the view at places
    // of their own; from one of them whole steps reach the user's place.
    for (int position = 0; position <= 100; ++position) {
        SendMessageW(edit, WM_HSCROLL, MAKEWPARAM(SB_THUMBPOSITION, position), 0);
        shift = SidewaysShift(edit, x);
        if (shift % step != 0) continue;
        SendMessageW(edit, EM_LINESCROLL, static_cast<WPARAM>(shift / step), 0);
        if (SidewaysShift(edit, x) == 0) return;
    }
    // None did: as near as whole steps come.
    SendMessageW(edit, EM_LINESCROLL, static_cast<WPARAM>(SidewaysShift(edit, x) / step), 0);
}

}  // namespace

void PrepareTranscript(HWND edit) noexcept {
    // 0 asks for the largest limit the control allows.
    SendMessageW(edit, EM_SETLIMITTEXT, 0, 0);
}

void AppendToTranscript(HWND edit, std::wstring_view text) noexcept {
    if (!edit || text.empty()) return;
    const std::wstring piece(text);  // EM_REPLACESEL wants a terminated text
    // Under Wine the control walks its list of lines for most messages that
    // name a place in the text, so each append asks only what it needs: the
    // length (kept by the control), the selection (kept as two numbers), and
    // the replace itself.
    const LRESULT length = GetWindowTextLengthW(edit);
    DWORD selStart = 0;
    DWORD selEnd = 0;
    SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&selStart), reinterpret_cast<LPARAM>(&selEnd));
    const bool atEnd = static_cast<LRESULT>(selStart) == length && static_cast<LRESULT>(selEnd) == length;
    // The focus inside the console's window counts, also while another
    // program is in front: the user comes back to where they were reading.
    const bool reading = !atEnd && toolkit::FocusInside(GetAncestor(edit, GA_ROOT)) == edit;

    // The change notifications of our own append are no user events.
    const toolkit::SuppressedEvents suppressed;
    if (reading) {
        SendMessageW(edit, WM_SETREDRAW, FALSE, 0);
        const ReadingPlace place = PlaceOf(edit, selStart, selEnd);
        SendMessageW(edit, EM_SETSEL, static_cast<WPARAM>(length), static_cast<LPARAM>(length));
        SendMessageW(edit, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(piece.c_str()));
        // An anchor after the caret keeps the selection's direction.
        SendMessageW(edit, EM_SETSEL, place.anchor, place.caret);
        const LRESULT nowFirst = SendMessageW(edit, EM_GETFIRSTVISIBLELINE, 0, 0);
        if (nowFirst != place.firstLine) SendMessageW(edit, EM_LINESCROLL, 0, place.firstLine - nowFirst);
        ScrollSidewaysBack(edit, place.firstCharacterX);
        SendMessageW(edit, WM_SETREDRAW, TRUE, 0);
        InvalidateRect(edit, nullptr, TRUE);
    } else {
        // The caret is at the end already after every append of ours; a
        // selection elsewhere in an unfocused transcript is dropped.
        if (!atEnd) SendMessageW(edit, EM_SETSEL, static_cast<WPARAM>(length), static_cast<LPARAM>(length));
        // The replace scrolls the caret into view itself (the control has
        // ES_AUTOVSCROLL and ES_AUTOHSCROLL); an EM_SCROLLCARET after it
        // would walk the lines again for nothing.
        SendMessageW(edit, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(piece.c_str()));
    }
}

}  // namespace app
