#include "app/transcript_feed.h"
#include "app/transcript_view.h"

#include "pump_fixture.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <string>

namespace apptest {
namespace {

// A transcript control as the console makes it, in an active top-level window.
class TranscriptView : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(MakeTranscript(parent_, edit_));
        ASSERT_TRUE(Activate(parent_)) << "the test window never became the active one";
    }
    void TearDown() override { DestroyWindow(parent_); }

    static std::wstring Lines(int from, int to, size_t padding = 0) {
        std::wstring text;
        for (int i = from; i <= to; ++i) text += L"\r\nline " + std::to_wstring(i) + std::wstring(padding, L'x');
        return text;
    }
    [[nodiscard]] LRESULT FirstVisibleLine() const { return SendMessageW(edit_, EM_GETFIRSTVISIBLELINE, 0, 0); }

    HWND parent_ = nullptr;
    HWND edit_ = nullptr;
};

TEST_F(TranscriptView, AppendedTextIsKeptWholeFarBeyondTheVisibleLines) {
    std::wstring expected;
    for (int batch = 0; batch < 10; ++batch) {
        const std::wstring piece = Lines(batch * 1000 + 1, batch * 1000 + 1000);
        app::AppendToTranscript(edit_, piece);
        expected += piece;
    }
    EXPECT_GT(expected.size(), 100000u);  // past the control's default limit
    EXPECT_TRUE(WindowText(edit_) == expected) << WindowText(edit_).size() << " of " << expected.size();
}

// The view follows the output unless a reader holds a place: a caret at the
// end, or a selection in a transcript without the focus, holds none.
TEST_F(TranscriptView, NewestOutputStaysInView) {
    enum Place { None, FocusedCaretAtTheEnd, UnfocusedSelection };
    for (Place place : {None, FocusedCaretAtTheEnd, UnfocusedSelection}) {
        SCOPED_TRACE(place);
        SetWindowTextW(edit_, L"");
        SetFocus(place == FocusedCaretAtTheEnd ? edit_ : parent_);
        ASSERT_EQ(GetFocus() == edit_, place == FocusedCaretAtTheEnd);
        app::AppendToTranscript(edit_, Lines(1, 300));
        const int length = GetWindowTextLengthW(edit_);
        if (place == FocusedCaretAtTheEnd) SendMessageW(edit_, EM_SETSEL, length, length);
        if (place == UnfocusedSelection) SendMessageW(edit_, EM_SETSEL, 0, 5);
        for (int i = 3; i < 6; ++i) app::AppendToTranscript(edit_, Lines(i * 100 + 1, i * 100 + 100));
        EXPECT_GT(FirstVisibleLine(), 0);
        EXPECT_TRUE(LastCharacterVisible(edit_));
        DWORD start = 0, end = 0;
        SendMessageW(edit_, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
        EXPECT_TRUE(place == UnfocusedSelection || static_cast<int>(end) == GetWindowTextLengthW(edit_)) << end;
    }
}

// A selection that runs to the end, made either way, is a reader's: the
// text is added behind it, not put in its place.
TEST_F(TranscriptView, ASelectionToTheEndIsKeptAndNotReplaced) {
    for (bool upward : {false, true}) {
        SCOPED_TRACE(upward);
        SetWindowTextW(edit_, L"");
        app::AppendToTranscript(edit_, Lines(1, 3));
        SetFocus(edit_);
        const int length = GetWindowTextLengthW(edit_);
        SendMessageW(edit_, EM_SETSEL, upward ? length : 5, upward ? 5 : length);
        app::AppendToTranscript(edit_, Lines(4, 5));
        EXPECT_EQ(WindowText(edit_), Lines(1, 5));
        DWORD start = 0, end = 0;
        SendMessageW(edit_, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
        EXPECT_EQ(start, 5u);
        EXPECT_EQ(end, static_cast<DWORD>(length));
    }
}

// How the reader has scrolled the view sideways.
enum class Sideways { NotAtAll, ByWholeCharacters, ToALongLinesEnd, BackFromALongLinesEnd, BackWhereNoThumbReaches };

struct ReaderCase {
    const char* name;
    bool upward;  // the anchor after the caret
    Sideways sideways;
    bool throughTheFeed = false;  // in small parts, the paints held back until all is in
};

class TranscriptReader : public TranscriptView, public testing::WithParamInterface<ReaderCase> {
protected:
    [[nodiscard]] LRESULT LineEnd(int line) const {
        const LRESULT start = SendMessageW(edit_, EM_LINEINDEX, line, 0);
        return start + SendMessageW(edit_, EM_LINELENGTH, start, 0);
    }
    [[nodiscard]] POINT PositionOf(LRESULT character) const {
        const LRESULT pos = SendMessageW(edit_, EM_POSFROMCHAR, static_cast<WPARAM>(character), 0);
        return POINT{static_cast<short>(LOWORD(pos)), static_cast<short>(HIWORD(pos))};
    }
};

TEST_P(TranscriptReader, KeepsCaretSelectionAndViewWhileOutputArrives) {
    const ReaderCase& c = GetParam();
    // Lines of many widths, all wider than the view.
    std::wstring text;
    for (int i = 1; i <= 300; ++i) text += Lines(i, i, 100 + i % 37);
    // A line wider than the rest sets the text's width, and with it where the
    // control's own scrolling lands.
    if (c.sideways == Sideways::BackWhereNoThumbReaches) text += L"\r\n" + std::wstring(200, L'x');
    app::AppendToTranscript(edit_, text);
    SetFocus(edit_);
    ASSERT_EQ(GetFocus(), edit_);
    // The newest line is long too, so the view followed it sideways.
    SendMessageW(edit_, EM_LINESCROLL, static_cast<WPARAM>(-100000), 0);
    const int leftmostX = FirstCharacterX(edit_);
    // The control's own sideways step: one column of EM_LINESCROLL.
    SendMessageW(edit_, EM_LINESCROLL, 1, 0);
    const int step = leftmostX - FirstCharacterX(edit_);
    SendMessageW(edit_, EM_LINESCROLL, static_cast<WPARAM>(-1), 0);
    ASSERT_GT(step, 0);
    if (c.sideways == Sideways::BackWhereNoThumbReaches) {
        // The text made a hundred steps wider than the view: every thumb
        // position then lies a whole number of steps from the start, and
        // none from a place that does not.
        const auto thumbX = [&](int position) {
            SendMessageW(edit_, WM_HSCROLL, MAKEWPARAM(SB_THUMBPOSITION, position), 0);
            return FirstCharacterX(edit_);
        };
        RECT box{};
        GetWindowRect(edit_, &box);
        const int range = thumbX(0) - thumbX(100);
        MoveWindow(edit_, 0, 0, box.right - box.left + range - 100 * step, box.bottom - box.top, TRUE);
        ASSERT_EQ(thumbX(0) - thumbX(100), 100 * step);
        ASSERT_EQ(thumbX(0), leftmostX);
    }
    // A selection from inside line 10 into line 11, both ends in view.
    int line = 10;
    LRESULT low = SendMessageW(edit_, EM_LINEINDEX, line, 0) + 20;
    LRESULT high = LineEnd(line) + 2 + 30;
    if (c.sideways >= Sideways::ToALongLinesEnd) {
        // The caret at a long line's end, which the control scrolls into view
        // by pixels, not characters; one of these line ends lies between two
        // character steps.
        for (;; ++line) {
            ASSERT_LT(line, 40) << "no line end stands between two character steps";
            const LRESULT lineEnd = LineEnd(line);
            SendMessageW(edit_, EM_SETSEL, lineEnd, lineEnd);
            SendMessageW(edit_, EM_SCROLLCARET, 0, 0);
            if ((leftmostX - FirstCharacterX(edit_)) % step != 0) break;
        }
        low = c.upward ? LineEnd(line) : SendMessageW(edit_, EM_LINEINDEX, line, 0) + 20;
        high = c.upward ? LineEnd(line) + 2 + 30 : LineEnd(line);
    }
    if (c.sideways >= Sideways::BackFromALongLinesEnd) {
        // Then back left, past the view's edge: the control scrolls by an
        // amount of its own, which no caret brought into view from the left
        // gives.
        high = LineEnd(line) - 60;
        SendMessageW(edit_, EM_SETSEL, high, high);
        SendMessageW(edit_, EM_SCROLLCARET, 0, 0);
    }
    SendMessageW(edit_, EM_SETSEL, c.upward ? high : low, c.upward ? low : high);  // the anchor first
    if (c.sideways == Sideways::ByWholeCharacters) SendMessageW(edit_, EM_LINESCROLL, 25, 0);
    SendMessageW(edit_, EM_LINESCROLL, 0, 8 - FirstVisibleLine());
    ASSERT_EQ(FirstVisibleLine(), 8);
    const int x = FirstCharacterX(edit_);
    switch (c.sideways) {
    case Sideways::NotAtAll: ASSERT_EQ(x, leftmostX); break;
    case Sideways::ByWholeCharacters: ASSERT_EQ(leftmostX - x, 25 * step); break;
    default: ASSERT_NE((leftmostX - x) % step, 0); break;
    }
    const LRESULT caret = c.upward ? low : high;
    POINT caretAt{};
    ASSERT_TRUE(GetCaretPos(&caretAt));
    ASSERT_EQ(caretAt.x, PositionOf(caret).x);

    if (c.throughTheFeed) {
        app::TranscriptFeed feed;
        ASSERT_TRUE(feed.Attach(edit_));
        HoldPaints(feed, 1000);
        std::vector<int> paints;
        const auto recorder = RecordPaints(edit_, paints);
        uint64_t last = 0;
        for (int i = 301; i <= 600; ++i) last = feed.Hand(Lines(i, i, 30));
        ASSERT_TRUE(PumpUntil([&] { return feed.IsShown(last); }));
        const int length = GetWindowTextLengthW(edit_);
        ASSERT_TRUE(PumpUntil([&] { return !paints.empty() && paints.back() == length; }));
        feed.Close();
    } else {
        for (int from = 301; from <= 600; from += 100) app::AppendToTranscript(edit_, Lines(from, from + 99));
    }

    DWORD start = 0, end = 0;
    SendMessageW(edit_, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(start, static_cast<DWORD>(low));
    EXPECT_EQ(end, static_cast<DWORD>(high));
    EXPECT_EQ(FirstVisibleLine(), 8);
    if (c.sideways == Sideways::BackWhereNoThumbReaches) {
        EXPECT_LT(std::abs(FirstCharacterX(edit_) - x), step) << "as near as whole steps come";
    } else {
        EXPECT_EQ(FirstCharacterX(edit_), x);
    }
    ASSERT_TRUE(GetCaretPos(&caretAt));
    const POINT expectedCaret = PositionOf(caret);
    EXPECT_EQ(caretAt.x, expectedCaret.x);
    EXPECT_EQ(caretAt.y, expectedCaret.y);
    EXPECT_TRUE(WindowText(edit_) == text + Lines(301, 600, c.throughTheFeed ? 30 : 0));
}

INSTANTIATE_TEST_SUITE_P(Places, TranscriptReader,
                         testing::Values(ReaderCase{"Downward", false, Sideways::NotAtAll},
                                         ReaderCase{"Upward", true, Sideways::NotAtAll},
                                         ReaderCase{"UpwardByWholeCharacters", true, Sideways::ByWholeCharacters},
                                         ReaderCase{"UpwardThroughTheFeed", true, Sideways::ByWholeCharacters, true},
                                         ReaderCase{"DownwardBackFromALongLinesEnd", false, Sideways::BackFromALongLinesEnd},
                                         ReaderCase{"UpwardAtALongLinesEnd", true, Sideways::ToALongLinesEnd},
                                         ReaderCase{"DownwardWhereNoThumbReaches", false, Sideways::BackWhereNoThumbReaches}),
                         [](const testing::TestParamInfo<ReaderCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace apptest
