// The console on the WSL stand-in with real bash: a smoke test of the whole
// road, from the start-up command to typed commands, both streams and exit.

#include "tests/e2e/console_checks.h"
#include "tests/e2e/console_driver.h"

#include "support/files.h"

namespace e2e {
namespace {

TEST(ConsoleWithBash, RunsTheStartupCommandTypedCommandsAndEndsWithExit) {
    ASSERT_TRUE(support::FileExists(InstalledWslPath()) && support::FileExists(SystemFile(L"wsl-relay")))
        << "the WSL stand-in is not in this prefix (scripts/test installs it)";
    ConsoleSession console;
    LaunchOptions options;
    options.commandTail = L" echo \"'hello  world'\" D:\\tmp";
    std::wstring failure;
    ASSERT_TRUE(console.Start(options, &failure)) << Utf8(failure);
    EXPECT_TRUE(console.TranscriptText().starts_with(L"echo \"hello  world\" d/tmp\r\n\r\n---ran---"))
        << Utf8(console.TranscriptText());
    // bash saw the rewritten command: the double quotes kept the two spaces.
    ASSERT_TRUE(console.WaitForTranscriptToContain(L"\r\nhello  world d/tmp\n", 30000)) << Utf8(console.TranscriptText());

    auto run = [&](const wchar_t* command) {
        return console.TypeIntoField(command) && console.PressKey(VK_RETURN);
    };
    ASSERT_TRUE(run(L"echo \u00e9t\u00e9 \u20ac"));
    EXPECT_TRUE(console.WaitForTranscriptToContain(L"\r\n\u00e9t\u00e9 \u20ac\n", 30000)) << Utf8(console.TranscriptText());
    ASSERT_TRUE(run(L"echo oops >&2"));
    // Error lines come without their line feed (bash's prompt, also on
    // standard error, may stand in front of it).
    EXPECT_TRUE(console.WaitForTranscript(
        [](const std::wstring& t) {
            const size_t at = t.find(L"oops");
            return at != std::wstring::npos && t.find(L"oops\n") == std::wstring::npos;
        },
        30000))
        << Utf8(console.TranscriptText());
    ASSERT_TRUE(run(L"seq 1 3; exit 0"));
    for (const wchar_t* line : {L"\r\n1\n", L"\r\n2\n", L"\r\n3\n"})
        EXPECT_TRUE(console.WaitForTranscriptToContain(line, 30000)) << Utf8(console.TranscriptText());
    ASSERT_TRUE(console.WaitForTranscriptToContain(L"---program closed---", 30000)) << Utf8(console.TranscriptText());
    EXPECT_TRUE(console.TranscriptText().ends_with(L"\r\n---program closed---"));
    ASSERT_TRUE(WaitUntil([&] { return console.CountBeeps(50, 100) == 1; }, 15000));
    EXPECT_GE(console.CountBeeps(800, 1), 5u);
    EXPECT_GE(console.CountBeeps(100, 20), 1u);
    EXPECT_EQ(console.CountBeeps(2000, 1), 3u);
    EXPECT_EQ(console.History(), (std::vector<std::wstring>{L"", L"seq 1 3; exit 0", L"echo oops >&2",
                                                            L"echo \u00e9t\u00e9 \u20ac"}));

    CloseAndExpectExitCodeZero(console);
}

}  // namespace
}  // namespace e2e
