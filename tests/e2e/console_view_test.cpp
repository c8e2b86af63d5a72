// The console on the scripted shell: a user reading in the transcript keeps
// the place while another program is in front and output arrives.

#include "tests/e2e/scripted_console.h"

#include <memory>
#include <string>

namespace e2e {
namespace {

// Where the reader stands in the transcript, read with messages that carry
// no pointers.
struct ReadingPlace {
    LRESULT selectionStart = 0;  // EM_GETSEL gives the two ends in order
    LRESULT selectionEnd = 0;
    LRESULT firstVisibleLine = 0;
    int firstCharacterX = 0;  // moves as the view scrolls sideways
    bool operator==(const ReadingPlace&) const = default;
};

std::ostream& operator<<(std::ostream& out, const ReadingPlace& p) {
    return out << "selection " << p.selectionStart << ".." << p.selectionEnd << ", first visible line "
               << p.firstVisibleLine << ", first character at x " << p.firstCharacterX;
}

class ConsoleView : public ScriptedConsoleTest {
protected:
    ReadingPlace PlaceOf(HWND transcript) const {
        ReadingPlace p;
        const LRESULT selection = console_.Send(transcript, EM_GETSEL);
        p.selectionStart = LOWORD(selection);
        p.selectionEnd = HIWORD(selection);
        p.firstVisibleLine = console_.Send(transcript, EM_GETFIRSTVISIBLELINE);
        p.firstCharacterX = static_cast<short>(LOWORD(console_.Send(transcript, EM_POSFROMCHAR, 0)));
        return p;
    }
    LRESULT LineStart(HWND transcript, int line) const { return console_.Send(transcript, EM_LINEINDEX, line); }
    LRESULT LineEnd(HWND transcript, int line) const {
        const LRESULT start = LineStart(transcript, line);
        return start + console_.Send(transcript, EM_LINELENGTH, start);
    }
    bool WaitForSelection(HWND transcript, LRESULT start, LRESULT end) const {
        return WaitUntil(
            [&] {
                const ReadingPlace p = PlaceOf(transcript);
                return p.selectionStart == start && p.selectionEnd == end;
            },
            ShortWaitMs);
    }
};

TEST_F(ConsoleView, AReaderKeepsCaretSelectionAndViewWhileAnotherProgramIsInFrontAndOutputArrives) {
    // Long lines, more of them than the view shows (error lines, which
    // lose their line feed, so no empty line stands between them); then, on
    // a signal, a flood that would carry an unread view to the end.
    std::string script = "lines 1\n";
    for (int i = 1; i <= 80; ++i)
        script += "err long " + std::to_string(100 + i) + " " + std::string(300, 'x') + "\\n\n";
    script += "wait-file go\nflood 300\nout after\\n\n";
    ASSERT_TRUE(Start(script));
    ASSERT_TRUE(console_.WaitForTranscriptToContain(L"long 180 ", ShortWaitMs));
    ASSERT_TRUE(console_.Settle());
    const HWND transcript = console_.Transcript();
    ASSERT_GT(console_.Send(transcript, EM_GETFIRSTVISIBLELINE), 0) << "the test needs more lines than the view holds";

    // Line 0 holds the (empty) command text, line 1 is empty, line 2 reads
    // "---ran---"; the long lines follow. The user goes to the
    // top, down to the second long line, to its end (the view scrolls
    // sideways), and selects upwards into the line above.
    ASSERT_TRUE(console_.ClickAt(transcript, 40, 40));
    ASSERT_TRUE(WaitUntil([&] { return console_.FocusedWindow() == transcript; }, ShortWaitMs));
    ASSERT_TRUE(console_.PressKeyWith(VK_CONTROL, VK_HOME));
    ASSERT_TRUE(WaitForSelection(transcript, 0, 0));
    for (int i = 0; i < 4; ++i) ASSERT_TRUE(console_.PressKey(VK_DOWN));
    ASSERT_TRUE(WaitForSelection(transcript, LineStart(transcript, 4), LineStart(transcript, 4)));
    ASSERT_TRUE(console_.PressKey(VK_END));
    const LRESULT anchor = LineEnd(transcript, 4);
    ASSERT_TRUE(WaitForSelection(transcript, anchor, anchor));
    ASSERT_TRUE(console_.PressKeyWith(VK_SHIFT, VK_UP));
    ASSERT_TRUE(WaitUntil(
        [&] {
            const ReadingPlace p = PlaceOf(transcript);
            return p.selectionEnd == anchor && p.selectionStart > LineStart(transcript, 3) &&
                   p.selectionStart <= LineEnd(transcript, 3);
        },
        ShortWaitMs))
        << PlaceOf(transcript) << "; line 3 " << LineStart(transcript, 3) << ".." << LineEnd(transcript, 3);
    ASSERT_TRUE(console_.Settle());
    const ReadingPlace before = PlaceOf(transcript);
    ASSERT_LT(before.firstCharacterX, 0) << "the view was meant to stand scrolled sideways";
    const LRESULT caret = before.selectionStart;

    // The user switches to another program; the shell writes meanwhile.
    // A top-level window of the test's own stands for the other program.
    const std::unique_ptr<HWND__, decltype(&DestroyWindow)> other(
        CreateWindowExW(0, L"STATIC", L"another program", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 100, 400, 300,
                        nullptr, nullptr, nullptr, nullptr),
        &DestroyWindow);
    ASSERT_TRUE(other);
    SetForegroundWindow(other.get());
    ASSERT_TRUE(support::PumpUntil([&] { return GetForegroundWindow() == other.get(); }, ShortWaitMs))
        << "the other program's window never came to the front";
    ASSERT_NE(GetForegroundWindow(), console_.Window());
    ASSERT_TRUE(shell_.Signal(L"go"));
    ASSERT_TRUE(support::PumpUntil([&] { return console_.TranscriptText().ends_with(L"\r\nafter\n"); }, ShortWaitMs));
    ASSERT_TRUE(console_.Settle());
    ASSERT_EQ(GetForegroundWindow(), other.get()) << "the output was meant to arrive while the console was inactive";
    EXPECT_EQ(PlaceOf(transcript), before) << "while another program is in front";

    // Back in the console: the focus returns to the transcript, and the
    // place is where the user left it, the caret at the selection's top.
    ASSERT_TRUE(console_.BringToFront());
    ASSERT_TRUE(WaitUntil([&] { return console_.FocusedWindow() == transcript; }, ShortWaitMs));
    ASSERT_TRUE(console_.Settle());
    EXPECT_EQ(PlaceOf(transcript), before) << "after coming back";
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    ASSERT_TRUE(GetGUIThreadInfo(console_.MainThreadId(), &info));
    ASSERT_EQ(info.hwndCaret, transcript);
    const LRESULT caretPlace = console_.Send(transcript, EM_POSFROMCHAR, caret);
    EXPECT_EQ(info.rcCaret.left, static_cast<short>(LOWORD(caretPlace)));
    EXPECT_EQ(info.rcCaret.top, static_cast<short>(HIWORD(caretPlace)));
    // The selection still moves at its top end: Shift+Left makes it grow
    // there (with the ends swapped it would shrink at the bottom).
    ASSERT_TRUE(console_.PressKeyWith(VK_SHIFT, VK_LEFT));
    EXPECT_TRUE(WaitForSelection(transcript, caret - 1, anchor)) << PlaceOf(transcript);
    CloseAndExpectExitCodeZero();
}

}  // namespace
}  // namespace e2e
