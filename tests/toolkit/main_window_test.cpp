#include "toolkit/shortcuts.h"
#include "toolkit/window_record.h"
#include "toolkit_test_support.h"

#include "support/window_life_recorder.h"

#include <string>

namespace {

using namespace toolkit;
using namespace toolkit_test;

const auto* const g_environment = ::testing::AddGlobalTestEnvironment(new ToolkitEnvironment);

// How the console opens its window.
constexpr uint32_t SystemFlags = OpenMaximized | CenterOnScreen;

using support::WindowLifeRecorder;
using support::WindowRecordEntry;

// What CreateWindowExW was given for window `number`, made while `recorder` lived.
const WindowRecordEntry* Created(const WindowLifeRecorder& recorder, int64_t number) {
    return recorder.FirstCreated(L"WindowClass_" + std::to_wstring(number));
}

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override { (void)TakePending(); }
    void TearDown() override {
        for (int64_t n = 0; n < 8; ++n) CloseNumberedWindow(n);
        (void)TakePending();
    }

    static DWORD StyleOf(HWND window) { return static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE)); }
    static RECT WindowRect(HWND window) {
        RECT r{};
        GetWindowRect(window, &r);
        return r;
    }
};

TEST_F(MainWindowTest, SystemCallOpensMaximizedActiveWindowWithOnlyWsMaximize) {
    WindowLifeRecorder recorder;
    const HWND window = OpenMainWindow(0, IgnoreValue, IgnoreValue, IgnoreValue, IgnoreValue, L"test", SystemFlags);
    ASSERT_NE(window, nullptr);
    const WindowRecordEntry* capture = Created(recorder, 0);
    ASSERT_NE(capture, nullptr);
    EXPECT_EQ(capture->style, static_cast<DWORD>(WS_MAXIMIZE)) << std::hex << capture->style;
    EXPECT_EQ(capture->exStyle & ~static_cast<DWORD>(WS_EX_WINDOWEDGE), 0u);

    // The platform adds WS_VISIBLE (shown), and to every overlapped window
    // WS_CLIPSIBLINGS and WS_CAPTION; nothing else may appear.
    const DWORD added = WS_VISIBLE | WS_CLIPSIBLINGS | WS_CAPTION;
    EXPECT_EQ(StyleOf(window) & ~added, static_cast<DWORD>(WS_MAXIMIZE)) << std::hex << StyleOf(window);
    EXPECT_EQ(StyleOf(window) & (WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX), 0u);
    EXPECT_TRUE(IsZoomed(window));
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_EQ(GetActiveWindow(), window);

    RECT client{};
    GetClientRect(window, &client);
    EXPECT_EQ(WindowInnerWidth(0), client.right);
    EXPECT_EQ(WindowInnerHeight(0), client.bottom);
    // Maximized on the 1600x900 desktop, the client area is nearly all of it.
    EXPECT_GT(WindowInnerWidth(0), 1000);
    EXPECT_GT(WindowInnerHeight(0), 500);

    EXPECT_EQ(reinterpret_cast<intptr_t>(GetPropW(window, L"KX_WindowID")), 1);
    EXPECT_EQ(support::ClassNameOf(window), L"WindowClass_0");
    wchar_t title[16] = {};
    GetWindowTextW(window, title, 16);
    EXPECT_STREQ(title, L"test");
    EXPECT_EQ(GetClassLongPtrW(window, GCL_STYLE), static_cast<ULONG_PTR>(CS_DBLCLKS));
    EXPECT_EQ(GetClassLongPtrW(window, GCLP_HBRBACKGROUND), static_cast<ULONG_PTR>(COLOR_BTNFACE + 1));
    ASSERT_FALSE(Hooks().containers.empty());
    EXPECT_EQ(Hooks().containers.back(), window) << "the new window takes new controls";
    // Opening raises only activation.
    const std::vector<Event> events = TakeEventsThrough(ActivateEvent);
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.front(), (Event{ActivateEvent, 0, 0, 0}));
    for (int64_t code : {SizeEvent, MoveEvent, MaximizeEvent, MinimizeEvent, RestoreEvent}) EXPECT_FALSE(Contains(events, code)) << code;
}

TEST_F(MainWindowTest, DefaultShortcutsAreTabAndShiftTab) {
    ASSERT_NE(OpenMainWindow(0, IgnoreValue, IgnoreValue, IgnoreValue, IgnoreValue, L"test", SystemFlags), nullptr);
    ASSERT_NE(AddShortcut(0, 13, 0), nullptr);
    const HACCEL table = AddShortcut(0, 27, 1);
    ASSERT_NE(table, nullptr);
    ACCEL entries[8] = {};
    ASSERT_EQ(CopyAcceleratorTableW(table, entries, 8), 4);
    const ACCEL expected[4] = {{0x03, VK_TAB, 64001}, {0x07, VK_TAB, 64002}, {0x03, VK_RETURN, 0}, {0x03, VK_ESCAPE, 1}};
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(entries[i].fVirt & 0x1F, expected[i].fVirt);
        EXPECT_EQ(entries[i].key, expected[i].key);
        EXPECT_EQ(entries[i].cmd, expected[i].cmd);
    }
}

// A caption is added only when the flags name no style.
TEST_F(MainWindowTest, FlagsChooseTheFrameAroundTheClientArea) {
    struct Case {
        uint32_t flags;
        DWORD style;  // as given to CreateWindowExW
        DWORD exStyle;
    };
    const Case cases[] = {
        {0, WS_CAPTION, 0},
        {CenterOnScreen, WS_CAPTION, 0},
        {CenterOnParent, WS_CAPTION, 0},
        {OpenHidden, WS_CAPTION, 0},
        {NoControlContainer, WS_CAPTION, 0},
        {OpenMaximized, WS_MAXIMIZE, 0},  // a style bit: nothing added
        {WS_SYSMENU, WS_SYSMENU, 0},
        {WS_POPUP, WS_POPUP, 0},
        {WS_OVERLAPPEDWINDOW, WS_OVERLAPPEDWINDOW, 0},
        {OpenInactive, 0, 0},  // counts as a style bit, then is dropped
        {ToolWindow, WS_CAPTION, WS_EX_TOOLWINDOW},
        // ToolWindow drops minimized and maximized and their boxes.
        {ToolWindow | OpenMinimized | OpenMaximized | WS_MINIMIZEBOX | WS_MAXIMIZEBOX, WS_CAPTION, WS_EX_TOOLWINDOW},
        {ToolWindow | WS_SYSMENU, WS_CAPTION | WS_SYSMENU, WS_EX_TOOLWINDOW},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << "flags 0x" << c.flags);
        WindowLifeRecorder recorder;
        const HWND window = OpenMainWindow(3, 40, 40, 200, 100, L"flags", c.flags | OpenHidden);
        ASSERT_NE(window, nullptr);
        const WindowRecordEntry* capture = Created(recorder, 3);
        ASSERT_NE(capture, nullptr);
        EXPECT_EQ(capture->style, c.style) << std::hex << capture->style;
        // The platform adds WS_EX_WINDOWEDGE to windows with a caption.
        EXPECT_EQ(capture->exStyle & ~static_cast<DWORD>(WS_EX_WINDOWEDGE), c.exStyle);
        EXPECT_FALSE(IsWindowVisible(window));
        // The client area is the size asked for, whatever frame the style
        // gives (an overlapped window without a caption gets one it did not ask for).
        if ((c.flags & (OpenMaximized | OpenMinimized)) == 0 && (c.style & (WS_CAPTION | WS_POPUP)) != 0) {
            EXPECT_EQ(WindowInnerWidth(3), 200);
            EXPECT_EQ(WindowInnerHeight(3), 100);
            RECT expected{0, 0, 200, 100};
            AdjustWindowRectEx(&expected, capture->style, FALSE, capture->exStyle);
            EXPECT_EQ(capture->cx, expected.right - expected.left);
            EXPECT_EQ(capture->cy, expected.bottom - expected.top);
        }
        CloseNumberedWindow(3);
    }
}

TEST_F(MainWindowTest, PositionRulesForIgnoreValue) {
    struct Case {
        int32_t x, y;
        uint32_t flags;
        bool platformPlaces;
    };
    const Case cases[] = {
        {IgnoreValue, 70, 0, true},
        {IgnoreValue, IgnoreValue, 0, true},
        {IgnoreValue, 70, CenterOnScreen, true},
        {120, IgnoreValue, 0, true},
        {120, IgnoreValue, CenterOnScreen, false},
        {120, 70, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.x << "," << c.y << " flags " << c.flags);
        WindowLifeRecorder recorder;
        ASSERT_NE(OpenMainWindow(1, c.x, c.y, 200, 100, L"pos", c.flags | OpenHidden), nullptr);
        const WindowRecordEntry* capture = Created(recorder, 1);
        ASSERT_NE(capture, nullptr);
        // Wine shows the hook the position it has already chosen, Windows
        // shows CW_USEDEFAULT: either way the values given are not used.
        if (c.platformPlaces) {
            EXPECT_TRUE(capture->x == CW_USEDEFAULT || capture->x != c.x) << capture->x;
            EXPECT_TRUE(capture->y == CW_USEDEFAULT || capture->y != c.y) << capture->y;
            EXPECT_NE(capture->x, IgnoreValue);
            EXPECT_NE(capture->y, IgnoreValue);
        } else {
            EXPECT_EQ(capture->x, c.x);
            EXPECT_EQ(capture->y, c.y);
        }
        if (c.flags == 0 && !c.platformPlaces) {
            const RECT r = WindowRect(FindWindowRecord(1)->handle);
            EXPECT_EQ(r.left, c.x);
            EXPECT_EQ(r.top, c.y);
        }
        CloseNumberedWindow(1);
    }
}

// CenterOnScreen centres the outer rectangle; CenterOnParent without a
// parent centres nothing, and wins over CenterOnScreen.
TEST_F(MainWindowTest, CentringFlagsPlaceTheOuterRectangle) {
    for (uint32_t flags : {CenterOnScreen, CenterOnParent, CenterOnParent | CenterOnScreen}) {
        SCOPED_TRACE(flags);
        const HWND window = OpenMainWindow(1, 7, 9, 300, 200, L"centre", flags);
        ASSERT_NE(window, nullptr);
        const RECT r = WindowRect(window);
        const bool onScreen = flags == CenterOnScreen;
        EXPECT_EQ(r.left, onScreen ? (GetSystemMetrics(SM_CXSCREEN) - (r.right - r.left)) / 2 : 7);
        EXPECT_EQ(r.top, onScreen ? (GetSystemMetrics(SM_CYSCREEN) - (r.bottom - r.top)) / 2 : 9);
        CloseNumberedWindow(1);
    }
}

// A later window can leave an earlier one the container of new controls
// (NoControlContainer) or the active window (OpenInactive).
TEST_F(MainWindowTest, LaterWindowsCanLeaveAnEarlierInCharge) {
    const HWND first = OpenMainWindow(0, 10, 10, 300, 200, L"first", 0);
    ASSERT_NE(first, nullptr);
    const HWND second = OpenMainWindow(1, 50, 50, 300, 200, L"second", WS_CAPTION | NoControlContainer);
    ASSERT_NE(second, nullptr);
    ASSERT_FALSE(Hooks().containers.empty());
    EXPECT_EQ(Hooks().containers.back(), first);
    EXPECT_EQ(StyleOf(second) & (CenterOnScreen | CenterOnParent | ToolWindow | NoControlContainer), 0u)
        << "toolkit bits never reach the platform";
    ASSERT_EQ(GetActiveWindow(), second);
    const HWND inactive = OpenMainWindow(2, 90, 90, 300, 200, L"inactive", WS_CAPTION | OpenInactive);
    ASSERT_NE(inactive, nullptr);
    EXPECT_TRUE(IsWindowVisible(inactive));
    EXPECT_EQ(GetActiveWindow(), second);
}

TEST_F(MainWindowTest, NumbersWithoutWindowAreHarmless) {
    EXPECT_EQ(WindowInnerWidth(5), 0);
    EXPECT_EQ(WindowInnerHeight(5), 0);
    EXPECT_EQ(WindowInnerWidth(-1), 0);
    EXPECT_EQ(WindowInnerWidth(100000), 0);
    CloseNumberedWindow(5);
    CloseNumberedWindow(-3);
    EXPECT_EQ(AddShortcut(5, 13, 0), nullptr);
}

TEST_F(MainWindowTest, ReopeningANumberReplacesTheOldWindow) {
    const HWND old = OpenMainWindow(0, 10, 10, 300, 200, L"old", 0);
    ASSERT_NE(old, nullptr);
    (void)TakePending();
    RaiseEvent(MenuEvent, 5, 0, 0, 0);
    RaiseEvent(MenuEvent, 6, 1, 0, 0);  // another window's event stays
    const HWND fresh = OpenMainWindow(0, 20, 20, 250, 150, L"new", 0);
    ASSERT_NE(fresh, nullptr);
    EXPECT_FALSE(IsWindow(old));
    EXPECT_EQ(WindowInnerWidth(0), 250);
    EXPECT_EQ(reinterpret_cast<intptr_t>(GetPropW(fresh, L"KX_WindowID")), 1);
    const std::vector<Event> events = QueuedEvents();
    EXPECT_TRUE(Contains(events, MenuEvent));
    for (const Event& e : events) EXPECT_NE(e, (Event{MenuEvent, 5, 0, 0}));
    // The new window works as the old one did.
    EXPECT_EQ(SendMessageW(fresh, WM_CLOSE, 0, 0), 0);
    EXPECT_EQ(QueuedEvents(), (std::vector<Event>{{CloseEvent, 0, 0, 0}}));
}

TEST_F(MainWindowTest, DestroyedWindowLeavesNothingBehind) {
    for (bool direct : {false, true}) {
        SCOPED_TRACE(direct ? "DestroyWindow" : "CloseNumberedWindow");
        const HWND window = OpenMainWindow(4, 10, 10, 300, 200, L"gone", 0);
        ASSERT_NE(window, nullptr);
        (void)TakePending();
        RaiseEvent(RepaintEvent, 0, 4, 0, 0);
        RaiseEvent(MenuEvent, 1, 3, 0, 0);
        RaiseEvent(SizeEvent, 0, 4, 0, 0);
        Hooks().destroyed.clear();
        if (direct) {
            DestroyWindow(window);  // the clean-up at WM_NCDESTROY does the work
        } else {
            CloseNumberedWindow(4);
        }
        EXPECT_FALSE(IsWindow(window));
        EXPECT_EQ(Hooks().destroyed, std::vector<HWND>{window}) << "the controls' library is told once";
        EXPECT_EQ(WindowInnerWidth(4), 0);
        EXPECT_EQ(AddShortcut(4, 13, 0), nullptr);
        for (const Event& e : QueuedEvents()) EXPECT_NE(e.window, 4) << e;
    }
}

TEST_F(MainWindowTest, FailedCreationLeavesTheNumberFree) {
    const HWND old = OpenMainWindow(6, 10, 10, 200, 100, L"old", 0);
    ASSERT_NE(old, nullptr);
    (void)TakePending();
    HWND window = nullptr;
    {
        const WindowLifeRecorder refuse([](HWND) { return false; });
        window = OpenMainWindow(6, 10, 10, 200, 100, L"refused", 0);
    }
    EXPECT_EQ(window, nullptr);
    EXPECT_FALSE(IsWindow(old)) << "the number was released before the attempt";
    EXPECT_EQ(WindowInnerWidth(6), 0);
    EXPECT_EQ(WindowInnerHeight(6), 0);
    EXPECT_EQ(AddShortcut(6, 13, 0), nullptr);
    for (const Event& e : QueuedEvents()) EXPECT_NE(e.window, 6) << e;
    // The number can be opened again afterwards.
    EXPECT_NE(OpenMainWindow(6, 10, 10, 200, 100, L"again", 0), nullptr);
    EXPECT_EQ(WindowInnerWidth(6), 200);
}

TEST_F(MainWindowTest, EndWindowLibraryDestroysEveryWindow) {
    const HWND two = OpenMainWindow(2, 10, 10, 200, 100, L"two", 0);
    const HWND zero = OpenMainWindow(0, 30, 30, 200, 100, L"zero", 0);
    const HWND twenty = OpenMainWindow(20, 50, 50, 200, 100, L"twenty", 0);  // beyond the first 16 slots
    ASSERT_TRUE(two && zero && twenty);
    EndWindowLibrary();
    for (HWND window : {two, zero, twenty}) EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(WindowInnerWidth(20), 0);
    for (const Event& e : QueuedEvents()) EXPECT_TRUE(e.window != 0 && e.window != 2 && e.window != 20) << e;
    InitWindowLibrary();
    EXPECT_NE(OpenMainWindow(0, 30, 30, 200, 100, L"zero", 0), nullptr);
}

TEST_F(MainWindowTest, CloseRequestOnlyRaisesOneCloseEvent) {
    const HWND window = OpenMainWindow(3, 10, 10, 300, 200, L"close", 0);
    ASSERT_NE(window, nullptr);
    (void)TakePending();
    EXPECT_EQ(SendMessageW(window, WM_CLOSE, 0, 0), 0);
    EXPECT_EQ(SendMessageW(window, WM_CLOSE, 0, 0), 0);
    EXPECT_TRUE(IsWindow(window));
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_EQ(QueuedEvents(), (std::vector<Event>{{CloseEvent, 3, 3, 0}}));
    // The platform's own close command ends in the same request.
    EXPECT_EQ(SendMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0), 0);
    EXPECT_TRUE(IsWindow(window));
    EXPECT_EQ(QueuedEvents(), (std::vector<Event>{{CloseEvent, 3, 3, 0}}));
}

TEST_F(MainWindowTest, MessageTableRaisesTheRightEvents) {
    const HWND window = OpenMainWindow(2, 10, 10, 300, 200, L"table", 0);
    ASSERT_NE(window, nullptr);
    (void)TakePending();
    struct Case {
        UINT message;
        WPARAM wParam;
        LRESULT reply;
        Event event;
    };
    const Case cases[] = {
        {WM_LBUTTONUP, 0, 0, {LeftClickEvent, 0, 2, 0}},
        {WM_LBUTTONDBLCLK, 0, 0, {LeftDoubleClickEvent, 0, 2, 0}},
        {WM_RBUTTONUP, 0, 0, {RightClickEvent, 0, 2, 0}},
        {WM_COMMAND, MAKEWPARAM(7, 1), 0, {MenuEvent, 7, 2, 0}},  // a shortcut
        {WM_COMMAND, 9, 0, {MenuEvent, 9, 2, 0}},                 // a menu item
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        EXPECT_EQ(SendMessageW(window, c.message, c.wParam, 0), c.reply);
        EXPECT_EQ(QueuedEvents(), std::vector<Event>{c.event});
    }
    // Erasing the background raises RepaintEvent and still erases.
    HDC dc = GetDC(window);
    EXPECT_NE(SendMessageW(window, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0), 0);
    ReleaseDC(window, dc);
    EXPECT_EQ(QueuedEvents(), (std::vector<Event>{{RepaintEvent, 0, 2, 0}}));
    // Messages the table does not name raise nothing.
    SendMessageW(window, WM_MOUSEMOVE, 0, 0);
    SendMessageW(window, WM_USER + 1, 0, 0);
    EXPECT_TRUE(QueuedEvents().empty());
}

// Window 2 with one plain edit child, identifier 55, and its opening events taken.
class ControlMessageTest : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        window = OpenMainWindow(2, 10, 10, 300, 200, L"control", 0);
        ASSERT_NE(window, nullptr);
        edit = MakeEdit(window, 0, 55);
        ASSERT_NE(edit, nullptr);
        (void)TakePending();
    }
    HWND window = nullptr;
    HWND edit = nullptr;
};

TEST_F(ControlMessageTest, ControlMessagesAreOfferedToTheControlHookFirst) {
    HookLog& hooks = Hooks();
    const auto control = reinterpret_cast<LPARAM>(edit);
    NMHDR header{edit, 55, 1};
    const auto notify = reinterpret_cast<LPARAM>(&header);
    struct Case {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
        LRESULT handledReply;  // what the window answers when the hook handles it
    };
    constexpr LRESULT Answer = 1234;
    const Case cases[] = {
        {WM_COMMAND, MAKEWPARAM(55, EN_CHANGE), control, 0},  // handled: no ControlEvent, reply 0
        {WM_NOTIFY, 55, notify, Answer},
        {WM_HSCROLL, SB_LINEDOWN, control, Answer},
        {WM_VSCROLL, SB_LINEUP, control, Answer},
        {WM_CTLCOLOREDIT, 0, control, Answer},
        {WM_CTLCOLORLISTBOX, 0, control, Answer},
        {WM_CTLCOLORBTN, 0, control, Answer},
        {WM_CTLCOLORSTATIC, 0, control, Answer},
    };
    hooks.reply = Answer;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        hooks.offers.clear();
        EXPECT_EQ(SendMessageW(window, c.message, c.wParam, c.lParam), c.handledReply);
        ASSERT_EQ(hooks.offers.size(), 1u);
        const HookLog::Offer& offer = hooks.offers.front();
        EXPECT_EQ(offer.control, edit);
        EXPECT_EQ(offer.parent, window);
        EXPECT_EQ(offer.message, c.message);
        EXPECT_EQ(offer.wParam, c.wParam);
        EXPECT_EQ(offer.lParam, c.lParam);
        EXPECT_TRUE(QueuedEvents().empty());
    }
    hooks.reply = NotHandled;
    // Left alone by the hook, a command becomes a ControlEvent and a colour
    // message gets the platform's default reply.
    hooks.offers.clear();
    EXPECT_EQ(SendMessageW(window, WM_COMMAND, MAKEWPARAM(55, EN_CHANGE), control), 0);
    EXPECT_EQ(hooks.offers.size(), 1u);
    EXPECT_EQ(QueuedEvents(), (std::vector<Event>{{ControlEvent, 55, 2, EN_CHANGE}}));
    // A real notification: the edit control reports its change.
    SetWindowTextW(edit, L"abc");
    const std::vector<Event> events = QueuedEvents();
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.back(), (Event{ControlEvent, 55, 2, EN_CHANGE}));
    HDC dc = GetDC(window);
    EXPECT_EQ(SendMessageW(window, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), control),
              DefWindowProcW(window, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), control));
    // The dialog and scroll-bar colour messages are not a control's business.
    hooks.offers.clear();
    (void)SendMessageW(window, WM_CTLCOLORDLG, reinterpret_cast<WPARAM>(dc), control);  // default reply
    (void)SendMessageW(window, WM_CTLCOLORSCROLLBAR, reinterpret_cast<WPARAM>(dc), control);  // default reply
    ReleaseDC(window, dc);
    EXPECT_TRUE(hooks.offers.empty());
}

TEST_F(MainWindowTest, WithoutHooksNothingReachesTheControlsLibrary) {
    SetWindowHooks(WindowHooks{});
    HookLog& hooks = Hooks();
    hooks.offers.clear();
    hooks.containers.clear();
    const HWND window = OpenMainWindow(2, 10, 10, 300, 200, L"bare", 0);
    const HWND edit = window ? MakeEdit(window, 0, 56) : nullptr;
    (void)TakePending();
    if (window && edit) {
        EXPECT_EQ(SendMessageW(window, WM_COMMAND, MAKEWPARAM(56, EN_CHANGE), reinterpret_cast<LPARAM>(edit)), 0);
        EXPECT_EQ(QueuedEvents(), (std::vector<Event>{{ControlEvent, 56, 2, EN_CHANGE}}));
        NMHDR header{edit, 56, 1};
        EXPECT_EQ(SendMessageW(window, WM_NOTIFY, 56, reinterpret_cast<LPARAM>(&header)), 0) << "default reply";
    }
    EXPECT_TRUE(hooks.offers.empty());
    EXPECT_TRUE(hooks.containers.empty());
    SetWindowHooks(RecordingHooks);
    ASSERT_NE(window, nullptr);
    ASSERT_NE(edit, nullptr);
}

TEST_F(MainWindowTest, SysColorChangeReachesEveryDescendant) {
    const HWND window = OpenMainWindow(2, 10, 10, 300, 200, L"colours", 0);
    ASSERT_NE(window, nullptr);
    const HWND outer = MakeEdit(window, 0, 1);
    const HWND inner = CreateWindowExW(0, L"Static", L"", WS_CHILD | WS_VISIBLE, 0, 0, 5, 5, outer, nullptr,
                                       GetModuleHandleW(nullptr), nullptr);
    MessageRecorder outerLog(outer);
    MessageRecorder innerLog(inner);
    SendMessageW(window, WM_SYSCOLORCHANGE, 0, 0);
    EXPECT_EQ(outerLog.Count(WM_SYSCOLORCHANGE), 1u);
    EXPECT_EQ(innerLog.Count(WM_SYSCOLORCHANGE), 1u);
}

TEST_F(MainWindowTest, GeometryChangesRaiseEvents) {
    const HWND window = OpenMainWindow(1, 10, 10, 300, 200, L"sizes", WS_OVERLAPPEDWINDOW);
    ASSERT_NE(window, nullptr);
    (void)TakePending();

    SetWindowPos(window, nullptr, 0, 0, 400, 300, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    RaiseEvent(MenuEvent, 1, 1, 0, 0);
    SetWindowPos(window, nullptr, 0, 0, 420, 310, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    // The earlier SizeEvent is dropped: only the newest size counts. (The
    // repaints that the resizes cause are left out of the comparison.)
    std::vector<Event> queued;
    for (const Event& e : QueuedEvents())
        if (e.code != RepaintEvent) queued.push_back(e);
    EXPECT_EQ(queued, (std::vector<Event>{{MenuEvent, 1, 1, 0}, {SizeEvent, 0, 1, 0}}));

    SetWindowPos(window, nullptr, 33, 44, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_EQ(QueuedEvents(), (std::vector<Event>{{MoveEvent, 1, 1, 0}}));

    struct Step {
        int show;
        int64_t event;
        bool sized;  // a SizeEvent comes with it
    };
    for (const Step& step : {Step{SW_MAXIMIZE, MaximizeEvent, true}, Step{SW_RESTORE, RestoreEvent, true},
                             Step{SW_MINIMIZE, MinimizeEvent, false}, Step{SW_RESTORE, RestoreEvent, false}}) {
        SCOPED_TRACE(step.show);
        ShowWindow(window, step.show);
        const std::vector<Event> events = TakeEventsUntil([&](const std::vector<Event>& e) {
            return Contains(e, step.event) && (!step.sized || Contains(e, SizeEvent));
        });
        EXPECT_EQ(Count(events, step.event), 1u);
        EXPECT_TRUE(!step.sized || Contains(events, SizeEvent));
        EXPECT_TRUE(step.event != MaximizeEvent || !Contains(events, RestoreEvent));
    }

    // A restored window resized again raises no further RestoreEvent.
    SetWindowPos(window, nullptr, 0, 0, 380, 280, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    const std::vector<Event> events = TakeEventsThrough(SizeEvent);
    EXPECT_FALSE(Contains(events, RestoreEvent));
    EXPECT_EQ(Count(events, SizeEvent), 1u);
}

TEST_F(MainWindowTest, ReactivationReturnsTheFocusToTheControlThatHadIt) {
    const HWND window = OpenMainWindow(0, 10, 10, 400, 200, L"focus", 0);
    ASSERT_NE(window, nullptr);
    ASSERT_NE(MakeEdit(window, WS_TABSTOP, 1, 10), nullptr);  // the first stop, where a default focus would go
    const HWND second = MakeEdit(window, WS_TABSTOP, 2, 100);
    ASSERT_TRUE(MakeForeground(window));
    SetFocus(second);
    ASSERT_EQ(GetFocus(), second);
    (void)TakePending();

    const HWND other = OpenMainWindow(1, 500, 10, 300, 200, L"other", 0);
    ASSERT_NE(other, nullptr);
    ASSERT_TRUE(MakeForeground(other));
    EXPECT_NE(GetFocus(), second);
    EXPECT_EQ(GetPropW(window, L"KX_Focus"), static_cast<HANDLE>(second));
    std::vector<Event> events = TakeEventsThrough(DeactivateEvent);
    EXPECT_TRUE(Contains(events, DeactivateEvent));
    for (const Event& e : events) EXPECT_TRUE(e.code != DeactivateEvent || e.window == 0) << e;

    ASSERT_TRUE(MakeForeground(window));
    EXPECT_EQ(GetFocus(), second);
    events = TakeEventsThrough(ActivateEvent);
    EXPECT_TRUE(Contains(events, ActivateEvent));
}

TEST_F(MainWindowTest, ActivateMessageMovesTheFocusOnlyToTheStoredControl) {
    // Sent directly, so that only the window procedure acts: the platform's
    // default would give the focus to the window itself.
    const HWND window = OpenMainWindow(0, 10, 10, 400, 200, L"activate", 0);
    ASSERT_NE(window, nullptr);
    const HWND edit = MakeEdit(window, WS_TABSTOP, 1);
    ASSERT_TRUE(MakeForeground(window));
    (void)TakePending();

    SetFocus(nullptr);
    ASSERT_EQ(GetFocus(), nullptr);
    EXPECT_EQ(SendMessageW(window, WM_ACTIVATE, WA_ACTIVE, 0), 1);
    EXPECT_EQ(GetFocus(), nullptr);
    EXPECT_EQ(QueuedEvents(), (std::vector<Event>{{ActivateEvent, 0, 0, 0}}));

    SetPropW(window, L"KX_Focus", edit);
    EXPECT_EQ(SendMessageW(window, WM_ACTIVATE, WA_ACTIVE, 0), 1);
    EXPECT_EQ(GetFocus(), edit);

    SetFocus(window);
    EXPECT_EQ(SendMessageW(window, WM_ACTIVATE, WA_INACTIVE, 0), 1);
    EXPECT_EQ(GetPropW(window, L"KX_Focus"), static_cast<HANDLE>(window));
    const std::vector<Event> events = QueuedEvents();
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.back(), (Event{DeactivateEvent, 0, 0, 0}));
}

}  // namespace
