// The combo box: a drop-down list, editable or not, whose closed height is the
// requested height however tall that is.
#include "controls/combo_control.h"

#include "controls/combo_sizing.h"
#include "controls/control_creation.h"
#include "controls/control_fields.h"
#include "controls/controls_state.h"
#include "controls/visual_styles_probe.h"
#include "toolkit/event_codes.h"

#include <commctrl.h>

namespace controls {
namespace {

constexpr int32_t ComboKindCode = 8;
constexpr uint32_t ComboStyle = WS_CHILD | WS_VISIBLE | WS_BORDER | WS_VSCROLL | WS_GROUP;
constexpr uint32_t EditableFlag = CBS_DROPDOWN;
constexpr uint32_t ExtendedFlag = 0x10000000;  // the image combo class
// Without EditableFlag the box is a list the user picks from, and itself a tab stop.
constexpr uint32_t ListOnlyFlags = CBS_DROPDOWNLIST | WS_TABSTOP;
// The style bit an editable drop-down has clear (set in CBS_SIMPLE and
// CBS_DROPDOWNLIST); only such a box reports focus changes.
constexpr LONG_PTR NotEditableDropDownBit = CBS_SIMPLE;
static_assert(ComboStyle == 0x50A20000 && EditableFlag == 0x2 && ListOnlyFlags == 0x10003);
// Height given at creation: for a drop-down combo box it is the height of the
// open list, not of the closed box.
constexpr int32_t ListHeight = 350;
// With visual styles the box is created this much taller than requested.
constexpr int32_t ThemedListExtra = 30;
// Field height used to measure the frame around the selection field.
constexpr int32_t MeasureFieldHeight = 15;
// CB_SETITEMHEIGHT index that addresses the selection field.
constexpr WPARAM SelectionField = static_cast<WPARAM>(-1);

bool IsEditable(HWND window) noexcept {
    // CBS_DROPDOWNLIST has both low bits set; a list-only box cannot be typed in.
    return (GetWindowLongPtrW(window, GWL_STYLE) & CBS_DROPDOWNLIST) != CBS_DROPDOWNLIST;
}

// Sizes the selection field so that the closed box is `height` tall.
void FitClosedHeight(HWND window, int32_t height) noexcept {
    int64_t& frameExtra = Controls().comboFrameExtra;
    frameExtra = -1;
    SendMessageW(window, CB_SETITEMHEIGHT, SelectionField, MeasureFieldHeight);
    RECT rect{};
    (void)GetWindowRect(window, &rect);  // a window just created has a rectangle
    frameExtra = (rect.bottom - rect.top) - MeasureFieldHeight;
    SendMessageW(window, CB_SETITEMHEIGHT, SelectionField, height - frameExtra);
}

LRESULT ComboNotify(ControlRecord* record, HWND, UINT message, WPARAM wParam, LPARAM) noexcept {
    if (message != WM_COMMAND) return toolkit::NotHandled;
    HWND window = record->window;
    switch (HIWORD(wParam)) {
    case CBN_SELCHANGE:
        // While the event is raised the box's text is the selected item's,
        // not the field's, which the platform updates only afterwards.
        InSelectionChange(*record) = 1;
        RaiseControlEvent(window, ControlChanged);
        InSelectionChange(*record) = 0;
        break;
    case CBN_SETFOCUS:
        if ((GetWindowLongPtrW(window, GWL_STYLE) & NotEditableDropDownBit) == 0)
            RaiseControlEvent(window, ControlFocused);
        break;
    case CBN_KILLFOCUS:
        if ((GetWindowLongPtrW(window, GWL_STYLE) & NotEditableDropDownBit) == 0)
            RaiseControlEvent(window, ControlUnfocused);
        break;
    case CBN_EDITCHANGE:
        RaiseControlEvent(window, ControlChanged);
        break;
    default:
        break;
    }
    // Handled: the parent raises nothing further for it.
    return 0;
}

void ComboDestroy(ControlRecord* record) noexcept {
    if (auto images = reinterpret_cast<HIMAGELIST>(ImageList(*record))) {
        (void)ImageList_Destroy(images);  // nothing to do if it fails
        ImageList(*record) = 0;
    }
}

int64_t ComboGetState(ControlRecord* record) noexcept { return SendMessageW(record->window, CB_GETCURSEL, 0, 0); }

void ComboSetState(ControlRecord* record, int64_t state) noexcept {
    SendMessageW(record->window, CB_SETCURSEL, static_cast<WPARAM>(state), 0);
}

std::wstring ComboGetText(ControlRecord* record) {
    HWND window = record->window;
    if (InSelectionChange(*record) != 1) return ReadWindowText(window);
    const LRESULT index = SendMessageW(window, CB_GETCURSEL, 0, 0);
    if (index == CB_ERR) return {};
    const LRESULT length = SendMessageW(window, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length <= 0) return {};
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    SendMessageW(window, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
    text.resize(text.find(L'\0'));
    return text;
}

void ComboSetText(ControlRecord* record, const wchar_t* text) noexcept {
    HWND window = record->window;
    if (IsEditable(window)) {
        (void)SetWindowTextW(window, text);  // sets the edit field; nothing to do if the box is gone
        return;
    }
    if (!*text) {
        SendMessageW(window, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
        return;
    }
    const LRESULT index = SendMessageW(window, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                       reinterpret_cast<LPARAM>(text));
    if (index != CB_ERR) SendMessageW(window, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

int64_t ComboAddItem(ControlRecord* record, int64_t position, const wchar_t* text, int64_t) noexcept {
    HWND window = record->window;
    if (Extended(*record) == 1) {
        COMBOBOXEXITEMW item{};
        item.mask = CBEIF_TEXT;
        item.iItem = position < 0 ? SendMessageW(window, CB_GETCOUNT, 0, 0) : static_cast<INT_PTR>(position);
        item.pszText = const_cast<wchar_t*>(text);
        SendMessageW(window, CBEM_INSERTITEM, 0, reinterpret_cast<LPARAM>(&item));
        // The image combo box resizes its field when items arrive; keep the
        // closed height.
        RECT rect{};
        if (GetWindowRect(window, &rect))
            SendMessageW(window, CB_SETITEMHEIGHT, SelectionField, (rect.bottom - rect.top) - Controls().comboFrameExtra);
        return 1;
    }
    // -1 appends; a position below that adds nothing.
    if (position >= -1)
        SendMessageW(window, CB_INSERTSTRING, static_cast<WPARAM>(position), reinterpret_cast<LPARAM>(text));
    return 1;
}

const ControlKind& ComboKind() noexcept {
    static const ControlKind kind{
        .kindCode = ComboKindCode,
        .notify = ComboNotify,        // commands: selection, edit change, focus
        .destroyHook = ComboDestroy,  // destroys imageList
        .getState = ComboGetState,    // selected index
        .setState = ComboSetState,    // CB_SETCURSEL
        .getText = ComboGetText,      // field text, or the item being selected
        .setText = ComboSetText,      // field text, or select the matching item
        .addItem = ComboAddItem,      // CB_INSERTSTRING
        .addItemEx = nullptr,
        .focus = nullptr,             // SetFocus on the box, which passes it to its field
    };
    return kind;
}

}  // namespace

int64_t ComboFrameExtra() noexcept { return Controls().comboFrameExtra; }

HWND CreateComboControl(int64_t number, int32_t x, int32_t y, int32_t width, int32_t height,
                        uint32_t flags) noexcept {
    (void)ProbeVisualStyles();  // once; the creation height depends on it
    height = ScaleToPixels(height);

    const bool extended = (flags & ExtendedFlag) != 0;
    const wchar_t* className = extended ? L"ComboBoxEx32" : L"ComboBox";
    int32_t creationHeight = ListHeight;
    if (!extended && VisualStylesActive() == 1) creationHeight = height + ThemedListExtra;
    if (!(flags & EditableFlag)) flags |= ListOnlyFlags;
    const DWORD style = flags | ComboStyle;

    const CreatedControl made =
        CreateControlWindow(number, 0, className, nullptr, style, x, y, width, creationHeight);
    if (!made.window) return nullptr;
    if (flags & EditableFlag) {
        // The box itself is no tab stop; its edit field is, so Tab lands
        // where the user types.
        HWND edit = GetWindow(made.window, GW_CHILD);
        if (extended && edit) edit = GetWindow(edit, GW_CHILD);
        if (edit) SetWindowLongPtrW(edit, GWL_STYLE, GetWindowLongPtrW(edit, GWL_STYLE) | WS_TABSTOP);
    }
    InSelectionChange(*made.record) = 0;
    Extended(*made.record) = extended ? 1 : 0;
    RegisterControl(number, made.record, made.window, &ComboKind());
    FitClosedHeight(made.window, height);
    return made.window;
}

}  // namespace controls
