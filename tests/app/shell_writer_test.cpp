#include "app/shell_writer.h"

#include "pump_fixture.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

namespace apptest {
namespace {

std::string ReadFileBytes(const std::wstring& path) {
    std::string bytes;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return bytes;
    char buffer[65536];
    DWORD n = 0;
    while (ReadFile(file, buffer, sizeof buffer, &n, nullptr) && n > 0) bytes.append(buffer, n);
    CloseHandle(file);
    return bytes;
}

std::wstring TempPath(const wchar_t* name) {
    wchar_t dir[MAX_PATH];
    GetTempPathW(MAX_PATH, dir);
    return std::wstring(dir) + name + std::to_wstring(GetCurrentProcessId());
}

// The shell is busy for a while and does not read: queuing far more than a
// pipe holds must not block the caller, and everything arrives in order.
TEST(ShellWriter, QueuingNeverBlocksAndTextsArriveInOrder) {
    const std::wstring file = TempPath(L"writer-received-");
    DeleteFileW(file.c_str());
    const uintptr_t launched = channel::StartChildProcess(
        BesideTest(L"pump_child.exe").c_str(), (L"sleep:1500 copyin:" + file).c_str(), L"", 0x13E);
    const channel::ChildProcess* child = channel::AsChild(launched);
    ASSERT_NE(child, nullptr);

    app::ShellWriter writer;
    ASSERT_TRUE(writer.Start(child));
    std::string expected;
    for (int i = 0; i < 2000; ++i) {
        std::wstring line = L"command " + std::to_wstring(i) + std::wstring(400, L'x') + L" \u00E9\n";
        writer.Send(line);
        expected += "command " + std::to_string(i) + std::string(400, 'x') + " \xC3\xA9\n";
    }
    writer.Send(std::wstring(1, L'\x0003'));
    expected += '\x03';
    // 800 KB is far more than a pipe holds, and the child creates its file
    // only once it starts reading: a Send that waited for the pipe could not
    // get here before the file exists.
    EXPECT_EQ(GetFileAttributesW(file.c_str()), INVALID_FILE_ATTRIBUTES);
    PumpUntil([&] { return ReadFileBytes(file).size() >= expected.size(); }, 30000);
    EXPECT_TRUE(ReadFileBytes(file) == expected) << ReadFileBytes(file).size() << " of " << expected.size();
    TerminateProcess(child->processHandle, 0);
    DeleteFileW(file.c_str());
}

}  // namespace
}  // namespace apptest
