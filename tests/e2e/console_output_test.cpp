// The console on the scripted shell: how standard output and standard error
// reach the transcript, where the view goes, and that the window never
// freezes while output floods or the shell stops reading.

#include "tests/e2e/scripted_console.h"

#include <algorithm>
#include <string>

namespace e2e {
namespace {

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
    // One beep per line shown, none for the empty error line, both streams'
    // from the one thread that plays line beeps, not the window's.
    EXPECT_EQ(Count(OutputBeep), 4u);
    EXPECT_EQ(Count(ErrorBeep), 3u);
    const std::vector<DWORD> outputThreads = ThreadsBeeping(OutputBeep.frequency),
                              errorThreads = ThreadsBeeping(ErrorBeep.frequency);
    ASSERT_EQ(outputThreads.size(), 1u);
    ASSERT_EQ(errorThreads, outputThreads);
    EXPECT_NE(outputThreads[0], console_.MainThreadId());
    CloseAndExpectExitCodeZero();
}

// The pump tests show a flood arriving whole and in order; here the
// console's window answers all along, and its view follows the newest line
// unless the user reads elsewhere.
TEST_F(ConsoleOutput, TheViewFollowsAFloodUnlessTheUserReadsElsewhere) {
    ASSERT_TRUE(Start(
        "lines 1\n"
        "flood 20000\n"
        "expect \\x03\n"
        "flood 300\n"
        "out second\\n\n"
        "expect \\x03\n"
        "flood 300\n"
        "out third\\n\n"));
    // The driver's reads of the transcript come back empty only when the
    // window does not answer in time.
    size_t unanswered = 0;
    ASSERT_TRUE(console_.WaitForTranscript(
        [&](const std::wstring& t) {
            unanswered += t.empty() ? 1 : 0;
            return t.ends_with(L"\r\nline 20000\n");
        },
        LongWaitMs))
        << "the transcript holds " << console_.TextLength(console_.Transcript()) << " characters";
    EXPECT_EQ(unanswered, 0u) << "the window did not answer while the flood arrived";
    ASSERT_TRUE(console_.Settle());
    TranscriptView view = ViewOf(console_);
    ASSERT_GT(view.visibleLines, 0);
    ASSERT_LT(view.visibleLines, 300) << "the test needs more lines than the view holds";
    EXPECT_GT(view.firstVisible, 0);
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
        e2e::CloseAndExpectExitCodeZero(console);
    }
}

}  // namespace
}  // namespace e2e
