// The console on the WSL stand-in with real bash: the whole road, from the
// start-up command to typed commands, both streams and exit, with the
// terminal WSL 2 gives bash and without one; and what wsl.exe does that the
// console cannot change: its own message when no distribution is installed,
// and a cold start.

#include "tests/e2e/console_checks.h"
#include "tests/e2e/console_driver.h"
#include "tools/wsl_messages.h"

#include "support/files.h"

#include <string_view>
#include <utility>
#include <vector>

namespace e2e {
namespace {

class ConsoleWithBash : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(support::FileExists(InstalledWslPath()) && support::FileExists(SystemFile(L"wsl-relay")))
            << "the WSL stand-in is not in this prefix (scripts/test installs it)";
    }
    // Starts the console with `commandTail` and the stand-in's variables.
    static testing::AssertionResult Start(ConsoleSession& console, std::wstring commandTail,
                                          std::vector<std::pair<std::wstring, std::wstring>> environment) {
        LaunchOptions options;
        options.commandTail = std::move(commandTail);
        options.environment = std::move(environment);
        std::wstring failure;
        if (console.Start(options, &failure)) return testing::AssertionSuccess();
        return testing::AssertionFailure() << Utf8(failure);
    }
    // Types the command and sends it; done once the console has taken the
    // line (the field is empty again), so the next command is typed afresh.
    static bool Run(ConsoleSession& console, std::wstring_view command) {
        return console.TypeIntoField(command) && console.PressKey(VK_RETURN) &&
               WaitUntil([&] { return console.FieldText().empty(); }, ShortWaitMs);
    }
};

// Under WSL 2 bash has a terminal nobody sees; without one (as the console
// has always been tested) it says it has no job control. The road is the
// same either way; with the terminal a background job also gets its "Done"
// notice, on standard error before the next prompt.
TEST_F(ConsoleWithBash, RunsTheStartupCommandTypedCommandsAndEndsWithExit) {
    const struct {
        const char* name;
        std::vector<std::pair<std::wstring, std::wstring>> environment;
        bool jobControl;
    } cases[] = {
        {"WSL 2 terminal", {}, true},
        {"no terminal", {{L"WSL_STANDIN_NO_TERMINAL", L"1"}}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ConsoleSession console;
        ASSERT_TRUE(Start(console, L" echo \"'hello  world'\" D:\\tmp", c.environment));
        EXPECT_TRUE(console.TranscriptText().starts_with(L"echo \"hello  world\" d/tmp\r\n\r\n---ran---"))
            << Utf8(console.TranscriptText());
        // bash saw the rewritten command: the double quotes kept the two spaces.
        ASSERT_TRUE(console.WaitForTranscriptToContain(L"\r\nhello  world d/tmp\n", LongWaitMs))
            << Utf8(console.TranscriptText());

        ASSERT_TRUE(Run(console, L"echo \u00e9t\u00e9 \u20ac"));
        EXPECT_TRUE(console.WaitForTranscriptToContain(L"\r\n\u00e9t\u00e9 \u20ac\n", LongWaitMs))
            << Utf8(console.TranscriptText());
        ASSERT_TRUE(Run(console, L"echo oops >&2"));
        // Error lines come without their line feed (bash's prompt, also on
        // standard error, may stand in front of it).
        EXPECT_TRUE(console.WaitForTranscript(
            [](const std::wstring& t) {
                const size_t at = t.find(L"oops");
                return at != std::wstring::npos && t.find(L"oops\n") == std::wstring::npos;
            },
            LongWaitMs))
            << Utf8(console.TranscriptText());
        ASSERT_TRUE(Run(console, L"sleep 1 &"));
        ASSERT_TRUE(Run(console, L"sleep 2; echo slept"));
        EXPECT_TRUE(console.WaitForTranscriptToContain(L"\r\nslept\n", LongWaitMs)) << Utf8(console.TranscriptText());
        if (c.jobControl) {
            EXPECT_TRUE(console.WaitForTranscript(
                [](const std::wstring& t) {
                    const size_t done = t.find(L"[1]+  Done");
                    return done != std::wstring::npos && t.find(L"sleep 1", done) != std::wstring::npos;
                },
                LongWaitMs))
                << Utf8(console.TranscriptText());
        }
        ASSERT_TRUE(Run(console, L"seq 1 3; exit 0"));
        for (const wchar_t* line : {L"\r\n1\n", L"\r\n2\n", L"\r\n3\n"})
            EXPECT_TRUE(console.WaitForTranscriptToContain(line, LongWaitMs)) << Utf8(console.TranscriptText());
        ASSERT_TRUE(console.WaitForTranscriptToContain(L"---program closed---", LongWaitMs))
            << Utf8(console.TranscriptText());
        const std::wstring transcript = console.TranscriptText();
        EXPECT_TRUE(transcript.ends_with(Closed));
        EXPECT_NE(transcript.find(L"[1] "), std::wstring::npos) << Utf8(transcript);  // the job's number and id
        EXPECT_EQ(transcript.find(L"no job control") == std::wstring::npos, c.jobControl) << Utf8(transcript);
        EXPECT_EQ(transcript.find(L"Done") != std::wstring::npos, c.jobControl) << Utf8(transcript);
        ASSERT_TRUE(WaitUntil([&] { return console.CountBeeps(EndBeep.frequency, EndBeep.duration) == 1; }, ShortWaitMs));
        EXPECT_GE(console.CountBeeps(OutputBeep.frequency, OutputBeep.duration), 6u);
        EXPECT_GE(console.CountBeeps(ErrorBeep.frequency, ErrorBeep.duration), 2u);
        EXPECT_EQ(console.CountBeeps(ReturnBeep.frequency, ReturnBeep.duration), 5u);
        EXPECT_EQ(console.History(), (std::vector<std::wstring>{L"", L"seq 1 3; exit 0", L"sleep 2; echo slept",
                                                                L"sleep 1 &", L"echo oops >&2",
                                                                L"echo \u00e9t\u00e9 \u20ac"}));
        CloseAndExpectExitCodeZero(console);
    }
}

// With no distribution installed wsl.exe prints its message, in French
// here, and ends at once: the message shows whole, each line as wsl.exe
// ends it (CR CR LF), then the shell's end, once; the keys go dead.
TEST_F(ConsoleWithBash, WithoutADistributionWslsOwnMessageShowsWholeAndTheShellEnds) {
    ConsoleSession console;
    ASSERT_TRUE(Start(console, L" ls", {{L"WSL_STANDIN_NO_DISTRIBUTION", L"1"}}));
    std::wstring expected = L"ls\r\n" + std::wstring(Ran);
    size_t lines = 0;
    const std::wstring_view message = wsl_messages::NoDistribution;
    for (size_t at = 0; at < message.size(); ++lines) {
        const size_t end = message.find(L"\r\n", at);
        expected += L"\r\n" + std::wstring(message.substr(at, end - at)) + L"\r\r\n";
        at = end + 2;
    }
    expected += Closed;
    ASSERT_TRUE(console.WaitForTranscriptToContain(L"---program closed---", LongWaitMs))
        << Utf8(console.TranscriptText());
    ASSERT_TRUE(WaitUntil([&] { return console.CountBeeps(EndBeep.frequency, EndBeep.duration) == 1; }, ShortWaitMs));
    EXPECT_EQ(console.TranscriptText(), expected);
    EXPECT_EQ(console.CountBeeps(OutputBeep.frequency, OutputBeep.duration), lines);

    ASSERT_NO_FATAL_FAILURE(ExpectReturnAndEscapeDoNothing(console, L"ls"));
    EXPECT_TRUE(NothingWithin(1000, [&] {
        return console.TranscriptText() != expected || console.CountBeeps(EndBeep.frequency, EndBeep.duration) != 1;
    }));
    CloseAndExpectExitCodeZero(console);
}

// A cold start of WSL 2 shows nothing for seconds. Meanwhile the window
// answers and takes commands; once bash runs, the start-up command and the
// commands typed go to it in order.
TEST_F(ConsoleWithBash, DuringASlowStartTheWindowAnswersAndCommandsWaitTheirTurn) {
    ConsoleSession console;
    ASSERT_TRUE(Start(console, L" echo first", {{L"WSL_STANDIN_START_DELAY_MS", L"8000"}}));
    const std::wstring head = L"echo first\r\n" + std::wstring(Ran);
    ASSERT_TRUE(Run(console, L"echo second"));
    ASSERT_TRUE(Run(console, L"echo third"));
    bool answered = true;
    EXPECT_TRUE(NothingWithin(3000, [&] {
        answered = answered && console.Answers(2000);
        return console.TranscriptText() != head;
    })) << "bash answered before its start: " << Utf8(console.TranscriptText());

    ASSERT_TRUE(WaitUntil(
        [&] {
            answered = answered && console.Answers(2000);
            return console.TranscriptText().find(L"\r\nthird\n") != std::wstring::npos;
        },
        LongWaitMs))
        << Utf8(console.TranscriptText());
    EXPECT_TRUE(answered) << "the window did not answer within 2 s";
    const std::wstring transcript = console.TranscriptText();
    const size_t first = transcript.find(L"\r\nfirst\n"), second = transcript.find(L"\r\nsecond\n");
    EXPECT_TRUE(first < second && second < transcript.find(L"\r\nthird\n")) << Utf8(transcript);

    ASSERT_TRUE(Run(console, L"exit"));
    ASSERT_TRUE(console.WaitForTranscriptToContain(L"---program closed---", LongWaitMs));
    CloseAndExpectExitCodeZero(console);
}

}  // namespace
}  // namespace e2e
