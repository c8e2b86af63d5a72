#include "tests/e2e/scripted_console.h"

namespace e2e {

namespace {

// A string of the scripted shell that the WSL stand-in does not contain.
constexpr char ScriptedShellMark[] = "scripted shell: unknown command";

bool IsScriptedShell(const std::wstring& path) {
    HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return false;
    std::string bytes;
    char buffer[65536];
    DWORD n = 0;
    while (ReadFile(f, buffer, sizeof buffer, &n, nullptr) && n > 0) bytes.append(buffer, n);
    CloseHandle(f);
    return bytes.find(ScriptedShellMark) != std::string::npos;
}

}  // namespace

void ScriptedConsoleTest::SetUpTestSuite() {
    const std::wstring installed = InstalledWslPath();
    if (SameFileContents(installed, ScriptedShellExePath())) return;
    // Install (or refresh) the scripted shell, but never over the real
    // stand-in: these tests belong in the prefix made for them.
    const bool mayReplace = GetFileAttributesW(installed.c_str()) == INVALID_FILE_ATTRIBUTES || IsScriptedShell(installed);
    ASSERT_TRUE(mayReplace) << Utf8(installed)
                            << " is not the scripted shell: run these tests in the build's wineprefix-scripted "
                               "(scripts/test does)";
    ASSERT_TRUE(CopyFileW(ScriptedShellExePath().c_str(), installed.c_str(), FALSE))
        << "cannot install the scripted shell as " << Utf8(installed) << ", error " << GetLastError();
}

bool ScriptedConsoleTest::Start(std::string_view script, std::wstring_view commandTail) {
    if (!shell_.WriteScript(script)) {
        ADD_FAILURE() << "cannot write the script";
        return false;
    }
    LaunchOptions options;
    options.commandTail = commandTail;
    options.environment = shell_.Environment();
    std::wstring failure;
    if (!console_.Start(options, &failure)) {
        ADD_FAILURE() << Utf8(failure);
        return false;
    }
    return true;
}

bool ScriptedConsoleTest::WaitForBeeps(const DWORD (&beep)[2], size_t count, DWORD timeoutMs) const {
    return WaitUntil([&] { return Count(beep) >= count; }, timeoutMs);
}

bool ScriptedConsoleTest::WaitForInput(std::string_view bytes, DWORD timeoutMs) const {
    return shell_.WaitForInput([&](const std::string& s) { return s.find(bytes) != std::string::npos; }, timeoutMs);
}

void ScriptedConsoleTest::CloseAndExpectExitCodeZero() {
    console_.RequestClose();
    DWORD code = 0xDEAD;
    ASSERT_TRUE(console_.WaitForExit(ShortWaitMs, &code)) << "the console did not end after WM_CLOSE";
    EXPECT_EQ(code, 0u);
}

size_t Occurrences(std::wstring_view text, std::wstring_view piece) {
    size_t count = 0;
    for (size_t at = text.find(piece); at != std::wstring_view::npos; at = text.find(piece, at + piece.size()))
        ++count;
    return count;
}

bool EndsWith(std::wstring_view text, std::wstring_view end) {
    return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

}  // namespace e2e
