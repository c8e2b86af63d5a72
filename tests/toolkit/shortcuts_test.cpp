// Shortcuts and focus movement driven by real key input: the keys go through
// the system's input queue to the foreground window and are taken by the
// real WaitEvent.
#include "toolkit/shortcuts.h"
#include "toolkit/toolkit_heap.h"
#include "toolkit/window_record.h"
#include "toolkit_test_support.h"

#include <utility>
#include <vector>

namespace {

using namespace toolkit;
using namespace toolkit_test;

const auto* const g_environment = ::testing::AddGlobalTestEnvironment(new ToolkitEnvironment);

// Modifier bits of AddShortcut's key.
constexpr uint32_t ShiftKey = 0x10000;
constexpr uint32_t ControlKey = 0x20000;
// WM_CHANGEUISTATE requests for both cues, focus rectangles and underlines.
constexpr WPARAM ShowCues = MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS | UISF_HIDEACCEL);
constexpr WPARAM HideCues = MAKEWPARAM(UIS_SET, UISF_HIDEFOCUS | UISF_HIDEACCEL);

class ShortcutsTest : public ::testing::Test {
protected:
    void SetUp() override {
        window_ = OpenMainWindow(0, IgnoreValue, IgnoreValue, IgnoreValue, IgnoreValue, L"test", OpenMaximized | CenterOnScreen);
        ASSERT_NE(window_, nullptr);
        ASSERT_TRUE(MakeForeground(window_));
        (void)TakePending();
    }
    void TearDown() override {
        EXPECT_TRUE(KeysHandled());
        CloseNumberedWindow(0);
        (void)TakePending();
    }

    HWND window_ = nullptr;
};

// The keys of a field, and the commands its window gets, in the order they come.
constexpr std::initializer_list<UINT> KeyMessages = {WM_KEYDOWN, WM_CHAR, WM_KEYUP, WM_COMMAND};

TEST_F(ShortcutsTest, ShortcutKeyInAFieldReachesTheWindowAsItsMenuItem) {
    const HWND edit = MakeEdit(window_, WS_TABSTOP, 1);
    ASSERT_NE(edit, nullptr);
    ASSERT_NE(AddShortcut(0, VK_RETURN, 0), nullptr);
    ASSERT_NE(AddShortcut(0, VK_ESCAPE, 1), nullptr);
    SetFocus(edit);
    ASSERT_EQ(GetFocus(), edit);
    MessageLog log;
    MessageRecorder fieldLog(edit, &log), windowLog(window_, &log);

    for (const auto& [key, item] : {std::pair<WORD, WORD>{VK_RETURN, 0}, {VK_ESCAPE, 1}}) {
        SCOPED_TRACE(key);
        log.clear();
        PressKey(key);
        const std::vector<int64_t> results = ResultsUntil(MenuEvent);
        ASSERT_GE(results.size(), 2u);
        ASSERT_EQ(results.back(), MenuEvent);
        // The wait that took the key-down returned 256; the very next one the event.
        EXPECT_EQ(results[results.size() - 2], WM_KEYDOWN);
        EXPECT_EQ(EventMenuItem(), item);
        EXPECT_EQ(EventThread().currentEvent.window, 0);
        ASSERT_TRUE(KeysHandled());
        // The key-up is no shortcut, so the field sees it; nothing else of the key.
        EXPECT_EQ(SequenceMismatch(log, {{window_, WM_COMMAND, MAKEWPARAM(item, 1)}, {edit, WM_KEYUP, key}}, KeyMessages),
                  "");
    }
}

TEST_F(ShortcutsTest, ModifiersAreDistinctShortcuts) {
    // Blocks taken up to just past the window's table, so that it must move
    // as it grows.
    std::vector<void*> neighbours;
    const void* start = FindWindowRecord(0)->shortcuts;
    while (neighbours.size() < 1000 && (neighbours.empty() || neighbours.back() < start))
        neighbours.push_back(HeapAlloc(ToolkitHeap(), 0, 16));
    const HWND edit = MakeEdit(window_, WS_TABSTOP, 1);
    SetFocus(edit);
    ASSERT_NE(AddShortcut(0, 'K' | ControlKey, 9), nullptr);
    ASSERT_NE(AddShortcut(0, VK_RETURN | ShiftKey, 11), nullptr);
    const HACCEL table = AddShortcut(0, VK_RETURN, 10);               // Return
    ACCEL entries[8] = {};
    ASSERT_EQ(CopyAcceleratorTableW(table, entries, 8), 5);
    EXPECT_EQ(entries[2].fVirt & 0x1F, 0x0B);
    EXPECT_EQ(entries[3].fVirt & 0x1F, 0x07);
    EXPECT_EQ(entries[4].fVirt & 0x1F, 0x03);
    MessageLog log;
    MessageRecorder fieldLog(edit, &log);

    PressKey('K', {VK_CONTROL});
    ASSERT_EQ(ResultsUntil(MenuEvent).back(), MenuEvent);
    EXPECT_EQ(EventMenuItem(), 9);
    PressKey(VK_RETURN, {VK_SHIFT});
    ASSERT_EQ(ResultsUntil(MenuEvent).back(), MenuEvent);
    EXPECT_EQ(EventMenuItem(), 11);
    PressKey(VK_RETURN);
    ASSERT_EQ(ResultsUntil(MenuEvent).back(), MenuEvent);
    EXPECT_EQ(EventMenuItem(), 10);
    // The same key and modifiers again replace the item.
    EXPECT_EQ(CopyAcceleratorTableW(AddShortcut(0, VK_RETURN, 12), nullptr, 0), 5);
    PressKey(VK_RETURN);
    ASSERT_EQ(ResultsUntil(MenuEvent).back(), MenuEvent);
    EXPECT_EQ(EventMenuItem(), 12);
    // Many more: the table grows, and moves, and keeps every entry.
    for (uint32_t digit = '0'; digit <= '9'; ++digit) (void)AddShortcut(0, digit | ControlKey, digit);
    EXPECT_EQ(CopyAcceleratorTableW(AddShortcut(0, VK_RETURN, 13), nullptr, 0), 15);

    // Without Control, K is an ordinary key and reaches the field whole.
    ASSERT_TRUE(KeysHandled());
    log.clear();
    PressKey('K');
    ASSERT_TRUE(KeysHandled());
    EXPECT_EQ(SequenceMismatch(log, {{edit, WM_KEYDOWN, 'K'}, {edit, WM_CHAR, 'k'}, {edit, WM_KEYUP, 'K'}},
                               {WM_KEYDOWN, WM_CHAR, WM_KEYUP}),
              "");
    for (void* block : neighbours) HeapFree(ToolkitHeap(), 0, block);
}

class FocusMovementTest : public ShortcutsTest {
protected:
    void SetUp() override {
        ShortcutsTest::SetUp();
        // Candidates a, b, c in creation (enumeration) order, with windows
        // between them that are no candidates.
        a_ = MakeEdit(window_, WS_TABSTOP, 1, 10);
        plain_ = MakeEdit(window_, 0, 2, 100);
        b_ = MakeEdit(window_, WS_TABSTOP, 3, 190);
        disabled_ = MakeEdit(window_, WS_TABSTOP | WS_DISABLED, 4, 280);
        hidden_ = MakeEdit(window_, WS_TABSTOP, 5, 370);
        ShowWindow(hidden_, SW_HIDE);
        c_ = MakeEdit(window_, WS_TABSTOP, 6, 460);
        ASSERT_TRUE(a_ && plain_ && b_ && disabled_ && hidden_ && c_);
    }

    // Presses the key and pumps until the focus settles.
    HWND Press(WORD key, std::initializer_list<WORD> modifiers = {}) {
        PressKey(key, modifiers);
        EXPECT_TRUE(KeysHandled());
        return GetFocus();
    }

    HWND a_{}, plain_{}, b_{}, disabled_{}, hidden_{}, c_{};
};

TEST_F(FocusMovementTest, TabMovesToTheNeighbouringCandidate) {
    struct Case {
        const char* name;
        HWND from;
        bool shift;
        HWND to;
    };
    const Case cases[] = {
        {"Tab from a", a_, false, b_},
        {"Tab from b", b_, false, c_},
        {"Tab from the last wraps", c_, false, a_},
        {"Shift+Tab from b", b_, true, a_},
        {"Shift+Tab from the first wraps", a_, true, c_},
        {"Shift+Tab from c", c_, true, b_},
        {"Tab from no candidate does nothing", plain_, false, plain_},
        {"Shift+Tab from no candidate goes to the last", plain_, true, c_},
        // The focus outside every control counts as no current window.
        {"Tab from the window itself", window_, false, a_},
        {"Shift+Tab from the window itself", window_, true, c_},
    };
    MessageRecorder log(b_);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetFocus(c.from);
        EXPECT_EQ(c.shift ? Press(VK_TAB, {VK_SHIFT}) : Press(VK_TAB), c.to);
    }
    EXPECT_EQ(log.Count(WM_KEYDOWN, VK_TAB), 0u);
    EXPECT_EQ(log.Count(WM_CHAR, '\t'), 0u);
}

TEST_F(FocusMovementTest, DescendantsOfControlsAreCandidatesToo) {
    // Enumeration reaches grandchildren: a tab stop inside a child window
    // comes right after its parent.
    const HWND inner = CreateWindowExW(0, L"Edit", L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 0, 0, 30, 20, plain_,
                                       nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(inner, nullptr);
    SetFocus(a_);
    EXPECT_EQ(Press(VK_TAB), inner);
    EXPECT_EQ(Press(VK_TAB), b_);
}

TEST_F(FocusMovementTest, NoCandidatesMeansNothingMoves) {
    for (HWND w : {a_, b_, c_}) EnableWindow(w, FALSE);
    SetFocus(plain_);
    EXPECT_EQ(Press(VK_TAB), plain_);
    EXPECT_EQ(Press(VK_TAB, {VK_SHIFT}), plain_);
}

TEST_F(FocusMovementTest, TabShortcutReplacingTheDefaultStopsFocusMovement) {
    ASSERT_NE(AddShortcut(0, VK_TAB, 20), nullptr);
    SetFocus(a_);
    PressKey(VK_TAB);
    const std::vector<int64_t> results = ResultsUntil(MenuEvent);
    ASSERT_FALSE(results.empty());
    EXPECT_EQ(results.back(), MenuEvent);
    EXPECT_EQ(EventMenuItem(), 20);
    ASSERT_TRUE(KeysHandled());
    EXPECT_EQ(GetFocus(), a_);
    // Shift+Tab keeps its own entry.
    EXPECT_EQ(Press(VK_TAB, {VK_SHIFT}), c_);
}

// Records the requests to change a window's keyboard cues, answering
// WM_QUERYUISTATE with `state`. (Wine keeps keyboard cues shown whatever a
// window asks, so the state a window reports is set here rather than by the
// platform.)
struct CueRecorder {
    explicit CueRecorder(HWND window)
        : log(window, nullptr, [this](UINT m, WPARAM, LPARAM) {
              return m == WM_QUERYUISTATE ? std::optional<LRESULT>(state) : std::nullopt;
          }) {}
    std::vector<WPARAM> Changes() const {
        std::vector<WPARAM> changes;
        for (const auto& m : log.messages)
            if (m.message == WM_CHANGEUISTATE) changes.push_back(m.wParam);
        return changes;
    }
    LRESULT state = 0;
    MessageRecorder log;
};

TEST_F(ShortcutsTest, SetKeyboardCuesChangesOnlyWhatIsNotAlreadySo) {
    CueRecorder cues(window_);
    struct Case {
        LRESULT state;
        bool show;
        std::vector<WPARAM> changes;
    };
    const Case cases[] = {
        {0, true, {}},  {1, true, {ShowCues}}, {2, true, {ShowCues}}, {3, true, {ShowCues}},
        {0, false, {HideCues}}, {1, false, {HideCues}}, {2, false, {HideCues}}, {3, false, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "state " << c.state << (c.show ? " show" : " hide"));
        cues.state = c.state;
        cues.log.messages.clear();
        SetKeyboardCues(window_, c.show);
        EXPECT_EQ(cues.Changes(), c.changes);
    }
}

TEST_F(ShortcutsTest, ShortcutShowsKeyboardCuesUntilDeactivation) {
    const HWND edit = MakeEdit(window_, WS_TABSTOP, 1);
    ASSERT_NE(AddShortcut(0, VK_RETURN, 0), nullptr);
    SetFocus(edit);
    CueRecorder cues(window_);
    cues.state = UISF_HIDEFOCUS | UISF_HIDEACCEL;
    PressKey(VK_RETURN);
    ASSERT_EQ(ResultsUntil(MenuEvent).back(), MenuEvent);
    EXPECT_EQ(cues.Changes(), std::vector<WPARAM>{ShowCues});

    cues.state = 0;
    cues.log.messages.clear();
    const HWND other = OpenMainWindow(1, 500, 10, 300, 200, L"other", 0);
    ASSERT_TRUE(MakeForeground(other));
    EXPECT_EQ(cues.Changes(), std::vector<WPARAM>{HideCues});
    CloseNumberedWindow(1);
}

TEST_F(ShortcutsTest, AltF4IsOnlyACloseRequest) {
    const HWND edit = MakeEdit(window_, WS_TABSTOP, 1);
    SetFocus(edit);
    PressKey(VK_F4, {VK_MENU});
    const std::vector<int64_t> results = ResultsUntil(CloseEvent);
    ASSERT_FALSE(results.empty());
    EXPECT_EQ(results.back(), CloseEvent);
    EXPECT_EQ(EventMenuItem(), 0) << "the object of CloseEvent is the window number";
    ASSERT_TRUE(KeysHandled());
    EXPECT_TRUE(IsWindow(window_));
    EXPECT_TRUE(IsWindowVisible(window_));
}

}  // namespace
