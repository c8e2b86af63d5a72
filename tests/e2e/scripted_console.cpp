#include "tests/e2e/scripted_console.h"

#include "support/files.h"

namespace e2e {

namespace {

// Bytes the scripted shell holds and the WSL stand-in does not: the name of
// the variable it reads its script from, in UTF-16. (A message it builds at
// run time is not in the file whole.)
constexpr char ScriptedShellMark[] = "W\0S\0L\0C\0_\0S\0H\0E\0L\0L\0_\0S\0C\0R\0I\0P\0T\0";

bool IsScriptedShell(const std::wstring& path) {
    const std::string_view mark(ScriptedShellMark, sizeof ScriptedShellMark - 1);
    return support::ReadFileBytes(path).find(mark) != std::string::npos;
}

}  // namespace

void ScriptedConsoleTest::SetUpTestSuite() {
    const std::wstring installed = InstalledWslPath();
    if (SameFileContents(installed, ScriptedShellExePath())) return;
    // Install (or refresh) the scripted shell, but never over the real
    // stand-in: these tests belong in the prefix made for them.
    const bool mayReplace = !support::FileExists(installed) || IsScriptedShell(installed);
    ASSERT_TRUE(mayReplace) << Utf8(installed)
                            << " is not the scripted shell: run these tests in the build's wineprefix-scripted "
                               "(scripts/test does)";
    ASSERT_TRUE(CopyFileW(ScriptedShellExePath().c_str(), installed.c_str(), FALSE))
        << "cannot install the scripted shell as " << Utf8(installed) << ", error " << GetLastError();
}

bool ScriptedConsoleTest::Start(std::string_view script, std::wstring_view commandTail,
                                const std::vector<std::pair<std::wstring, std::wstring>>& environment) {
    if (!shell_.WriteScript(script)) {
        ADD_FAILURE() << "cannot write the script";
        return false;
    }
    LaunchOptions options;
    options.commandTail = commandTail;
    options.environment = shell_.Environment();
    options.environment.insert(options.environment.end(), environment.begin(), environment.end());
    std::wstring failure;
    if (!console_.Start(options, &failure)) {
        ADD_FAILURE() << Utf8(failure);
        return false;
    }
    return true;
}

bool ScriptedConsoleTest::WaitForBeeps(app::Tone beep, size_t count, DWORD timeoutMs) const {
    return WaitUntil([&] { return Count(beep) >= count; }, timeoutMs);
}

bool ScriptedConsoleTest::WaitForInput(std::string_view bytes, DWORD timeoutMs) const {
    return shell_.WaitForInput([&](const std::string& s) { return s.find(bytes) != std::string::npos; }, timeoutMs);
}

}  // namespace e2e
