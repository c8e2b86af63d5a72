// The console in a prefix without wsl.exe: the launch fails, the transcript
// says so, Return and Escape never act, and the window stays until closed.

#include <gtest/gtest.h>

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

    ASSERT_TRUE(console.TypeIntoField(L"ls"));
    ASSERT_TRUE(console.PressKey(VK_RETURN));
    ASSERT_TRUE(console.PressKey(VK_ESCAPE));
    ASSERT_TRUE(console.TypeIntoField(L"!"));  // handled after Return and Escape
    ASSERT_TRUE(console.Settle());
    EXPECT_EQ(console.FieldText(), L"ls!");
    EXPECT_EQ(console.History(), std::vector<std::wstring>{L""});

    // Nothing more happens: no end of a shell that never ran, no beeps.
    EXPECT_FALSE(WaitUntil([&] { return console.TranscriptText() != expected || !console.Beeps().empty(); }, 1000));
    EXPECT_TRUE(console.Beeps().empty()) << console.Beeps().size() << " beeps";
    EXPECT_FALSE(console.HasExited());

    console.RequestClose();
    DWORD code = 0xDEAD;
    ASSERT_TRUE(console.WaitForExit(15000, &code));
    EXPECT_EQ(code, 0u);
}

}  // namespace
}  // namespace e2e
