// The exact window styles of the controls this system creates: as passed to
// the platform (seen by a CBT hook) and as the live window has them.
#include "control_test_support.h"

#include "controls/combo_control.h"
#include "controls/control_framework.h"
#include "controls/label_control.h"
#include "controls/text_control.h"

#include <functional>
#include <vector>

namespace controls_test {
namespace {

struct StyleCase {
    const char* name;
    std::function<HWND()> create;
    const wchar_t* className;
    DWORD style;
    DWORD exStyle;
};

// Every control is a visible child that starts a group.
constexpr DWORD Child = WS_CHILD | WS_VISIBLE | WS_GROUP;
constexpr DWORD ReadOnlyText = Child | WS_TABSTOP | ES_READONLY | ES_AUTOHSCROLL | ES_MULTILINE;
constexpr DWORD Combo = Child | WS_BORDER | WS_VSCROLL | CBS_AUTOHSCROLL;

TEST_F(CreateControl, CreationStylesAreExact) {
    const StyleCase cases[] = {
        {"label out", [] { return controls::CreateLabelControl(2, 0, 0, 100, 20, L"out"); }, L"Static", Child | SS_NOPREFIX, 0},
        {"read-only text 0x804", [] { return controls::CreateTextControl(0, 0, 30, 300, 200, L"", 0x804); }, L"Edit",
         ReadOnlyText, WS_EX_CLIENTEDGE},
        {"transcript 0x844", [] { return controls::CreateTextControl(20, 0, 30, 300, 200, L"", 0x844); }, L"Edit",
         ReadOnlyText | ES_AUTOVSCROLL, WS_EX_CLIENTEDGE},
        {"text 0x20804", [] { return controls::CreateTextControl(21, 0, 30, 300, 200, L"", 0x20804); }, L"Edit",
         ReadOnlyText, 0},
        {"combo 0x42", [] { return controls::CreateComboControl(1, 0, 240, 200, 300, 0x42); }, L"ComboBox",
         Combo | CBS_DROPDOWN, 0},
        {"combo 0x40", [] { return controls::CreateComboControl(22, 0, 240, 200, 300, 0x40); }, L"ComboBox",
         Combo | WS_TABSTOP | CBS_DROPDOWNLIST, 0},
    };
    for (const StyleCase& c : cases) {
        SCOPED_TRACE(c.name);
        HWND window = nullptr;
        DWORD passedStyle = 0, passedExStyle = 0;
        {
            WindowLifeRecorder recorder;
            window = c.create();
            ASSERT_NE(window, nullptr);
            const WindowRecordEntry* entry = recorder.FirstCreated(c.className);
            ASSERT_NE(entry, nullptr);
            EXPECT_EQ(entry->window, window);
            passedStyle = entry->style;
            passedExStyle = entry->exStyle;
        }
        EXPECT_EQ(ClassNameOf(window), c.className);
        EXPECT_EQ(passedStyle, c.style) << std::hex << passedStyle;
        EXPECT_EQ(passedExStyle, c.exStyle) << std::hex << passedExStyle;
        // The platform takes WS_BORDER and WS_VSCROLL off the combo box's own
        // window; they apply to its drop-down list (checked below).
        const DWORD platformMoved = c.className == std::wstring(L"ComboBox") ? (WS_BORDER | WS_VSCROLL) : 0;
        EXPECT_EQ(static_cast<DWORD>(StyleOf(window)) & ~platformMoved, c.style & ~platformMoved)
            << std::hex << StyleOf(window);
        EXPECT_EQ(static_cast<DWORD>(ExStyleOf(window)), c.exStyle) << std::hex << ExStyleOf(window);
        EXPECT_EQ(GetParent(window), window_);
    }
}

// The process is not DPI aware, so geometry reaches the platform unscaled.
TEST_F(CreateControl, GeometryReachesPlatformUnchanged) {
    WindowLifeRecorder recorder;
    ASSERT_NE(controls::CreateLabelControl(2, 7, 9, 100, 20, L"out"), nullptr);
    ASSERT_NE(controls::CreateTextControl(0, 11, 13, 300, 200, L"", 0x804), nullptr);
    const WindowRecordEntry* label = recorder.FirstCreated(L"Static");
    const WindowRecordEntry* text = recorder.FirstCreated(L"Edit");
    ASSERT_NE(label, nullptr);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ((std::vector<int>{label->x, label->y, label->cx, label->cy}), (std::vector<int>{7, 9, 100, 20}));
    EXPECT_EQ((std::vector<int>{text->x, text->y, text->cx, text->cy}), (std::vector<int>{11, 13, 300, 200}));
}

TEST_F(CreateControl, ComboPartsHaveTheirStyles) {
    for (uint32_t flags : {0x42u, 0x40u}) {
        SCOPED_TRACE(flags);
        HWND combo = controls::CreateComboControl(1, 0, 0, 200, 300, flags);
        ASSERT_NE(combo, nullptr);
        COMBOBOXINFO info{};
        info.cbSize = sizeof(info);
        ASSERT_TRUE(GetComboBoxInfo(combo, &info));
        ASSERT_NE(info.hwndList, nullptr);
        // The list shows its scroll bar once it holds more than it can show.
        for (int i = 0; i < 60; ++i) controls::AddControlItem(1, -1, L"item");
        EXPECT_EQ(StyleOf(info.hwndList) & (WS_VSCROLL | WS_BORDER), WS_VSCROLL | WS_BORDER) << std::hex << StyleOf(info.hwndList);
        // The editable box has its tab stop on its field, its first child
        // (the box itself has none, as the exact styles show).
        if (flags == 0x42) {
            const HWND first = GetWindow(combo, GW_CHILD);
            EXPECT_EQ(ClassNameOf(first), L"Edit");
            EXPECT_EQ(StyleOf(first) & WS_TABSTOP, WS_TABSTOP);
        }
    }
}

// The window's client area as drawn by the window itself, pixel by pixel.
std::vector<COLORREF> Render(HWND window) {
    RECT rect{};
    GetClientRect(window, &rect);
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, rect.right, rect.bottom);
    ReleaseDC(nullptr, screen);
    HGDIOBJ old = SelectObject(dc, bitmap);
    FillRect(dc, &rect, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    SendMessageW(window, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT | PRF_ERASEBKGND);
    std::vector<COLORREF> pixels;
    for (int y = 0; y < rect.bottom; ++y)
        for (int x = 0; x < rect.right; ++x) pixels.push_back(GetPixel(dc, x, y));
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    return pixels;
}

HWND PlainStatic(HWND parent, const wchar_t* text, int y) {
    HWND w = CreateWindowExW(0, L"Static", text, WS_CHILD | WS_VISIBLE, 0, y, 100, 20, parent, nullptr,
                             GetModuleHandleW(nullptr), nullptr);
    SendMessageW(w, WM_SETFONT, reinterpret_cast<WPARAM>(controls::DefaultControlFont()), FALSE);
    return w;
}

TEST_F(CreateControl, LabelShowsAmpersandAsText) {
    HWND label = controls::CreateLabelControl(2, 0, 0, 100, 20, L"&x");
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(StyleOf(label) & SS_NOPREFIX, SS_NOPREFIX);
    EXPECT_EQ(controls::GetControlText(2), L"&x");
    // Drawn like a plain static whose doubled ampersand shows one, and unlike
    // one that takes the ampersand as a mnemonic prefix.
    HWND literal = PlainStatic(window_, L"&&x", 30);
    HWND mnemonic = PlainStatic(window_, L"&x", 60);
    ASSERT_NE(literal, nullptr);
    ASSERT_NE(mnemonic, nullptr);
    const std::vector<COLORREF> shown = Render(label);
    EXPECT_TRUE(shown == Render(literal));
    EXPECT_FALSE(shown == Render(mnemonic));
}

}  // namespace
}  // namespace controls_test
