// The text control: its content through the generic operations, the events
// its notifications become, and its colour replies.
#include "control_test_support.h"

#include "controls/control_fields.h"
#include "controls/control_framework.h"
#include "controls/label_control.h"
#include "controls/text_control.h"
#include "toolkit/event_codes.h"
#include "toolkit/event_queue.h"

namespace controls_test {
namespace {

using toolkit::ControlEvent;

constexpr int64_t Text = 0;
constexpr int64_t EnSetFocus = 256, EnKillFocus = 512, EnChange = 768, EnUpdate = 1024;

// Types one character the way the platform delivers it to the focused field,
// and waits until the field has handled it (events stay queued).
void TypeCharacter(HWND field, wchar_t c) {
    ASSERT_TRUE(PostMessageW(field, WM_CHAR, c, 1));
    for (int i = 0; i < 100; ++i)
        if (toolkit::WaitEvent(1) == WM_CHAR) return;
    FAIL() << "WM_CHAR was not dispatched";
}

TEST_F(GetControlText, TranscriptTextChangesOnlyThroughSetControlText) {
    ASSERT_NE(controls::CreateTextControl(Text, 0, 0, 300, 200, L"kept\r\ntext", 0x804), nullptr);
    for (int64_t position : {-2, -1, 0, 1, 5}) {
        SCOPED_TRACE(position);
        EXPECT_EQ(controls::AddControlItem(Text, position, L"item"), 0);
        EXPECT_EQ(controls::AddControlItem(Text, position, nullptr), 0);
        EXPECT_EQ(controls::GetControlText(Text), L"kept\r\ntext");
    }
    controls::SetControlState(Text, 1);
    EXPECT_EQ(controls::GetControlText(Text), L"kept\r\ntext");
    controls::SetControlText(Text, L"first\r\nsecond");
    EXPECT_EQ(controls::GetControlText(Text), L"first\r\nsecond") << "line breaks unchanged";
    controls::SetControlText(Text, nullptr);
    EXPECT_EQ(controls::GetControlText(Text), L"");
}

TEST_F(SetControlText, SetControlTextRaisesNoEventOnCallingThread) {
    HWND field = controls::CreateTextControl(Text, 0, 0, 300, 20, L"", 0);
    ASSERT_NE(field, nullptr);
    (void)TakePending();
    // A single-line field reports a replaced text (a multi-line one does
    // not); without suppression the change is seen, so the check below can
    // see a missing bracket.
    ASSERT_TRUE(SetWindowTextW(field, L"direct"));
    ASSERT_GT(ControlEventsOf(Text), 0);

    controls::SetControlText(Text, L"through the operation");
    EXPECT_EQ(ControlEventsOf(Text), 0);
    EXPECT_EQ(controls::GetControlText(Text), L"through the operation");
    // The suppression ended with the call.
    ASSERT_TRUE(SetWindowTextW(field, L"direct again"));
    EXPECT_GT(ControlEventsOf(Text), 0);
}

TEST_F(RaiseControlEvent, TypedCharacterRaisesEditNotificationCodes) {
    HWND field = controls::CreateTextControl(Text, 0, 0, 300, 20, L"", 0);
    ASSERT_NE(field, nullptr);
    controls::FocusControl(Text);
    (void)TakePending();

    TypeCharacter(field, L'a');
    const int all = ControlEventsOf(Text);
    EXPECT_GE(all, 1);
    EXPECT_EQ(controls::GetControlText(Text), L"a");

    // The queued events carry the notification codes as data: removing the
    // events with a given code removes exactly those.
    TypeCharacter(field, L'b');
    toolkit::DropEvents(ControlEvent, Text, 0, EnChange);
    EXPECT_EQ(ControlEventsOf(Text), all - 1);

    TypeCharacter(field, L'c');
    toolkit::DropEvents(ControlEvent, Text, 0, EnChange);
    toolkit::DropEvents(ControlEvent, Text, 0, EnUpdate);
    EXPECT_EQ(ControlEventsOf(Text), 0);
    EXPECT_EQ(controls::GetControlText(Text), L"abc");
}

TEST_F(FocusControl, FocusChangesRaiseFocusEventsAndNotifications) {
    HWND field = controls::CreateTextControl(Text, 0, 0, 300, 20, L"", 0);
    HWND other = controls::CreateTextControl(23, 0, 30, 300, 20, L"", 0);
    ASSERT_NE(field, nullptr);
    ASSERT_NE(other, nullptr);
    controls::FocusControl(23);
    (void)TakePending();

    controls::FocusControl(Text);
    EXPECT_EQ(GetFocus(), field);
    toolkit::DropEvents(ControlEvent, Text, 0, controls::ControlFocused);
    toolkit::DropEvents(ControlEvent, Text, 0, EnSetFocus);
    EXPECT_EQ(ControlEventsOf(Text), 0);

    controls::FocusControl(23);
    toolkit::DropEvents(ControlEvent, Text, 0, controls::ControlUnfocused);
    EXPECT_EQ(ControlEventsOf(Text), 1);  // EN_KILLFOCUS is left

    controls::FocusControl(Text);
    controls::FocusControl(23);
    toolkit::DropEvents(ControlEvent, Text, 0, controls::ControlFocused);
    toolkit::DropEvents(ControlEvent, Text, 0, EnSetFocus);
    toolkit::DropEvents(ControlEvent, Text, 0, controls::ControlUnfocused);
    toolkit::DropEvents(ControlEvent, Text, 0, EnKillFocus);
    EXPECT_EQ(ControlEventsOf(Text), 0);
}

// Colour replies, with the record's colours set the way the colour slots
// would set them.
class ColourReplyTest : public ControlWindowTest {
protected:
    void SetUp() override {
        ControlWindowTest::SetUp();
        label_ = controls::CreateLabelControl(2, 0, 0, 100, 20, L"out");
        text_ = controls::CreateTextControl(Text, 0, 30, 100, 100, L"", 0x804);
        ASSERT_NE(label_, nullptr);
        ASSERT_NE(text_, nullptr);
        dc_ = GetDC(window_);
        brush_ = CreateSolidBrush(RGB(1, 2, 3));
    }
    void TearDown() override {
        ReleaseDC(window_, dc_);
        DeleteObject(brush_);
        ControlWindowTest::TearDown();
    }
    LRESULT Forward(HWND control, UINT message) {
        return controls::ForwardToControl(control, window_, message, reinterpret_cast<WPARAM>(dc_),
                                          reinterpret_cast<LPARAM>(control));
    }
    HWND label_ = nullptr, text_ = nullptr;
    HDC dc_ = nullptr;
    HBRUSH brush_ = nullptr;
};

TEST_F(ColourReplyTest, DefaultColoursLeaveEveryColourMessageToThePlatform) {
    for (UINT m : {WM_CTLCOLORSTATIC, WM_CTLCOLOREDIT, WM_CTLCOLORBTN, WM_CTLCOLORLISTBOX}) {
        EXPECT_EQ(Forward(label_, m), toolkit::NotHandled) << m;
        EXPECT_EQ(Forward(text_, m), toolkit::NotHandled) << m;
    }
    // A window that is no control has no handler either.
    EXPECT_EQ(Forward(window_, WM_CTLCOLORSTATIC), toolkit::NotHandled);
}

TEST_F(ColourReplyTest, TextColourAloneUsesKindsSystemBackground) {
    controls::ControlRecord* label = controls::FindControl(2);
    controls::ControlRecord* text = controls::FindControl(Text);
    controls::FrontColor(*label) = RGB(200, 0, 0);
    controls::FrontColor(*text) = RGB(0, 200, 0);

    EXPECT_EQ(Forward(label_, WM_CTLCOLORSTATIC), reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE)));
    EXPECT_EQ(GetTextColor(dc_), RGB(200, 0, 0));
    EXPECT_EQ(GetBkColor(dc_), GetSysColor(COLOR_BTNFACE));
    EXPECT_EQ(Forward(label_, WM_CTLCOLOREDIT), toolkit::NotHandled);

    EXPECT_EQ(Forward(text_, WM_CTLCOLOREDIT), reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW)));
    EXPECT_EQ(GetTextColor(dc_), RGB(0, 200, 0));
    EXPECT_EQ(GetBkColor(dc_), GetSysColor(COLOR_WINDOW));
    EXPECT_EQ(Forward(text_, WM_CTLCOLORSTATIC), reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE)));
    controls::FrontColor(*label) = -1;
    controls::FrontColor(*text) = -1;
}

TEST_F(ColourReplyTest, BackColourRepliesRecordsBrush) {
    controls::ControlRecord* text = controls::FindControl(Text);
    controls::BackColor(*text) = RGB(1, 2, 3);
    controls::BackBrush(*text) = reinterpret_cast<intptr_t>(brush_);
    EXPECT_EQ(Forward(text_, WM_CTLCOLOREDIT), reinterpret_cast<LRESULT>(brush_));
    EXPECT_EQ(GetBkColor(dc_), RGB(1, 2, 3));
    // A disabled read-only text control keeps the platform's look.
    EnableWindow(text_, FALSE);
    EXPECT_EQ(Forward(text_, WM_CTLCOLORSTATIC), toolkit::NotHandled);
    EnableWindow(text_, TRUE);
    EXPECT_EQ(Forward(text_, WM_CTLCOLORSTATIC), reinterpret_cast<LRESULT>(brush_));
    // The whole road: the window procedure offers the message through the
    // hook InitControls installed, and the kind's reply comes back.
    const auto dc = reinterpret_cast<WPARAM>(dc_);
    const auto control = reinterpret_cast<LPARAM>(text_);
    SetBkColor(dc_, RGB(0, 0, 0));
    EXPECT_EQ(SendMessageW(window_, WM_CTLCOLOREDIT, dc, control), reinterpret_cast<LRESULT>(brush_));
    EXPECT_EQ(GetBkColor(dc_), RGB(1, 2, 3));
    controls::BackColor(*text) = -1;
    controls::BackBrush(*text) = 0;  // the brush is the fixture's
    // Default colours: the kind leaves it to the platform's default reply.
    EXPECT_EQ(SendMessageW(window_, WM_CTLCOLOREDIT, dc, control), DefWindowProcW(window_, WM_CTLCOLOREDIT, dc, control));
}

TEST_F(ColourReplyTest, DestroyingControlReleasesItsBackBrush) {
    HBRUSH own = CreateSolidBrush(RGB(9, 9, 9));
    ASSERT_NE(own, nullptr);
    controls::BackBrush(*controls::FindControl(2)) = reinterpret_cast<intptr_t>(own);
    ASSERT_EQ(GetObjectType(own), static_cast<DWORD>(OBJ_BRUSH));
    controls::DestroyControl(2);
    EXPECT_EQ(GetObjectType(own), 0u);
}

}  // namespace
}  // namespace controls_test
