#include "channel/child_launch.h"

#include "channel_test_support.h"

#include <algorithm>
#include <string>
#include <vector>

using namespace channel_test;
using channel::AsChild;
using channel::ChildProcess;
using channel::StartChildProcess;

namespace {

class StartChildProcessTest : public ChildTest {};

bool Inheritable(HANDLE h) {
    DWORD flags = 0;
    return GetHandleInformation(h, &flags) && (flags & HANDLE_FLAG_INHERIT);
}

// The handles this process has open, found by asking about every handle
// value in a range far beyond what the test program uses. (Wine's
// GetProcessHandleCount always answers 0.)
int OpenHandles() {
    int count = 0;
    for (uintptr_t value = 4; value < 4096; value += 4) {
        DWORD flags = 0;
        if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) ++count;
    }
    return count;
}

}  // namespace

TEST_F(StartChildProcessTest, CommandLineIsTheQuotedProgramThenTheParameters) {
    const std::wstring program = ParameterHelper();
    struct Case {
        std::wstring program, parameters, expected;
    };
    const Case cases[] = {
        {program, L"a  \"b c\" d\\", L"\"" + program + L"\" a  \"b c\" d\\"},  // nothing inside is escaped
        {program, L"", L"\"" + program + L"\""},                               // no space without parameters
        {L"\"" + program + L"\"", L"x", L"\"" + program + L"\" x"},           // already quoted: kept as it is
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Utf8(c.expected));
        const ChildProcess* child = Start(c.program, c.parameters);
        ASSERT_NE(child, nullptr);
        const std::string out = ReadAllOutput(child);
        EXPECT_EQ(Wide(out.substr(0, out.find('\0'))), c.expected);
    }
}

TEST_F(StartChildProcessTest, ConsoleFlagsGiveAHiddenChildWithThreePipes) {
    ScratchFile report;
    const ChildProcess* child = StartHelper(L"startup:" + report.Path() + L" exit:5", ConsoleFlags);
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(child->flags, ConsoleFlags);
    EXPECT_EQ(child->processId, GetProcessId(child->processHandle));
    ASSERT_NE(child->inputWriteEnd, nullptr);
    ASSERT_NE(child->outputReadEnd, nullptr);
    ASSERT_NE(child->errorReadEnd, nullptr);
    // The parent's ends must not leak into later children.
    EXPECT_FALSE(Inheritable(child->inputWriteEnd));
    EXPECT_FALSE(Inheritable(child->outputReadEnd));
    EXPECT_FALSE(Inheritable(child->errorReadEnd));
    ASSERT_TRUE(WaitExit(child));
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeProcess(child->processHandle, &code));
    EXPECT_EQ(code, 5u);
    // Hidden, given its three standard handles, and no console of its own:
    // it is on its parent's console, or on none when the parent has none.
    DWORD processes[16];
    const DWORD ours = GetConsoleProcessList(processes, 16);
    const std::string seen = report.Read();
    EXPECT_NE(seen.find("flags=101 show=0 stdin=1 stdout=1 stderr=1"), std::string::npos) << seen;
    EXPECT_NE(seen.find("consoles=" + std::to_string(ours ? ours + 1 : 0)), std::string::npos) << seen;
}

// The variables given are set in the child's environment, one of the same
// name in another case replaced; everything else is the parent's
// environment, entry by entry. Without them the child inherits it unchanged.
// (The entries are compared in any order: Wine keeps a block in the order
// it was built, not sorted.)
TEST_F(StartChildProcessTest, SetVariablesJoinTheParentsEnvironment) {
    ASSERT_TRUE(SetEnvironmentVariableW(L"wslc_Replaced", L"old"));
    const std::vector<std::string> parent = support::EnvironmentEntries();
    std::vector<std::string> replaced = parent;
    std::erase(replaced, "wslc_Replaced=old");
    replaced.insert(replaced.end(), {"WSLC_REPLACED=new", "WSLC_ADDED=caf\xc3\xa9 = 1"});
    const wchar_t* const replaceAndAdd[] = {L"WSLC_REPLACED=new", L"WSLC_ADDED=caf\u00e9 = 1", nullptr};
    const wchar_t* const none[] = {nullptr};
    const struct {
        const char* name;
        const wchar_t* const* set;
        std::vector<std::string> expected;
    } cases[] = {
        {"inherited", nullptr, parent},
        {"an empty list", none, parent},
        {"one replaced, one added", replaceAndAdd, replaced},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchFile report;
        const std::wstring steps = L"env:" + report.Path();
        const ChildProcess* child =
            AsChild(StartChildProcess(StreamHelper().c_str(), steps.c_str(), L"", ConsoleFlags, c.set));
        ASSERT_NE(child, nullptr);
        ASSERT_TRUE(WaitExit(child));
        std::vector<std::string> seen = support::SplitLines(report.Read());
        std::vector<std::string> expected = c.expected;
        std::sort(seen.begin(), seen.end());
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(seen, expected);
    }
    SetEnvironmentVariableW(L"wslc_Replaced", nullptr);
}

TEST_F(StartChildProcessTest, HiddenWithoutPipesGetsANewConsole) {
    ScratchFile report;
    const ChildProcess* child = StartHelper(L"startup:" + report.Path(), channel::KeepChild | channel::StartHidden);
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(child->inputWriteEnd, nullptr);
    EXPECT_EQ(child->outputReadEnd, nullptr);
    EXPECT_EQ(child->errorReadEnd, nullptr);
    ASSERT_TRUE(WaitExit(child));
    const std::string seen = report.Read();
    EXPECT_NE(seen.find("flags=1 show=0"), std::string::npos) << seen;
    EXPECT_NE(seen.find("consoles=1"), std::string::npos) << seen;  // alone on a console of its own
}

TEST_F(StartChildProcessTest, PipeBitsWithoutKeepChildMakeNoPipesAndWaitForExitWaits) {
    // The helper writes its report only after a pause: when the launch
    // returns, the report must be there.
    ScratchFile report;
    const std::wstring steps = L"sleep:150 startup:" + report.Path();
    const uintptr_t result = StartChildProcess(StreamHelper().c_str(), steps.c_str(), nullptr,
                                               channel::WaitForExit | channel::PipeStdin | channel::PipeStdout |
                                                   channel::PipeStderr);
    EXPECT_EQ(result, 1u);
    ASSERT_TRUE(report.Exists());
    const std::string seen = report.Read();
    EXPECT_NE(seen.find("flags=1 show=1"), std::string::npos) << seen;  // shown normally, handles not given
}

TEST_F(StartChildProcessTest, WaitForExitWithKeepChildReturnsTheEndedChild) {
    const uint32_t flags = channel::WaitForExit | channel::KeepChild;
    const ChildProcess* child = AsChild(StartChildProcess(StreamHelper().c_str(), L"sleep:200 exit:7", L"", flags));
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(WaitForSingleObject(child->processHandle, 0), WAIT_OBJECT_0);
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeProcess(child->processHandle, &code));
    EXPECT_EQ(code, 7u);
    ASSERT_EQ(child->outputReadEnd, nullptr);
    EXPECT_EQ(channel::ChildIsRunning(child), 0);  // ended, and no output pipe
    EXPECT_EQ(channel::ChildOutputPending(child), 0u);
}

TEST_F(StartChildProcessTest, FailedLaunchWithPipesReturnsZeroAndKeepsNoHandle) {
    const wchar_t* missing = L"c:/no/such/dir/wslc-missing-program.exe";
    // The first failure may load what CreateProcessW needs; count after it.
    EXPECT_EQ(StartChildProcess(missing, L"x", L"", ConsoleFlags), 0u);
    const int before = OpenHandles();
    ASSERT_GT(before, 0);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(StartChildProcess(missing, L"x", L"", ConsoleFlags), 0u);
        EXPECT_EQ(StartChildProcess(missing, L"", nullptr, channel::KeepChild | channel::ChainStdin), 0u);
        // Pipe bits without KeepChild make no pipe, and still rule out the shell.
        EXPECT_EQ(StartChildProcess(missing, L"", nullptr, channel::PipeStdout), 0u);
    }
    // Six pipe ends are made per console launch: a leak of any shows.
    EXPECT_EQ(OpenHandles(), before);
}

TEST_F(StartChildProcessTest, FailedLaunchWithoutPipesFailsThroughTheShellToo) {
    const wchar_t* missing = L"c:\\no\\such\\dir\\wslc-missing-program.exe";
    EXPECT_EQ(StartChildProcess(missing, L"", L"", channel::KeepChild), 0u);
    EXPECT_EQ(StartChildProcess(missing, L"", L"", 0), 0u);
}

namespace {

// A document type whose "open" runs stream_helper, which records the
// directory it was started in: CreateProcessW cannot start a document, the
// shell can. The type is registered in HKEY_CLASSES_ROOT of the test's own
// Wine prefix (Wine's shell does not look in the user's classes).
class ShellFallbackTest : public ChildTest {
protected:
    void SetUp() override {
        ChildTest::SetUp();
        ASSERT_TRUE(folder_.Write(L"note.wslcfb", "not a program"));
        const std::wstring command = L"\"" + StreamHelper() + L"\" cwd:" + report_.Path() + L" \"%1\"";
        ASSERT_TRUE(SetDefault(L".wslcfb", L"wslcfb.document"));
        ASSERT_TRUE(SetDefault(L"wslcfb.document\\shell\\open\\command", command));
    }
    void TearDown() override {
        RegDeleteTreeW(HKEY_CLASSES_ROOT, L".wslcfb");
        RegDeleteTreeW(HKEY_CLASSES_ROOT, L"wslcfb.document");
        ChildTest::TearDown();
    }
    static bool SetDefault(const wchar_t* key, const std::wstring& value) {
        HKEY h = nullptr;
        if (RegCreateKeyExW(HKEY_CLASSES_ROOT, key, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &h, nullptr)) return false;
        const LONG r = RegSetValueExW(h, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                      static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
        RegCloseKey(h);
        return r == ERROR_SUCCESS;
    }
    // The directory the helper reported, without a trailing backslash, in lower case.
    std::wstring ReportedDirectory() const { return Folder(Wide(report_.Read())); }
    static std::wstring Folder(std::wstring path) {
        while (path.size() > 3 && path.back() == L'\\') path.pop_back();
        CharLowerW(path.data());
        return path;
    }

    support::TestFolder folder_;
    const std::wstring document_ = folder_.File(L"note.wslcfb");
    ScratchFile report_;
};

}  // namespace

TEST_F(ShellFallbackTest, DocumentStartsInItsOwnFolderWithoutPipes) {
    const uint32_t flags = channel::KeepChild | channel::WaitForExit | channel::StartHidden;
    const ChildProcess* child = AsChild(StartChildProcess(document_.c_str(), L"", L"", flags));
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(child->processId, 0xFFFFFFFFu);
    EXPECT_EQ(child->inputWriteEnd, nullptr);
    EXPECT_EQ(child->outputReadEnd, nullptr);
    EXPECT_EQ(child->errorReadEnd, nullptr);
    EXPECT_EQ(child->flags, flags);
    ASSERT_NE(child->processHandle, nullptr);
    EXPECT_EQ(WaitForSingleObject(child->processHandle, 0), WAIT_OBJECT_0);  // waited for
    EXPECT_EQ(ReportedDirectory(), Folder(folder_.Path()));
}

TEST_F(ShellFallbackTest, GivenDirectoryWinsAndSlashesGiveNone) {
    wchar_t current[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, current);
    wchar_t windows[MAX_PATH] = {};
    GetWindowsDirectoryW(windows, MAX_PATH);
    {
        SCOPED_TRACE("a directory given");
        EXPECT_EQ(StartChildProcess(document_.c_str(), L"", windows, channel::WaitForExit), 1u);
        EXPECT_EQ(ReportedDirectory(), Folder(windows));
    }
    {
        // Forward slashes are not searched: no directory, so the current one.
        SCOPED_TRACE("forward slashes only");
        std::wstring slashed = document_;
        for (wchar_t& c : slashed)
            if (c == L'\\') c = L'/';
        EXPECT_EQ(StartChildProcess(slashed.c_str(), L"", nullptr, channel::WaitForExit), 1u);
        EXPECT_EQ(ReportedDirectory(), Folder(current));
    }
}
