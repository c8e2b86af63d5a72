// The WSL stand-in through real pipes: wsl.exe started as the console starts
// it, running real Linux commands through wsl-relay.

#include <gtest/gtest.h>

#include <string>

#include "tests/tools/standin_launch.h"
#include "tools/wsl_messages.h"

#include "support/files.h"
#include "support/text.h"
#include "support/waiting.h"

using namespace standin_test;

namespace {

// What `seq 1 last` prints.
std::string Sequence(int last) {
    std::string text;
    for (int i = 1; i <= last; ++i) text += std::to_string(i) + "\n";
    return text;
}

// A megabyte of every byte value, in an order that shows a lost or moved block.
std::string BinaryPattern(size_t size) {
    std::string data(size, '\0');
    uint32_t x = 12345;
    for (size_t i = 0; i < size; ++i) {
        x = x * 1103515245u + 12345u;
        data[i] = static_cast<char>(x >> 16);
    }
    return data;
}

// Whether a long text is the one expected; when not, says where they part
// rather than printing megabytes.
::testing::AssertionResult SameText(const std::string& got, const std::string& expected) {
    if (got == expected) return ::testing::AssertionSuccess();
    size_t i = 0;
    while (i < got.size() && i < expected.size() && got[i] == expected[i]) ++i;
    return ::testing::AssertionFailure() << "sizes " << got.size() << " and " << expected.size()
                                         << ", first difference at byte " << i;
}

LaunchOptions LaunchIn(const support::TestFolder& folder) {
    LaunchOptions options;
    options.directory = folder.Path();
    return options;
}

using support::FileExists;

LaunchOptions WithFakeRelay(const std::wstring& mode) {
    LaunchOptions options;
    options.environment = {L"WSL_STANDIN_RELAY=" + support::BesideTest(L"fake_relay.exe"), L"FAKE_RELAY_MODE=" + mode,
                           L"WSL_STANDIN_WAIT_MS=3000"};
    return options;
}

}  // namespace

// What a command writes to each stream and its exit code come through, with
// the console's launch (hidden, no new console) and with no console at all:
// the streams stay apart, quotes group words and are dropped, a signal gives
// the shell's code, a missing command says so.
TEST(WslStandIn, CommandsGiveTheirStreamsAndExitCode) {
    constexpr DWORD Console = NORMAL_PRIORITY_CLASS;
    const struct {
        DWORD flags;
        const wchar_t* command;
        std::string out;
        const char* err;  // all of standard error; null: not checked
        const char* errPart;  // or a part of it
        DWORD code;
    } cases[] = {
        {Console, L"bash -c \"echo out; echo err >&2; exit 3\"", "out\n", "err\n", nullptr, 3},
        {Console | DETACHED_PROCESS, L"bash -c \"echo out; echo err >&2; exit 3\"", "out\n", "err\n", nullptr, 3},
        {Console, L"printf \"[%s]\\n\" \"a  b\" \"\" c", "[a  b]\n[]\n[c]\n", nullptr, nullptr, 0},
        {Console, L"bash -c \"echo before; kill -KILL $$\"", "before\n", nullptr, nullptr, 128 + 9},
        {Console, L"bash -c \"echo before; kill -TERM $$\"", "before\n", nullptr, nullptr, 128 + 15},
        {Console, L"no-such-command-for-the-stand-in", "", nullptr, "no-such-command-for-the-stand-in", 127},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << support::Utf8(c.command) << " flags 0x" << std::hex << c.flags);
        LaunchOptions options;
        options.creationFlags = c.flags;
        const RunResult r = RunStandIn(c.command, {}, options);
        ASSERT_TRUE(r.finished);
        EXPECT_EQ(r.out, c.out);
        if (c.err) {
            EXPECT_EQ(r.err, c.err);
        }
        if (c.errPart) {
            EXPECT_NE(r.err.find(c.errPart), std::string::npos) << r.err;
        }
        EXPECT_EQ(r.exitCode, c.code);
    }
}

// Both streams at full speed at once, a megabyte each, from two processes,
// both read by the parent: all of each arrives in order, and nothing of one
// ends up in the other.
TEST(WslStandIn, SimultaneousBurstsOnBothStreamsStayApart) {
    const RunResult r = RunStandIn(L"bash -c \"seq 1 170000 >&2 & seq 1 170000; wait\"");
    ASSERT_TRUE(r.finished);
    const std::string expected = Sequence(170000);
    ASSERT_GT(expected.size(), 1000000u);
    EXPECT_TRUE(SameText(r.out, expected)) << "stdout";
    EXPECT_TRUE(SameText(r.err, expected)) << "stderr";
    EXPECT_EQ(r.exitCode, 0u);
}

// The command ends while its output still waits on the way to a parent that
// has not read any of it yet: all of it must still arrive, and then the exit
// code. The command leaves a file when it is done, and the output is read
// only after that. (Four megabytes fill the relay's queue beyond what the
// loopback connection holds; were the way narrower, the command could not
// finish unread and the test would go on, after the wait, as a plain burst.)
TEST(WslStandIn, OutputQueuedBehindSlowReaderSurvivesCommandEnd) {
    const support::TestFolder scratch;
    Launched child;
    ASSERT_TRUE(StartStandIn(L"bash -c \"seq 1 600000; touch done; exit 4\"", LaunchIn(scratch), child));
    child.input.reset();
    Collector err(child.error.get());
    const std::wstring done = scratch.File(L"done");
    // Nothing to wait on but the file: the command runs on the Linux side.
    (void)support::WaitUntil([&] { return FileExists(done); }, support::Patience, 20);
    Collector out(child.output.get());
    ASSERT_EQ(WaitForSingleObject(child.process.get(), 30000), WAIT_OBJECT_0);
    ASSERT_TRUE(out.WaitEnd(5000));
    const std::string expected = Sequence(600000);
    EXPECT_TRUE(SameText(out.Text(), expected));
    DWORD code = 0;
    GetExitCodeProcess(child.process.get(), &code);
    EXPECT_EQ(code, 4u) << err.Text();
}

// Binary input comes back from cat unchanged, and closing wsl.exe's input
// ends cat and with it wsl.exe; a command that stops reading while input
// keeps coming must not wedge the stand-in.
TEST(WslStandIn, InputReachesTheCommandUntilItsEnd) {
    const std::string data = BinaryPattern(4 << 20);
    const struct {
        const wchar_t* command;
        size_t in, out;
    } cases[] = {{L"cat", 1 << 20, 1 << 20}, {L"head -c 10", 4 << 20, 10}};
    for (const auto& c : cases) {
        SCOPED_TRACE(support::Utf8(c.command));
        const RunResult r = RunStandIn(c.command, data.substr(0, c.in));
        ASSERT_TRUE(r.finished) << "the command did not end when its input was closed";
        EXPECT_TRUE(SameText(r.out, data.substr(0, c.out)));
        EXPECT_EQ(r.exitCode, 0u);
    }
}

// A file as standard input ends where the file does (a read of zero bytes),
// unlike a pipe, which ends when it breaks.
TEST(WslStandIn, InputFromFileEndsAtItsEnd) {
    const support::TestFolder scratch;
    const std::wstring path = scratch.File(L"input.bin");
    const std::string data = BinaryPattern(100000);
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    ASSERT_TRUE(scratch.Write(L"input.bin", data));
    RunResult r;
    {
        toolkit::UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, &inherit, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(file);
        LaunchOptions options;
        options.input = file.get();
        r = RunStandIn(L"cat", {}, options, 20000);
    }
    ASSERT_TRUE(r.finished) << "the end of the file did not end the command's input";
    EXPECT_TRUE(SameText(r.out, data));
    EXPECT_EQ(r.exitCode, 0u);
}

// The console's own command line: each line typed is answered before the next
// is sent, so nothing may wait for more input or for the end.
TEST(WslStandIn, InteractiveShellAnswersEachLineAtOnce) {
    Launched child;
    ASSERT_TRUE(StartStandIn(L"bash --noediting -i -s", {}, child));
    Collector out(child.output.get());
    Collector err(child.error.get());
    DWORD written = 0;
    const char first[] = "echo first-$((6*7))\n";
    ASSERT_TRUE(WriteFile(child.input.get(), first, sizeof first - 1, &written, nullptr));
    EXPECT_TRUE(out.WaitFor("first-42\n", 20000)) << out.Text();
    const char second[] = "echo second >&2; exit 7\n";
    ASSERT_TRUE(WriteFile(child.input.get(), second, sizeof second - 1, &written, nullptr));
    ASSERT_EQ(WaitForSingleObject(child.process.get(), 20000), WAIT_OBJECT_0);
    ASSERT_TRUE(out.WaitEnd(5000));
    ASSERT_TRUE(err.WaitEnd(5000));
    DWORD code = 0;
    GetExitCodeProcess(child.process.get(), &code);
    EXPECT_EQ(code, 7u);
    EXPECT_NE(err.Text().find("second\n"), std::string::npos) << err.Text();
    EXPECT_EQ(out.Text().find("second"), std::string::npos);
}

// As under WSL 2, the command has a controlling terminal while its three
// streams stay pipes: what it writes there shows nowhere, never blocks (a
// megabyte is more than the terminal holds unread), and nothing comes from
// it (the input given goes to standard input only). Without the terminal,
// /dev/tty cannot be opened.
TEST(WslStandIn, CommandHasATerminalNobodySeesUnlessLeftOut) {
    const wchar_t command[] =
        L"bash -c \"[ -t 0 ] || [ -t 1 ] || [ -t 2 ] || echo pipes; echo seen-nowhere >/dev/tty && echo tty;"
        L" head -c 1000000 /dev/zero >/dev/tty && echo drained; timeout 1 head -c 1 /dev/tty; echo read=$?\"";
    LaunchOptions noTerminal;
    noTerminal.environment = {L"WSL_STANDIN_NO_TERMINAL=1"};
    const struct {
        const char* name;
        LaunchOptions options;
        std::string out;
        const char* errPart;  // null: standard error is empty
    } cases[] = {
        {"WSL 2 terminal", {}, "pipes\ntty\ndrained\nread=124\n", nullptr},
        {"no terminal", noTerminal, "pipes\nread=1\n", "/dev/tty: No such device or address"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const RunResult r = RunStandIn(command, "input\n", c.options, 30000);
        ASSERT_TRUE(r.finished) << r.out;
        EXPECT_EQ(r.out, c.out);
        if (c.errPart) {
            EXPECT_NE(r.err.find(c.errPart), std::string::npos) << r.err;
        } else {
            EXPECT_EQ(r.err, "");
        }
        EXPECT_EQ(r.exitCode, 0u);
    }
}

// wsl.exe with no distribution installed says so on standard output, in
// UTF-16LE without a byte-order mark, or in UTF-8 when WSL_UTF8 is 1, each
// CR LF of the message written as CR CR LF; then it ends with -1 having
// started nothing.
TEST(WslStandIn, WithoutADistributionItSaysSoInItsOwnEncodingAndEndsWithMinusOne) {
    std::wstring text;
    for (const wchar_t c : std::wstring_view(wsl_messages::NoDistribution)) {
        if (c == L'\n') text += L'\r';
        text += c;
    }
    const std::string utf16(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
    const struct {
        const char* name;
        const wchar_t* utf8;  // WSL_UTF8's value; null: not set
        std::string out;
    } cases[] = {
        {"UTF-16LE by default", nullptr, utf16},
        {"UTF-8 with WSL_UTF8=1", L"1", support::Utf8(text)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const support::TestFolder scratch;
        LaunchOptions options = LaunchIn(scratch);
        options.environment = {L"WSL_STANDIN_NO_DISTRIBUTION=1"};
        if (c.utf8) options.environment.push_back(std::wstring(L"WSL_UTF8=") + c.utf8);
        const RunResult r = RunStandIn(L"touch started", "echo typed\n", options);
        ASSERT_TRUE(r.finished);
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(r.exitCode, 0xFFFFFFFFu);
        EXPECT_FALSE(FileExists(scratch.File(L"started")));
    }
}

TEST(WslStandIn, CommandRunsInCallersDirectory) {
    const support::TestFolder scratch;
    const std::string content = "here " + std::to_string(GetTickCount64());
    ASSERT_TRUE(scratch.Write(L"marker.txt", content));
    const RunResult r = RunStandIn(L"cat marker.txt", {}, LaunchIn(scratch));
    ASSERT_TRUE(r.finished);
    EXPECT_EQ(r.out, content);
    EXPECT_EQ(r.exitCode, 0u);
}

// When wsl.exe is killed nobody is left to read the command: the relay hangs
// it up, as a closed terminal would, instead of leaving it running.
TEST(WslStandIn, KilledStandInHangsUpTheCommand) {
    const support::TestFolder scratch;
    Launched child;
    ASSERT_TRUE(StartStandIn(L"bash -c \"trap 'touch hung-up; exit' HUP; echo ready; while :; do sleep 0.1; done\"",
                             LaunchIn(scratch), child));
    Collector out(child.output.get());
    Collector err(child.error.get());
    ASSERT_TRUE(out.WaitFor("ready\n", 20000)) << err.Text();
    ASSERT_TRUE(TerminateProcess(child.process.get(), 9));  // our own child, by its handle
    const std::wstring mark = scratch.File(L"hung-up");
    // Nothing to wait on but the file: the command runs on the Linux side.
    EXPECT_TRUE(support::WaitUntil([&] { return FileExists(mark); }, 2 * support::Patience, 20))
        << "the command was not hung up";
}

// A peer with the wrong token is closed without being told anything, and the
// relay that then proves the token is served.
TEST(WslStandInRelay, WrongTokenIsRefusedAndRightOneServed) {
    const RunResult r = RunStandIn(L"some \"command line\"", {}, WithFakeRelay(L"wrong-then-right"));
    ASSERT_TRUE(r.finished);
    EXPECT_EQ(r.out, "first peer: refused\ncommand: some \"command line\"\n");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.exitCode, 0u);
}

// Each way the relay can fail ends wsl.exe with 255 and a message on its
// standard error; output that came before the failure is kept.
TEST(WslStandInRelay, RelayFaultsEndWith255AndSayWhy) {
    LaunchOptions cannotStart;
    cannotStart.environment = {L"WSL_STANDIN_RELAY=" + support::BesideTest(L"no-such-relay.exe")};
    const struct {
        const char* name;
        LaunchOptions options;
        std::string out;
        std::string message;
    } cases[] = {
        {"gives up when no peer proves the token", WithFakeRelay(L"wrong-then-silent"), "", "did not connect"},
        {"a relay that ends without connecting", WithFakeRelay(L"exit"), "", "ended without connecting"},
        {"a relay that cannot start", cannotStart, "", "cannot start"},
        {"a lost connection keeps the output before it", WithFakeRelay(L"drop"), "partial\n", "lost"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const RunResult r = RunStandIn(L"true", {}, c.options);
        ASSERT_TRUE(r.finished);
        EXPECT_EQ(r.exitCode, 255u);
        EXPECT_EQ(r.out, c.out);
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    }
}
