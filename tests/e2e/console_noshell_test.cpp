// The console in a prefix without wsl.exe: the launch fails, the transcript
// says so, Return and Escape never act, and the window stays until closed.

#include "tests/e2e/console_checks.h"
#include "tests/e2e/console_driver.h"

namespace e2e {
namespace {

TEST(ConsoleWithoutShell, AFailedLaunchIsReportedAndTheKeysStayDead) {
    ASSERT_EQ(GetFileAttributesW(InstalledWslPath().c_str()), INVALID_FILE_ATTRIBUTES)
        << Utf8(InstalledWslPath()) << " exists: run this test in the build's wineprefix-noshell (scripts/test does)";
    ConsoleSession console;
    LaunchOptions options;
    options.commandTail = L" echo 'hi' D:\\x";
    std::wstring failure;
    ASSERT_TRUE(console.Start(options, &failure)) << Utf8(failure);
    const std::wstring expected = L"echo \"hi\" d/x\r\n\r\n---error opening bash---";
    EXPECT_EQ(console.TranscriptText(), expected);

    ASSERT_NO_FATAL_FAILURE(ExpectReturnAndEscapeDoNothing(console, L"ls"));

    // Nothing more happens: no end of a shell that never ran, no beeps.
    EXPECT_TRUE(NothingWithin(1000, [&] { return console.TranscriptText() != expected || !console.Beeps().empty(); }));
    EXPECT_TRUE(console.Beeps().empty()) << console.Beeps().size() << " beeps";
    EXPECT_FALSE(console.HasExited());

    CloseAndExpectExitCodeZero(console);
}

}  // namespace
}  // namespace e2e
