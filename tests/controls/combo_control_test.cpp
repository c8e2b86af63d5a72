// The combo box: its height rule on both sides of the visual-styles probe,
// its history list, selection and text, and the events its notifications
// become.
#include "control_test_support.h"

#include "controls/combo_control.h"
#include "controls/combo_sizing.h"
#include "controls/control_fields.h"
#include "controls/control_framework.h"
#include "controls/visual_styles_probe.h"
#include "toolkit/event_codes.h"
#include "toolkit/event_queue.h"

#include "support/message_recorder.h"

#include <optional>

namespace controls_test {
namespace {

using toolkit::ControlEvent;

constexpr int64_t Box = 1;

std::wstring ItemText(HWND combo, int index) {
    const LRESULT length = SendMessageW(combo, CB_GETLBTEXTLEN, index, 0);
    if (length < 0) return L"<none>";
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    SendMessageW(combo, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<size_t>(length));
    return text;
}

std::vector<std::wstring> Items(HWND combo) {
    std::vector<std::wstring> items;
    const LRESULT count = SendMessageW(combo, CB_GETCOUNT, 0, 0);
    for (int i = 0; i < count; ++i) items.push_back(ItemText(combo, i));
    return items;
}

// An editable box whose history holds the blank item, then "B", then "A"
// (the newest command first).
HWND ComboWithHistory() {
    const HWND combo = controls::CreateComboControl(Box, 0, 0, 200, 300, 0x42);
    if (!combo) return nullptr;
    controls::AddControlItem(Box, -1, L"");
    controls::AddControlItem(Box, 1, L"A");
    controls::AddControlItem(Box, 1, L"B");
    return combo;
}

int WindowHeight(HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    return r.bottom - r.top;
}

class ComboHeightTest : public ControlWindowTest {
protected:
    void TearDown() override {
        // Back to what the platform itself reports.
        controls::SetVisualStylesForTesting(0, 0);
        (void)controls::ProbeVisualStyles();
        ControlWindowTest::TearDown();
    }
};

TEST_F(ComboHeightTest, CreationHeightFollowsVisualStyles) {
    struct Branch {
        int32_t active;
        int expectedCreationHeight;
    };
    for (const Branch& branch : {Branch{1, 730}, Branch{0, 350}}) {
        SCOPED_TRACE(branch.active);
        controls::SetVisualStylesForTesting(0x60010, branch.active);
        WindowLifeRecorder recorder;
        const HWND combo = controls::CreateComboControl(Box, 10, 10, 200, 700, 0x42);
        ASSERT_NE(combo, nullptr);
        const WindowRecordEntry* entry = recorder.FirstCreated(L"ComboBox");
        ASSERT_NE(entry, nullptr);
        EXPECT_EQ(entry->cy, branch.expectedCreationHeight);
        controls::DestroyControl(Box);
    }
}

TEST_F(ComboHeightTest, ClosedBoxIsAsTallAsRequested) {
    support::MessageLog log;
    std::optional<support::MessageRecorder> heights;
    HWND combo = nullptr;
    {
        WindowLifeRecorder recorder([&](HWND w) {
            if (_wcsicmp(ClassNameOf(w).c_str(), L"ComboBox") == 0) heights.emplace(w, &log);
            return true;
        });
        combo = controls::CreateComboControl(Box, 10, 10, 200, 700, 0x42);
    }
    ASSERT_NE(combo, nullptr);
    EXPECT_EQ(WindowHeight(combo), 700);
    // The selection field set to a known height measures the frame around
    // it; then the field takes what the frame leaves of the requested height.
    const auto field = static_cast<WPARAM>(-1);
    const int64_t frame = controls::ComboFrameExtra();
    EXPECT_GT(frame, 0);
    EXPECT_EQ(support::SequenceMismatch(log,
                                        {{combo, CB_SETITEMHEIGHT, field, 15},
                                         {combo, CB_SETITEMHEIGHT, field, static_cast<LPARAM>(700 - frame)}},
                                        {CB_SETITEMHEIGHT}),
              "");
}

TEST_F(ComboHeightTest, ProbeReportsLibraryVersionOnce) {
    controls::SetVisualStylesForTesting(0, 0);
    const int64_t version = controls::ProbeVisualStyles();
    EXPECT_EQ(version, controls::CommonControlsVersion());
    // This process names common controls 6 in its manifest; Wine's library
    // reports itself as 5.81 all the same.
    EXPECT_GE(version >> 16, 5);
    RecordProperty("CommonControlsVersion", std::to_string(version >> 16) + "." + std::to_string(version & 0xFFFF));
    if (version < 0x60000) {
        EXPECT_EQ(controls::VisualStylesActive(), 0);
    }
    // A probe that has run returns at once with the same answer.
    controls::SetVisualStylesForTesting(version, 1);
    EXPECT_EQ(controls::ProbeVisualStyles(), version);
    EXPECT_EQ(controls::VisualStylesActive(), 1);
}

TEST_F(AddControlItem, HistoryKeepsBlankFirstAndNewestCommandsNext) {
    HWND combo = controls::CreateComboControl(Box, 0, 0, 200, 300, 0x42);
    ASSERT_NE(combo, nullptr);
    EXPECT_EQ(controls::AddControlItem(Box, -1, L""), 1);
    EXPECT_EQ(Items(combo), (std::vector<std::wstring>{L""}));
    EXPECT_EQ(controls::AddControlItem(Box, 1, L"A"), 1);
    EXPECT_EQ(controls::AddControlItem(Box, 1, L"B"), 1);
    EXPECT_EQ(Items(combo), (std::vector<std::wstring>{L"", L"B", L"A"}));
    // Below -1 nothing is added, and the answer is still 1.
    EXPECT_EQ(controls::AddControlItem(Box, -2, L"C"), 1);
    EXPECT_EQ(Items(combo), (std::vector<std::wstring>{L"", L"B", L"A"}));
    // No duplicate check.
    EXPECT_EQ(controls::AddControlItem(Box, 1, L"A"), 1);
    EXPECT_EQ(Items(combo), (std::vector<std::wstring>{L"", L"A", L"B", L"A"}));
}

TEST_F(SetControlState, SelectingBlankItemClearsField) {
    const HWND combo = ComboWithHistory();
    ASSERT_NE(combo, nullptr);
    controls::SetControlText(Box, L"ls -l");
    EXPECT_EQ(controls::GetControlText(Box), L"ls -l");
    controls::SetControlState(Box, 1);
    EXPECT_EQ(controls::GetControlText(Box), L"B");
    controls::SetControlState(Box, 0);
    EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), 0);
    EXPECT_EQ(controls::GetControlText(Box), L"");
}

TEST_F(GetControlText, TextDuringSelectionChangeIsSelectedItems) {
    const HWND combo = ComboWithHistory();
    ASSERT_NE(combo, nullptr);
    controls::ControlRecord* record = controls::FindControl(Box);
    ASSERT_NE(record, nullptr);
    SendMessageW(combo, CB_SETCURSEL, 1, 0);
    SetWindowTextW(combo, L"typed");

    // What the flag set by the selection-change notification changes.
    controls::InSelectionChange(*record) = 1;
    EXPECT_EQ(controls::GetControlText(Box), L"B");
    SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
    SetWindowTextW(combo, L"typed");
    EXPECT_EQ(controls::GetControlText(Box), L"");
    controls::InSelectionChange(*record) = 0;
    EXPECT_EQ(controls::GetControlText(Box), L"typed");
}

TEST_F(RaiseControlEvent, ArrowKeyInFieldSelectsNextItemAndRaisesChange) {
    const HWND combo = ComboWithHistory();
    ASSERT_NE(combo, nullptr);
    controls::SetControlState(Box, 0);
    controls::FocusControl(Box);
    HWND field = GetFocus();
    ASSERT_EQ(GetParent(field), combo);
    (void)TakePending();

    const LPARAM downKey = 1 | (MapVirtualKeyW(VK_DOWN, MAPVK_VK_TO_VSC) << 16) | (1 << 24);
    ASSERT_TRUE(PostMessageW(field, WM_KEYDOWN, VK_DOWN, downKey));
    ASSERT_TRUE(WaitEventsUntil([&] { return SendMessageW(combo, CB_GETCURSEL, 0, 0) == 1; }));
    toolkit::DropEvents(ControlEvent, Box, 0, controls::ControlChanged);
    EXPECT_EQ(ControlEventsOf(Box), 0);
    EXPECT_EQ(controls::GetControlText(Box), L"B");
    // Outside the notification the flag is down again.
    EXPECT_EQ(controls::InSelectionChange(*controls::FindControl(Box)), 0);

    ASSERT_TRUE(PostMessageW(field, WM_KEYDOWN, VK_DOWN, downKey));
    ASSERT_TRUE(WaitEventsUntil([&] { return SendMessageW(combo, CB_GETCURSEL, 0, 0) == 2; }));
    EXPECT_EQ(ControlEventsOf(Box), 1);
}

TEST_F(RaiseControlEvent, TypingInFieldRaisesChange) {
    HWND combo = controls::CreateComboControl(Box, 0, 0, 200, 300, 0x42);
    ASSERT_NE(combo, nullptr);
    controls::FocusControl(Box);
    HWND field = GetFocus();
    ASSERT_EQ(GetParent(field), combo);
    (void)TakePending();
    ASSERT_TRUE(PostMessageW(field, WM_CHAR, L'l', 1));
    ASSERT_TRUE(WaitEventsUntil([&] { return controls::GetControlText(Box) == L"l"; }));
    toolkit::DropEvents(ControlEvent, Box, 0, controls::ControlChanged);
    EXPECT_EQ(ControlEventsOf(Box), 0);
    ASSERT_TRUE(PostMessageW(field, WM_CHAR, L's', 1));
    ASSERT_TRUE(WaitEventsUntil([&] { return controls::GetControlText(Box) == L"ls"; }));
    EXPECT_EQ(ControlEventsOf(Box), 1);
}

// Each command notification the box sends its parent, and the event it
// becomes (0: none).
TEST_F(RaiseControlEvent, CommandNotificationsBecomeControlEvents) {
    HWND editable = controls::CreateComboControl(Box, 0, 0, 200, 300, 0x42);
    HWND listOnly = controls::CreateComboControl(24, 0, 40, 200, 300, 0x40);
    ASSERT_NE(editable, nullptr);
    ASSERT_NE(listOnly, nullptr);
    struct Case {
        HWND combo;
        int64_t number;
        WORD code;
        int64_t data;
    };
    const Case cases[] = {
        {editable, Box, CBN_SELCHANGE, controls::ControlChanged},
        {editable, Box, CBN_SETFOCUS, controls::ControlFocused},
        {editable, Box, CBN_KILLFOCUS, controls::ControlUnfocused},
        {editable, Box, CBN_EDITCHANGE, controls::ControlChanged},
        {editable, Box, CBN_DROPDOWN, 0},
        {editable, Box, CBN_EDITUPDATE, 0},
        {listOnly, 24, CBN_SELCHANGE, controls::ControlChanged},
        {listOnly, 24, CBN_SETFOCUS, 0},
        {listOnly, 24, CBN_KILLFOCUS, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        (void)TakePending();
        const WPARAM wParam = MAKEWPARAM(static_cast<WORD>(c.number), c.code);
        const LPARAM lParam = reinterpret_cast<LPARAM>(c.combo);
        EXPECT_EQ(controls::ForwardToControl(c.combo, window_, WM_COMMAND, wParam, lParam), 0);
        EXPECT_EQ(ControlEventsOf(c.number), c.data ? 1 : 0);
        // Through the window's own procedure, as the platform sends it.
        EXPECT_EQ(SendMessageW(window_, WM_COMMAND, wParam, lParam), 0);
        if (c.data) toolkit::DropEvents(ControlEvent, c.number, 0, c.data);
        EXPECT_EQ(ControlEventsOf(c.number), 0);
    }
    // Other messages are left to the platform.
    EXPECT_EQ(controls::ForwardToControl(editable, window_, WM_CTLCOLOREDIT, 0, 0), toolkit::NotHandled);
}

TEST_F(SetControlText, ListOnlyBoxSelectsByText) {
    HWND combo = controls::CreateComboControl(24, 0, 0, 200, 300, 0x40);
    ASSERT_NE(combo, nullptr);
    for (const wchar_t* item : {L"alpha", L"beta", L"gamma"}) controls::AddControlItem(24, -1, item);
    controls::SetControlText(24, L"beta");
    EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), 1);
    EXPECT_EQ(controls::GetControlText(24), L"beta");
    controls::SetControlText(24, L"delta");  // no such item: selection unchanged
    EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), 1);
    controls::SetControlText(24, L"");
    EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), CB_ERR);
    EXPECT_EQ(controls::GetControlText(24), L"");
}

}  // namespace
}  // namespace controls_test
