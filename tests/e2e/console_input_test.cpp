// The console on the scripted shell: the start-up command, the window and
// its layout, and what Return and Escape send, file and beep.

#include "tests/e2e/scripted_console.h"

#include <algorithm>
#include <set>

namespace e2e {
namespace {

using ConsoleStartup = ScriptedConsoleTest;
using ConsoleKeys = ScriptedConsoleTest;

// The rewriting rules have tests of their own; here one command shows the
// road: the parameters joined by single spaces, a Windows path rewritten,
// the command shown first and sent, as UTF-8, as the shell's first line.
TEST_F(ConsoleStartup, ParametersAreJoinedRewrittenShownFirstAndSentAsTheFirstLine) {
    ASSERT_TRUE(Start("lines 1\nout ready\\n\n", L"   cd   D:\\caf\u00e9\\src   \u20ac  "));
    const std::wstring command = L"cd d/caf\u00e9/src \u20ac";
    ASSERT_TRUE(console_.WaitForTranscriptToContain(L"ready", ShortWaitMs));
    EXPECT_EQ(console_.TranscriptText(), Head(command) + L"\r\nready\n");
    EXPECT_EQ(shell_.ReceivedInput(), "cd d/caf\xc3\xa9/src \xe2\x82\xac\n");
    CloseAndExpectExitCodeZero();
}

// One titled, maximized window, with the four controls laid out for its
// client area.
TEST_F(ConsoleStartup, WithoutParametersTheWindowOpensOnALoneLineFeed) {
    // The console is given WSL_UTF8 with another value, under another case.
    ASSERT_TRUE(Start("lines 1\nout started\\n\n", L"", {{L"wsl_utf8", L"0"}, {L"WSLC_GIVEN", L"caf\u00e9 1"}}));
    ASSERT_TRUE(console_.WaitForTranscriptToContain(L"started", ShortWaitMs));
    EXPECT_EQ(console_.TranscriptText(), Head(L"") + L"\r\nstarted\n");
    EXPECT_EQ(shell_.ReceivedInput(), "\n");
    // The shell is started as wsl.exe "bash --noediting -i -s", in the
    // console's current directory (which the console got from us), with the
    // console's environment (ours and what we gave it) and WSL_UTF8=1 alone
    // in place of the value it had.
    const std::vector<std::string> info = support::SplitLines(shell_.Info());
    ASSERT_GE(info.size(), 3u);
    EXPECT_EQ(info[0], "\"c:/windows/system32/wsl.exe\" bash --noediting -i -s");
    wchar_t directory[MAX_PATH + 1] = {};
    GetCurrentDirectoryW(MAX_PATH + 1, directory);
    EXPECT_EQ(info[1], Utf8(directory));
    const std::set<std::string> environment(info.begin() + 2, info.end());
    std::vector<std::string> inherited{"WSL_UTF8=1", "WSLC_GIVEN=caf\xc3\xa9 1"};
    for (const std::string& entry : support::EnvironmentEntries())
        if (!entry.starts_with("WINEDEBUG=")) inherited.push_back(entry);  // the driver sets its own
    for (const std::string& entry : inherited) EXPECT_TRUE(environment.contains(entry)) << entry;
    EXPECT_EQ(std::count_if(environment.begin(), environment.end(),
                            [](const std::string& e) { return _strnicmp(e.c_str(), "WSL_UTF8=", 9) == 0; }),
              1);

    const HWND window = console_.Window();
    EXPECT_EQ(VisibleTopLevelWindows(console_.ProcessId()), std::vector<HWND>{window});
    EXPECT_TRUE(IsZoomed(window));
    const LONG_PTR style = GetWindowLongPtrW(window, GWL_STYLE);
    EXPECT_EQ(style & (WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME), 0) << std::hex << style;

    // On the test desktop (1600x900) the maximized window's client area is
    // 1600x881. The layout's rule (app/console_window.cpp) splits it at x 800
    // and y 792 (9/10 of the height, cut down); the labels are 88 high (1/10).
    RECT client{};
    ASSERT_TRUE(GetClientRect(window, &client));
    ASSERT_EQ(client.right, 1600);
    ASSERT_EQ(client.bottom, 881);

    struct Expected {
        int number;
        const wchar_t* kind;
        ControlBox box;
        const wchar_t* text;
    } expected[] = {
        {0, L"Edit", {0, 0, 799, 791}, nullptr},
        {1, L"ComboBox", {800, 0, 800, -1}, nullptr},
        {2, L"Static", {0, 792, 799, 88}, L"out"},
        {3, L"Static", {800, 0, 800, 88}, L"command"},
    };
    for (const Expected& e : expected) {
        SCOPED_TRACE(e.number);
        const HWND control = console_.Control(e.number);
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(GetParent(control), window);
        EXPECT_EQ(GetWindowLongPtrW(control, GWLP_ID), e.number);
        wchar_t kind[64] = {};
        GetClassNameW(control, kind, 64);
        EXPECT_EQ(std::wstring(kind), e.kind);
        ControlBox box = console_.Box(control);
        // A drop-down combo box is as high as its field; its given height
        // goes to the list.
        if (e.box.height < 0) box.height = -1;
        EXPECT_EQ(box, e.box) << box.x << "," << box.y << " " << box.width << "x" << box.height;
        if (e.text) {
            EXPECT_EQ(console_.Text(control), e.text);
        }
    }
    // Read-only, multi-line, scrolling on with the text, tab stop.
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongPtrW(console_.Transcript(), GWL_STYLE)), 0x500308C4u);
    const DWORD comboStyle = static_cast<DWORD>(GetWindowLongPtrW(console_.CommandBox(), GWL_STYLE));
    EXPECT_EQ(comboStyle & 0x43u, static_cast<DWORD>(CBS_DROPDOWN | CBS_AUTOHSCROLL)) << std::hex << comboStyle;
    // The history starts with the blank item, selected, and the field empty.
    EXPECT_EQ(console_.History(), std::vector<std::wstring>{L""});
    EXPECT_EQ(SendMessageW(console_.CommandBox(), CB_GETCURSEL, 0, 0), 0);
    EXPECT_EQ(console_.FieldText(), L"");
    EXPECT_EQ(console_.FocusedWindow(), console_.CommandField());
    CloseAndExpectExitCodeZero();
}

TEST_F(ConsoleKeys, ReturnSendsTheFieldWithALineFeedAndFilesItAtTheTopOfTheHistory) {
    ASSERT_TRUE(Start("lines 6\nout got six\\n\n"));
    ASSERT_TRUE(WaitForInput("\n"));
    const std::wstring nonAscii = L"echo \u00e9t\u00e9 \u20ac \u0416 \u4e2d";
    const std::wstring commands[] = {L"echo one", L"ls -la", L"echo one", L"", L"  spaced  ", nonAscii};
    std::string sent = "\n";
    for (const std::wstring& command : commands) {
        SCOPED_TRACE(Utf8(command));
        ASSERT_TRUE(console_.TypeIntoField(command));
        ASSERT_TRUE(console_.PressKey(VK_RETURN));
        sent += Utf8(command) + "\n";
        ASSERT_TRUE(WaitForInput(sent)) << shell_.ReceivedInput();
        ASSERT_TRUE(WaitUntil([&] { return console_.FieldText().empty(); }, ShortWaitMs));
    }
    ASSERT_TRUE(console_.WaitForTranscriptToContain(L"got six", ShortWaitMs));
    console_.Settle();
    EXPECT_EQ(shell_.ReceivedInput(), sent);
    // Typed non-ASCII text reaches the shell as UTF-8.
    EXPECT_TRUE(sent.ends_with("\necho \xc3\xa9t\xc3\xa9 \xe2\x82\xac \xd0\x96 \xe4\xb8\xad\n"));
    // Newest first after the blank item; duplicates and empty commands kept.
    EXPECT_EQ(console_.History(),
              (std::vector<std::wstring>{L"", nonAscii, L"  spaced  ", L"", L"echo one", L"ls -la", L"echo one"}));
    // Return does not touch the transcript: only the shell's output shows.
    EXPECT_EQ(console_.TranscriptText(), Head(L"") + L"\r\ngot six\n");
    // One beep per Return, on the window's thread.
    ASSERT_TRUE(WaitForBeeps(ReturnBeep, 6));
    for (const BeepCall& beep : console_.Beeps())
        if (beep.frequency == ReturnBeep.frequency) {
            EXPECT_EQ(beep.threadId, console_.MainThreadId());
        }
    EXPECT_EQ(Count(ReturnBeep), 6u);
    // Down Arrow brings the commands back newest first; one brought back and
    // sent is the newest, so Down Arrow brings it back first.
    for (const std::wstring& expected : {nonAscii, std::wstring(L"  spaced  ")}) {
        ASSERT_TRUE(console_.PressKey(VK_DOWN));
        ASSERT_TRUE(WaitUntil([&] { return console_.FieldText() == expected; }, ShortWaitMs)) << Utf8(expected);
    }
    ASSERT_TRUE(console_.PressKey(VK_RETURN));
    ASSERT_TRUE(WaitForInput(sent + "  spaced  \n"));
    ASSERT_TRUE(WaitUntil([&] { return console_.FieldText().empty(); }, ShortWaitMs));
    ASSERT_TRUE(console_.PressKey(VK_DOWN));
    EXPECT_TRUE(WaitUntil([&] { return console_.FieldText() == L"  spaced  "; }, ShortWaitMs));
    CloseAndExpectExitCodeZero();
}

TEST_F(ConsoleKeys, EscapeSendsExactlyOneEndOfTextCharacterAndLeavesTheField) {
    ASSERT_TRUE(Start("expect \\x03\nout interrupted\\n\n"));
    ASSERT_TRUE(WaitForInput("\n"));
    ASSERT_TRUE(console_.TypeIntoField(L"sleep 100"));
    ASSERT_TRUE(console_.PressKey(VK_ESCAPE));
    ASSERT_TRUE(console_.WaitForTranscriptToContain(L"interrupted", ShortWaitMs));
    ASSERT_TRUE(WaitForBeeps(EscapeBeep, 1));
    console_.Settle();
    EXPECT_EQ(shell_.ReceivedInput(), "\n\x03");
    EXPECT_EQ(console_.FieldText(), L"sleep 100");
    EXPECT_EQ(console_.History(), std::vector<std::wstring>{L""});
    EXPECT_EQ(Count(EscapeBeep), 1u);
    // The typed text is still there to be sent.
    ASSERT_TRUE(console_.PressKey(VK_RETURN));
    ASSERT_TRUE(WaitForInput("\n\x03sleep 100\n"));
    CloseAndExpectExitCodeZero();
}

}  // namespace
}  // namespace e2e
