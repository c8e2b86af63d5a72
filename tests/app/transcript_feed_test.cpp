#include "app/transcript_feed.h"

#include "pump_fixture.h"
#include "support/message_recorder.h"
#include "support/worker.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <string>
#include <vector>

namespace apptest {
namespace {

// The transcript's length at each of its paints.
class PaintedLengths {
public:
    explicit PaintedLengths(HWND edit) : edit_(edit) {
        SetPropW(edit_, Property, this);
        previous_ = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(edit_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Procedure)));
    }
    ~PaintedLengths() {
        SetWindowLongPtrW(edit_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous_));
        RemovePropW(edit_, Property);
    }
    PaintedLengths(const PaintedLengths&) = delete;
    PaintedLengths& operator=(const PaintedLengths&) = delete;

    std::vector<int> lengths;

private:
    static constexpr wchar_t Property[] = L"PaintedLengths";
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* self = static_cast<PaintedLengths*>(GetPropW(window, Property));
        if (message == WM_PAINT) self->lengths.push_back(GetWindowTextLengthW(window));
        return CallWindowProcW(self->previous_, window, message, wParam, lParam);
    }
    HWND edit_;
    WNDPROC previous_ = nullptr;
};

class TranscriptFeed : public testing::Test {
protected:
    void SetUp() override {
        parent_ = CreateWindowExW(0, L"STATIC", L"feed", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 800, 600, nullptr,
                                  nullptr, nullptr, nullptr);
        edit_ = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"", 0x500308C4, 0, 0, 400, 300, parent_, nullptr,
                                nullptr, nullptr);
        ASSERT_TRUE(parent_ && edit_);
        app::PrepareTranscript(edit_);
        // The wake window a child of parent_, where the test can find it.
        ASSERT_TRUE(feed_.Attach(edit_, parent_));
        SetForegroundWindow(parent_);
        ASSERT_TRUE(PumpUntil([&] { return GetActiveWindow() == parent_; }, 5000));
    }
    void TearDown() override {
        feed_.Close();
        DestroyWindow(parent_);
    }

    // Parts of at most `chars` characters, and no paint until a flood ends.
    void SmallPartsAndHeldPaints(size_t chars) {
        app::TranscriptPace::Settings pace;
        pace.minPartChars = 1;
        pace.maxPartChars = chars;
        pace.paintShare = 1e-6;
        feed_.ConfigurePace(pace);
    }
    struct Handed {
        std::wstring text;  // what the pieces add up to
        uint64_t last;      // the ticket of the last one
    };
    // Hands `lines` lines of `width` characters from this thread, one piece each.
    Handed HandLines(int lines, size_t width) {
        Handed handed{L"", 0};
        for (int i = 0; i < lines; ++i) {
            const std::wstring piece = L"\r\nline " + std::to_wstring(i) + std::wstring(width, L'x');
            handed.text += piece;
            handed.last = feed_.Hand(piece);
        }
        return handed;
    }
    [[nodiscard]] int FirstCharacterX() const {
        return static_cast<short>(LOWORD(SendMessageW(edit_, EM_POSFROMCHAR, 0, 0)));
    }

    [[nodiscard]] HWND WakeWindow() const {
        for (HWND child = GetWindow(parent_, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
            if (child != edit_) return child;
        return nullptr;
    }

    HWND parent_ = nullptr;
    HWND edit_ = nullptr;
    app::TranscriptFeed feed_;
};

// A pump waiting on a thread of its own for the text of `ticket`.
struct Waiter {
    Waiter(app::TranscriptFeed& feed, uint64_t ticket)
        : thread([this, &feed, ticket] {
              const bool shown = feed.WaitShown(ticket);
              shownAtReturn.store(feed.IsShown(ticket));
              result.store(shown ? 1 : 0);
          }) {
        EXPECT_TRUE(thread.Started());
    }
    std::atomic<int> result{-1};  // 1: shown, 0: the feed closed
    std::atomic<bool> shownAtReturn{false};
    support::Worker thread;  // last: it starts once the rest is made
};

// A pump thread hands many pieces before the main thread gets to them: they
// cost one wake-up and arrive in order.
TEST_F(TranscriptFeed, PiecesHandedByAnotherThreadArriveInOrderWithOneWakeUp) {
    const HWND wake = WakeWindow();
    ASSERT_TRUE(wake);
    support::MessageRecorder wakeUps(wake);
    uint64_t last = 0;
    support::Worker pump([&] {
        for (int i = 0; i < 500; ++i) last = feed_.Hand(L"\r\n" + std::to_wstring(i));
    });
    ASSERT_TRUE(pump.Done(support::Patience));
    EXPECT_FALSE(feed_.IsShown(last));  // no message has been dispatched yet
    ASSERT_TRUE(PumpUntil([&] { return feed_.IsShown(last); }));
    std::wstring expected;
    for (int i = 0; i < 500; ++i) expected += L"\r\n" + std::to_wstring(i);
    EXPECT_EQ(WindowText(edit_), expected);
    // The window's timers (the paint once the text is quiet) are no wake-ups.
    EXPECT_EQ(wakeUps.messages.size() - wakeUps.Count(WM_TIMER), 1u);
}

// Paints held back while a flood goes in come once it ends: the control
// paints the whole text, the newest line in view.
TEST_F(TranscriptFeed, AFloodInSmallPartsShowsItsNewestTextOnceItEnds) {
    SmallPartsAndHeldPaints(500);
    const PaintedLengths paints(edit_);
    const Handed flood = HandLines(2000, 0);
    ASSERT_TRUE(PumpUntil([&] { return feed_.IsShown(flood.last); }));
    EXPECT_TRUE(WindowText(edit_) == flood.text);
    const int length = static_cast<int>(flood.text.size());
    ASSERT_TRUE(PumpUntil([&] { return !paints.lengths.empty() && paints.lengths.back() == length; }));
    const LRESULT end = SendMessageW(edit_, EM_POSFROMCHAR, static_cast<WPARAM>(length - 1), 0);
    RECT client{};
    GetClientRect(edit_, &client);
    EXPECT_NE(end, -1);
    EXPECT_GE(static_cast<short>(HIWORD(end)), 0);
    EXPECT_LT(static_cast<short>(HIWORD(end)), client.bottom);
    EXPECT_FALSE(GetUpdateRect(edit_, nullptr, FALSE));
}

// A reader's caret, selection and view stay put while a flood goes in, in
// small parts and with its paints held back.
TEST_F(TranscriptFeed, AReadersPlaceIsKeptAcrossPartsAndPaintPauses) {
    std::wstring before;
    for (int i = 0; i < 300; ++i) before += L"\r\nline " + std::to_wstring(i) + std::wstring(120, L'x');
    app::AppendToTranscript(edit_, before);
    SmallPartsAndHeldPaints(1000);
    SetFocus(edit_);
    ASSERT_EQ(GetFocus(), edit_);
    // Upward, from line 11 into line 10, the view five steps right and at line 8.
    const LRESULT low = SendMessageW(edit_, EM_LINEINDEX, 10, 0) + 20;
    const LRESULT high = SendMessageW(edit_, EM_LINEINDEX, 11, 0) + 30;
    SendMessageW(edit_, EM_SETSEL, high, low);
    SendMessageW(edit_, EM_LINESCROLL, static_cast<WPARAM>(-100000), 0);
    SendMessageW(edit_, EM_LINESCROLL, 5, 8 - SendMessageW(edit_, EM_GETFIRSTVISIBLELINE, 0, 0));
    ASSERT_EQ(SendMessageW(edit_, EM_GETFIRSTVISIBLELINE, 0, 0), 8);
    const int x = FirstCharacterX();
    POINT caretBefore{};
    ASSERT_TRUE(GetCaretPos(&caretBefore));

    const PaintedLengths paints(edit_);
    const Handed flood = HandLines(1000, 30);
    ASSERT_TRUE(PumpUntil([&] { return feed_.IsShown(flood.last); }));
    const int length = static_cast<int>(before.size() + flood.text.size());
    ASSERT_TRUE(PumpUntil([&] { return !paints.lengths.empty() && paints.lengths.back() == length; }));

    DWORD start = 0, end = 0;
    SendMessageW(edit_, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(start, static_cast<DWORD>(low));
    EXPECT_EQ(end, static_cast<DWORD>(high));
    EXPECT_EQ(SendMessageW(edit_, EM_GETFIRSTVISIBLELINE, 0, 0), 8);
    EXPECT_EQ(FirstCharacterX(), x);
    POINT caret{};
    ASSERT_TRUE(GetCaretPos(&caret));
    EXPECT_EQ(caret.x, caretBefore.x);
    EXPECT_EQ(caret.y, caretBefore.y);
    EXPECT_TRUE(WindowText(edit_) == before + flood.text);
}

// A pump waiting for its text goes on once the main thread has shown it.
TEST_F(TranscriptFeed, AWaiterIsReleasedOnceItsTextIsShown) {
    Waiter w(feed_, feed_.Hand(L"\r\nshown"));
    ASSERT_TRUE(PumpUntil([&] { return w.result.load() != -1; }));
    EXPECT_EQ(w.result.load(), 1);
    EXPECT_TRUE(w.shownAtReturn.load());
    EXPECT_EQ(WindowText(edit_), L"\r\nshown");
}

// At shutdown a pump may be waiting for its text to be shown: closing the
// feed releases it, and nothing handed over afterwards reaches the window.
TEST_F(TranscriptFeed, CloseReleasesWaitersAndStopsDelivery) {
    Waiter w(feed_, feed_.Hand(L"never shown"));
    // Nothing dispatches the wake-up, so the waiter stays blocked until the close.
    EXPECT_TRUE(support::NothingWithin(100, [&] { return w.thread.Done(0); }));
    feed_.Close();
    EXPECT_TRUE(w.thread.Done(support::Patience));
    EXPECT_EQ(w.result.load(), 0);

    (void)feed_.Hand(L"after close");
    feed_.Deliver();
    support::DispatchMessages(0);  // any wake-up posted by now
    EXPECT_EQ(WindowText(edit_), L"");
    Waiter late(feed_, feed_.Hand(L"late"));
    EXPECT_TRUE(late.thread.Done(support::Patience));
    EXPECT_EQ(late.result.load(), 0);
}

}  // namespace
}  // namespace apptest
