// The scripted test shell on its own, started with three real pipes the way
// the console starts it: what it writes, what it waits for, what it logs.

#include <gtest/gtest.h>

#include "tests/e2e/console_driver.h"
#include "toolkit/scoped.h"

#include <string>
#include <thread>

namespace {

using namespace std::string_literals;
using e2e::ScriptedShell;
using e2e::TestFolder;
using toolkit::UniqueHandle;

// Reads a pipe to its end on a thread of its own, so a test never blocks on
// a full pipe.
class PipeReader {
public:
    explicit PipeReader(HANDLE pipe) : pipe_(pipe), thread_([this] { Run(); }) {}
    ~PipeReader() { Join(); }
    std::string Join() {
        if (thread_.joinable()) thread_.join();
        return data_;
    }

private:
    void Run() {
        char buffer[65536];
        DWORD n = 0;
        while (ReadFile(pipe_.get(), buffer, sizeof buffer, &n, nullptr) && n > 0) data_.append(buffer, n);
    }
    UniqueHandle pipe_;
    std::string data_;
    std::thread thread_;
};

class ScriptedShellProcess {
public:
    // Starts the shell on `script` with pipes for its three streams.
    ScriptedShellProcess(const TestFolder& folder, std::string_view script) : shell_(folder) {
        EXPECT_TRUE(shell_.WriteScript(script));
        SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
        HANDLE inRead, inWrite, outRead, outWrite, errRead, errWrite;
        if (!CreatePipe(&inRead, &inWrite, &inherit, 0) || !CreatePipe(&outRead, &outWrite, &inherit, 0) ||
            !CreatePipe(&errRead, &errWrite, &inherit, 0)) {
            ADD_FAILURE() << "CreatePipe failed";
            return;
        }
        for (HANDLE ours : {inWrite, outRead, errRead}) SetHandleInformation(ours, HANDLE_FLAG_INHERIT, 0);
        input_.reset(inWrite);
        // A look at the shell's end of its input, to see what waits there unread.
        HANDLE peek = nullptr;
        if (DuplicateHandle(GetCurrentProcess(), inRead, GetCurrentProcess(), &peek, 0, FALSE, DUPLICATE_SAME_ACCESS))
            inputPeek_.reset(peek);
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
        startup.wShowWindow = SW_HIDE;
        startup.hStdInput = inRead;
        startup.hStdOutput = outWrite;
        startup.hStdError = errWrite;
        std::vector<wchar_t> environment = e2e::EnvironmentBlock(shell_.Environment());
        std::wstring commandLine = L"\"" + e2e::ScriptedShellExePath() + L"\" bash --noediting -i -s";
        PROCESS_INFORMATION info{};
        const BOOL started = CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE,
                                            CREATE_UNICODE_ENVIRONMENT, environment.data(), nullptr, &startup, &info);
        for (HANDLE theirs : {inRead, outWrite, errWrite}) CloseHandle(theirs);
        output_ = std::make_unique<PipeReader>(outRead);
        errors_ = std::make_unique<PipeReader>(errRead);
        if (!started) {
            ADD_FAILURE() << "cannot start the scripted shell, error " << GetLastError();
            return;
        }
        CloseHandle(info.hThread);
        process_.reset(info.hProcess);
    }

    bool Write(std::string_view bytes) {
        DWORD n = 0;
        return WriteFile(input_.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr) &&
               n == bytes.size();
    }
    void CloseInput() { input_.reset(); }
    // Bytes written to the shell's input and not yet read, a write that
    // waits for room in the pipe included.
    size_t InputWaiting() const {
        DWORD available = 0;
        return PeekNamedPipe(inputPeek_.get(), nullptr, 0, nullptr, &available, nullptr) ? available : 0;
    }
    // Closes the input, waits for the end and returns the exit code.
    DWORD Finish() {
        CloseInput();
        DWORD code = 0xDEAD;
        if (WaitForSingleObject(process_.get(), 30000) == WAIT_OBJECT_0) GetExitCodeProcess(process_.get(), &code);
        output = output_->Join();
        errors = errors_->Join();
        return code;
    }

    ScriptedShell shell_;
    std::string output, errors;

private:
    UniqueHandle process_, input_, inputPeek_;
    std::unique_ptr<PipeReader> output_, errors_;
};

TEST(ScriptedShell, WritesWhatTheScriptSaysToEachStream) {
    TestFolder folder;
    ScriptedShellProcess shell(folder,
                               "# a comment\n"
                               "out plain text\\n\n"
                               "\n"
                               "err to\\terror\\r\\n\n"
                               "out \\x00\\xc3\\xA9 raw \xe2\x82\xac\\\\\\x4\n"
                               "out  two spaces kept \n"
                               "flood 20000\n");
    EXPECT_EQ(shell.Finish(), 0u);
    std::string expected = "plain text\n\0\xc3\xa9 raw \xe2\x82\xac\\\\x4 two spaces kept "s;
    for (int i = 1; i <= 20000; ++i) expected += "line " + std::to_string(i) + "\n";
    EXPECT_EQ(shell.output, expected);
    EXPECT_EQ(shell.errors, "to\terror\r\n");
}

TEST(ScriptedShell, WaitsForExpectedInputAndLogsEveryByte) {
    TestFolder folder;
    ScriptedShellProcess shell(folder,
                               "expect ab\n"
                               "out first\\n\n"
                               "expect ab\n"
                               "out second\\n\n"
                               "lines 3\n"
                               "out third\\n\n");
    ASSERT_TRUE(shell.Write("xa"));
    ASSERT_TRUE(shell.Write("b\n"));
    // The second expect looks only after the first match.
    ASSERT_TRUE(shell.shell_.WaitForInput([](const std::string& s) { return s == "xab\n"; }, 10000));
    ASSERT_TRUE(shell.Write("ab\n\x03\r\n"));
    EXPECT_EQ(shell.Finish(), 0u);
    EXPECT_EQ(shell.output, "first\nsecond\nthird\n");
    EXPECT_EQ(shell.shell_.ReceivedInput(), "xab\nab\n\x03\r\n");
    const std::string info = shell.shell_.Info();
    EXPECT_NE(info.find("scripted_shell.exe\" bash --noediting -i -s\n"), std::string::npos) << info;
}

TEST(ScriptedShell, ExitCodes) {
    struct Case {
        const char* script;
        DWORD code;
        std::string output, errors;  // errors: a piece of them
    };
    for (const Case& c : {Case{"out x\nexit 7\nout never\n", 7, "x", ""},
                          Case{"expect never\n", 91, "", ""},  // input ends while waiting
                          Case{"bogus\n", 90, "", "unknown command bogus"}}) {
        SCOPED_TRACE(c.script);
        TestFolder folder;
        ScriptedShellProcess shell(folder, c.script);
        EXPECT_EQ(shell.Finish(), c.code);
        EXPECT_EQ(shell.output, c.output);
        EXPECT_NE(shell.errors.find(c.errors), std::string::npos) << shell.errors;
    }
}

TEST(ScriptedShell, HoldStopsReadingUntilTheSignalFile) {
    TestFolder folder;
    ScriptedShellProcess shell(folder,
                               "expect start\n"
                               "hold\n"
                               "out holding\\n\n"
                               "wait-file go\n"
                               "resume\n"
                               "expect end\n"
                               "out done\\n\n");
    ASSERT_TRUE(shell.Write("start"));
    ASSERT_TRUE(shell.shell_.WaitForInput([](const std::string& s) { return s == "start"; }, 10000));
    std::string big(1 << 20, 'z');
    big += "end";
    std::thread writer([&] { EXPECT_TRUE(shell.Write(big)); });
    // While held, the write waits in the pipe whole, but for what the read
    // already in progress when the hold came took (at most 4096 bytes); from
    // then on, the shell takes no more of it.
    EXPECT_TRUE(e2e::WaitUntil([&] { return shell.InputWaiting() + 4096 >= big.size(); }, 10000))
        << shell.InputWaiting() << " bytes wait";
    EXPECT_TRUE(e2e::NothingWithin(500, [&] { return shell.shell_.ReceivedInput().size() > 5u + 4096u; }))
        << shell.shell_.ReceivedInput().size() << " bytes read while held";
    ASSERT_TRUE(shell.shell_.Signal(L"go"));
    writer.join();
    EXPECT_EQ(shell.Finish(), 0u);
    EXPECT_EQ(shell.output, "holding\ndone\n");
    EXPECT_EQ(shell.shell_.ReceivedInput(), "start" + big);
}

}  // namespace
