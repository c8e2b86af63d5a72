#include "tests/e2e/console_checks.h"

#include <string>
#include <vector>

namespace e2e {

void ExpectReturnAndEscapeDoNothing(ConsoleSession& console, std::wstring_view typed) {
    ASSERT_TRUE(console.TypeIntoField(typed));
    ASSERT_TRUE(console.PressKey(VK_RETURN));
    ASSERT_TRUE(console.PressKey(VK_ESCAPE));
    ASSERT_TRUE(console.TypeIntoField(L"!"));  // handled after Return and Escape
    ASSERT_TRUE(console.Settle());
    EXPECT_EQ(console.FieldText(), std::wstring(typed) + L"!");
    EXPECT_EQ(console.History(), std::vector<std::wstring>{L""});
    EXPECT_EQ(console.CountBeeps(ReturnBeep.frequency, ReturnBeep.duration) + console.CountBeeps(EscapeBeep.frequency, EscapeBeep.duration),
              0u);
}

void CloseAndExpectExitCodeZero(ConsoleSession& console) {
    console.RequestClose();
    DWORD code = 0xDEAD;
    ASSERT_TRUE(console.WaitForExit(ShortWaitMs, &code)) << "the console did not end after WM_CLOSE";
    EXPECT_EQ(code, 0u);
}

}  // namespace e2e
