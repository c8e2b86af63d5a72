// The console on the scripted shell: how standard output and standard error
// reach the transcript, how fast, where the view goes, and that the window
// never freezes while the shell stops reading.

#include "tests/e2e/scripted_console.h"

#include <algorithm>
#include <string>

namespace e2e {
namespace {

using namespace std::string_literals;

class ConsoleOutput : public ScriptedConsoleTest {
protected:
    // Lets a script waiting on "expect go\n" go on.
    void Proceed() {
        ASSERT_TRUE(console_.TypeIntoField(L"go"));
        ASSERT_TRUE(console_.PressKey(VK_RETURN));
    }

    std::vector<DWORD> ThreadsBeeping(DWORD frequency) const {
        std::vector<DWORD> threads;
        for (const BeepCall& b : console_.Beeps())
            if (b.frequency == frequency && std::find(threads.begin(), threads.end(), b.threadId) == threads.end())
                threads.push_back(b.threadId);
        return threads;
    }
};

// Where the transcript's view stands, from messages without pointers.
struct TranscriptView {
    LRESULT firstVisible = 0;
    LRESULT lineCount = 0;
    LRESULT visibleLines = 0;
    // The last line is entirely inside the view.
    bool ShowsNewest() const { return lineCount - 1 < firstVisible + visibleLines; }
};

TranscriptView ViewOf(const ConsoleSession& console) {
    const HWND t = console.Transcript();
    TranscriptView v;
    v.firstVisible = console.Send(t, EM_GETFIRSTVISIBLELINE);
    v.lineCount = console.Send(t, EM_GETLINECOUNT);
    const LRESULT top = console.Send(t, EM_POSFROMCHAR, console.Send(t, EM_LINEINDEX, v.firstVisible));
    const LRESULT next = console.Send(t, EM_POSFROMCHAR, console.Send(t, EM_LINEINDEX, v.firstVisible + 1));
    const int lineHeight = static_cast<short>(HIWORD(next)) - static_cast<short>(HIWORD(top));
    RECT client{};
    GetClientRect(t, &client);
    v.visibleLines = lineHeight > 0 ? client.bottom / lineHeight : 0;
    return v;
}

std::wstring NumberedLines(const wchar_t* prefix, int first, int last, const wchar_t* before, const wchar_t* after) {
    std::wstring text;
    for (int i = first; i <= last; ++i) text += before + std::wstring(prefix) + std::to_wstring(i) + after;
    return text;
}

TEST_F(ConsoleOutput, OutputLinesKeepTheirLineEndErrorLinesLoseItAndEmptyErrorLinesAreNotShown) {
    ASSERT_TRUE(Start(
        "lines 1\n"
        "out abc\\n\n"
        "out carriage\\r\\n\n"
        "out \\n\n"
        "expect go\\n\n"
        "err oops\\n\n"
        "err \\n\n"
        "err with carriage\\r\\n\n"
        "err last\\n\n"
        "expect go\\n\n"
        "out end\\n\n"));
    ASSERT_TRUE(WaitForBeeps(OutputBeep, 3));
    Proceed();
    ASSERT_TRUE(console_.WaitForTranscriptToContain(L"last", ShortWaitMs));
    Proceed();
    ASSERT_TRUE(console_.WaitForTranscriptToContain(L"end", ShortWaitMs));
    ASSERT_TRUE(WaitForBeeps(OutputBeep, 4));
    EXPECT_EQ(console_.TranscriptText(), Head(L"") +
                                             L"\r\nabc\n"
                                             L"\r\ncarriage\r\n"
                                             L"\r\n\n"
                                             L"\r\noops"
                                             L"\r\nwith carriage"
                                             L"\r\nlast"
                                             L"\r\nend\n");
    // One beep per line shown, none for the empty error line, each stream
    // from a thread of its own, neither of them the window's.
    EXPECT_EQ(Count(OutputBeep), 4u);
    EXPECT_EQ(Count(ErrorBeep), 3u);
    const std::vector<DWORD> outputThreads = ThreadsBeeping(800), errorThreads = ThreadsBeeping(100);
    ASSERT_EQ(outputThreads.size(), 1u);
    ASSERT_EQ(errorThreads.size(), 1u);
    EXPECT_NE(outputThreads[0], errorThreads[0]);
    EXPECT_NE(outputThreads[0], console_.MainThreadId());
    EXPECT_NE(errorThreads[0], console_.MainThreadId());
    CloseAndExpectExitCodeZero();
}

TEST_F(ConsoleOutput, Utf8IsDecodedAcrossBytesAndReads) {
    ASSERT_TRUE(Start(
        "lines 1\n"
        "err Fehler: ung\xc3\xbcltig \xe2\x82\xac\\n\n"
        "expect go\\n\n"
        "out caf\\xc3\\xa9 \\xe2\\x82\\xac \\xf0\\x9f\\x98\\x80\\n\n"
        "out split \\xc3\n"
        "sleep 200\n"
        "out \\xa9 \\xe2\\x82\n"
        "sleep 200\n"
        "out \\xac \\xf0\\x9f\n"
        "sleep 200\n"
        "out \\x98\\x80\\n\n"
        "out bad \\xff \\x80 \\xc3( end\\n\n"
        "out zero a\\0b\\0\\n\n"));
    ASSERT_TRUE(console_.WaitForTranscriptToContain(L"Fehler", ShortWaitMs));
    Proceed();
    ASSERT_TRUE(console_.WaitForTranscriptToContain(L"zero", ShortWaitMs));
    EXPECT_EQ(console_.TranscriptText(), Head(L"") +
                                             L"\r\nFehler: ung\u00fcltig \u20ac"
                                             L"\r\ncaf\u00e9 \u20ac \U0001F600\n"
                                             L"\r\nsplit \u00e9 \u20ac \U0001F600\n"
                                             L"\r\nbad \uFFFD \uFFFD \uFFFD( end\n"
                                             L"\r\nzero ab\n");
    ASSERT_TRUE(WaitForBeeps(OutputBeep, 4));
    EXPECT_EQ(Count(OutputBeep), 4u);
    CloseAndExpectExitCodeZero();
}

TEST_F(ConsoleOutput, IllFormedBytesReadTheSameOnBothStreams) {
    // Truncated and forbidden forms: a surrogate, overlong forms, beyond
    // U+10FFFF, a lead byte cut off by an ASCII one.
    const std::string bad = "\\xed\\xa4\\xb4 \\xe0\\x80\\xaf \\xf0\\x80\\x80\\x80 \\xf4\\x90\\x80\\x80 \\xc3(";
    ASSERT_TRUE(Start("lines 1\nout O " + bad + "\\n\nlines 2\nerr E " + bad + "\\n\n"));
    ASSERT_TRUE(console_.WaitForTranscriptToContain(L"\r\nO ", ShortWaitMs));
    Proceed();
    ASSERT_TRUE(console_.WaitForTranscriptToContain(L"\r\nE ", ShortWaitMs));
    const std::wstring decoded = L"\uFFFD\uFFFD\uFFFD \uFFFD\uFFFD\uFFFD \uFFFD\uFFFD\uFFFD\uFFFD \uFFFD\uFFFD\uFFFD\uFFFD \uFFFD(";
    EXPECT_EQ(console_.TranscriptText(), Head(L"") + L"\r\nO " + decoded + L"\n" + L"\r\nE " + decoded);
    CloseAndExpectExitCodeZero();
}

TEST_F(ConsoleOutput, OutputAfterTheLastLineFeedIsShownWhenTheShellEnds) {
    ASSERT_TRUE(Start(
        "lines 1\n"
        "out one\\n\n"
        "out prompt$ \\xc3\n"
        "exit 0\n"));
    ASSERT_TRUE(WaitForEnd());
    ASSERT_TRUE(WaitForBeeps(EndBeep, 1));
    console_.Settle();
    // An unfinished character at the very end reads as one U+FFFD.
    EXPECT_EQ(console_.TranscriptText(), Head(L"") + L"\r\none\n" + L"\r\nprompt$ \uFFFD" + Closed);
    EXPECT_EQ(Count(OutputBeep), 2u);
    EXPECT_EQ(Count(EndBeep), 1u);
    CloseAndExpectExitCodeZero();
}

TEST_F(ConsoleOutput, AnErrorLineWithoutLineFeedIsShownWhenTheShellEnds) {
    ASSERT_TRUE(Start(
        "lines 1\n"
        "err warning: no end\n"
        "exit 0\n"));
    ASSERT_TRUE(WaitForEnd());
    ASSERT_TRUE(WaitForBeeps(EndBeep, 1));
    console_.Settle();
    EXPECT_EQ(console_.TranscriptText(), Head(L"") + L"\r\nwarning: no end" + Closed);
    EXPECT_EQ(Count(ErrorBeep), 1u);
    EXPECT_EQ(Count(EndBeep), 1u);
    CloseAndExpectExitCodeZero();
}

TEST_F(ConsoleOutput, ErrorLinesStillWaitingAtTheEndAreShownBeforeTheStatusLine) {
    ASSERT_TRUE(Start(
        "lines 1\n"
        "flood-err 200\n"
        "out last\\n\n"
        "exit 0\n"));
    ASSERT_TRUE(WaitForEnd(LongWaitMs));
    ASSERT_TRUE(WaitForBeeps(EndBeep, 1));
    // Nothing comes after the status line, however long one waits.
    const std::wstring atEnd = console_.TranscriptText();
    EXPECT_FALSE(WaitUntil([&] { return console_.TranscriptText() != atEnd || Count(EndBeep) != 1; }, 1000));
    const std::wstring text = console_.TranscriptText();
    EXPECT_TRUE(text.starts_with(Head(L""))) << Utf8(text.substr(0, 200));
    EXPECT_TRUE(EndsWith(text, Closed)) << Utf8(text.substr(text.size() - std::min<size_t>(text.size(), 200)));
    EXPECT_EQ(Occurrences(text, L"---program closed---"), 1u);
    EXPECT_EQ(Occurrences(text, L"\r\nlast\n"), 1u);
    // The error lines, all of them, in order.
    std::wstring errors = text;
    const size_t last = errors.find(L"\r\nlast\n");
    if (last != std::wstring::npos) errors.erase(last, 7);
    EXPECT_EQ(errors, Head(L"") + NumberedLines(L"error ", 1, 200, L"\r\n", L"") + Closed);
    EXPECT_EQ(Count(ErrorBeep), 200u);
    EXPECT_EQ(Count(OutputBeep), 1u);
    EXPECT_EQ(Count(EndBeep), 1u);
    CloseAndExpectExitCodeZero();
}

TEST_F(ConsoleOutput, AFloodOfTwentyThousandLinesArrivesWholeAndInView) {
    ASSERT_TRUE(Start("lines 1\nflood 20000\n"));
    const ULONGLONG started = GetTickCount64();
    const bool arrived =
        console_.WaitForTranscript([](const std::wstring& t) { return EndsWith(t, L"\r\nline 20000\n"); }, LongWaitMs);
    const ULONGLONG elapsed = GetTickCount64() - started;
    RecordProperty("flood_ms", static_cast<int>(elapsed));
    ASSERT_TRUE(arrived) << "after " << elapsed << " ms the transcript holds " << console_.TextLength(console_.Transcript())
                         << " characters";
    EXPECT_EQ(console_.TranscriptText(), Head(L"") + NumberedLines(L"line ", 1, 20000, L"\r\n", L"\n"));
    ASSERT_TRUE(WaitForBeeps(OutputBeep, 20000, LongWaitMs)) << Count(OutputBeep) << " beeps";
    EXPECT_EQ(Count(OutputBeep), 20000u);
    const TranscriptView view = ViewOf(console_);
    EXPECT_GT(view.visibleLines, 0);
    EXPECT_GT(view.firstVisible, 0);
    EXPECT_TRUE(view.ShowsNewest()) << view.firstVisible << " + " << view.visibleLines << " of " << view.lineCount;
    CloseAndExpectExitCodeZero();
}

TEST_F(ConsoleOutput, TheViewFollowsNewOutputUnlessTheUserReadsElsewhere) {
    ASSERT_TRUE(Start(
        "lines 1\n"
        "flood 300\n"
        "expect \\x03\n"
        "flood 300\n"
        "out second\\n\n"
        "expect \\x03\n"
        "flood 300\n"
        "out third\\n\n"));
    ASSERT_TRUE(console_.WaitForTranscript([](const std::wstring& t) { return EndsWith(t, L"line 300\n"); },
                                           ShortWaitMs));
    ASSERT_TRUE(console_.Settle());
    TranscriptView view = ViewOf(console_);
    ASSERT_GT(view.visibleLines, 0);
    ASSERT_LT(view.visibleLines, 300) << "the test needs more lines than the view holds";
    EXPECT_TRUE(view.ShowsNewest()) << view.firstVisible << " + " << view.visibleLines << " of " << view.lineCount;

    // The user clicks into the transcript and goes to its top to read.
    const HWND transcript = console_.Transcript();
    ASSERT_TRUE(console_.ClickAt(transcript, 40, 40));
    ASSERT_TRUE(WaitUntil([&] { return console_.FocusedWindow() == transcript; }, ShortWaitMs));
    ASSERT_TRUE(console_.PressKeyWith(VK_CONTROL, VK_HOME));
    ASSERT_TRUE(WaitUntil([&] { return console_.Send(transcript, EM_GETFIRSTVISIBLELINE) == 0; }, ShortWaitMs));
    ASSERT_EQ(console_.Send(transcript, EM_GETSEL), 0);
    // Escape acts whichever control has the focus; the script then writes on.
    ASSERT_TRUE(console_.PressKey(VK_ESCAPE));
    ASSERT_TRUE(console_.WaitForTranscriptToContain(L"second", ShortWaitMs));
    ASSERT_TRUE(console_.Settle());
    EXPECT_EQ(console_.Send(transcript, EM_GETFIRSTVISIBLELINE), 0);
    EXPECT_EQ(console_.Send(transcript, EM_GETSEL), 0) << "the caret moved";
    EXPECT_EQ(console_.FocusedWindow(), transcript);

    // Back at the end of the transcript, the view follows again.
    ASSERT_TRUE(console_.PressKeyWith(VK_CONTROL, VK_END));
    ASSERT_TRUE(WaitUntil([&] { return console_.Send(transcript, EM_GETFIRSTVISIBLELINE) > 0; }, ShortWaitMs));
    ASSERT_TRUE(console_.PressKey(VK_ESCAPE));
    ASSERT_TRUE(console_.WaitForTranscriptToContain(L"third", ShortWaitMs));
    ASSERT_TRUE(console_.Settle());
    view = ViewOf(console_);
    EXPECT_TRUE(view.ShowsNewest()) << view.firstVisible << " + " << view.visibleLines << " of " << view.lineCount;
    EXPECT_EQ(shell_.ReceivedInput(), "\n\x03\x03");
    CloseAndExpectExitCodeZero();
}

TEST_F(ConsoleOutput, TheWindowKeepsAnsweringWhileTheShellStopsReading) {
    ASSERT_TRUE(Start(
        "lines 1\n"
        "hold\n"
        "out holding\\n\n"
        "wait-file go\n"
        "resume\n"
        "lines 6\n"
        "out all read\\n\n"));
    ASSERT_TRUE(console_.WaitForTranscriptToContain(L"holding", ShortWaitMs));
    // Pasted commands far beyond what the input pipe holds.
    std::vector<std::wstring> commands;
    for (wchar_t mark : {L'a', L'b', L'c', L'd'}) {
        std::wstring command = L"echo ";
        for (int i = 0; i < 20000 / 10; ++i) command += std::wstring(9, mark) + L' ';
        commands.push_back(command);
    }
    for (const std::wstring& command : commands) {
        ASSERT_TRUE(console_.PasteIntoField(command));
        ASSERT_TRUE(console_.PressKey(VK_RETURN));
        ASSERT_TRUE(console_.Answers(2000)) << "the window froze after Return";
        ASSERT_TRUE(WaitUntil([&] { return console_.FieldText().empty(); }, ShortWaitMs));
    }
    // Typing goes on as usual; one more command is queued behind the others.
    ASSERT_TRUE(console_.TypeIntoField(L"typed while stuck"));
    ASSERT_TRUE(console_.PressKey(VK_RETURN));
    for (int i = 0; i < 5; ++i) EXPECT_TRUE(console_.Answers(1000)) << "the window froze, probe " << i;
    EXPECT_LT(shell_.ReceivedInput().size(), 4u * 20000u) << "the shell was meant to be stuck";

    ASSERT_TRUE(shell_.Signal(L"go"));
    ASSERT_TRUE(console_.WaitForTranscriptToContain(L"all read", ShortWaitMs));
    std::string expected = "\n";
    for (const std::wstring& command : commands) expected += Utf8(command) + "\n";
    expected += "typed while stuck\n";
    EXPECT_EQ(shell_.ReceivedInput(), expected);
    ASSERT_TRUE(WaitForBeeps(ReturnBeep, 5));
    EXPECT_EQ(Count(ReturnBeep), 5u);
    EXPECT_EQ(console_.History(), (std::vector<std::wstring>{L"", L"typed while stuck", commands[3], commands[2],
                                                             commands[1], commands[0]}));
    CloseAndExpectExitCodeZero();
}

TEST_F(ConsoleOutput, ClosingWhileOutputFloodsEndsWithExitCodeZero) {
    // Close at different moments of the flood: early, in the middle of it.
    for (size_t shown : {size_t{0}, size_t{20000}, size_t{200000}}) {
        SCOPED_TRACE(shown);
        TestFolder folder;
        ScriptedShell shell(folder);
        ASSERT_TRUE(shell.WriteScript("lines 1\nflood 5000000\n"));
        ConsoleSession console;
        LaunchOptions options;
        options.environment = shell.Environment();
        std::wstring failure;
        ASSERT_TRUE(console.Start(options, &failure)) << Utf8(failure);
        ASSERT_TRUE(WaitUntil([&] { return console.TextLength(console.Transcript()) > shown; }, LongWaitMs));
        console.RequestClose();
        DWORD code = 0xDEAD;
        ASSERT_TRUE(console.WaitForExit(ShortWaitMs, &code)) << "the console did not end";
        EXPECT_EQ(code, 0u);
    }
}

}  // namespace
}  // namespace e2e
