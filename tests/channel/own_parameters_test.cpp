#include "channel/own_parameters.h"

#include "channel_test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using channel::ScanOwnCommandLine;
using Parameters = std::vector<std::wstring>;

TEST(ScanOwnCommandLine, OnlySpacesSeparateAndQuotesGroup) {
    struct Case {
        const wchar_t* line;
        Parameters parameters;
    };
    const Case cases[] = {
        {L"p", {}},
        {L"", {}},
        {L"p  a   b  ", {L"a", L"b"}},                        // runs of spaces, trailing spaces make nothing
        {L"p \"a b\" c", {L"a b", L"c"}},                      // quotes group
        {L"p a\"b c\"d", {L"ab cd"}},                          // a quote inside only protects the space
        {L"p \"ab\"cd", {L"ab", L"cd"}},                       // a quoted token ends at its closing quote
        {L"p \"ab\"\"cd\"", {L"ab", L"cd"}},                   // a doubled quote is no escape
        {L"p \"\" x", {L"", L"x"}},                            // an empty quoted token counts
        {L"p \"a b", {L"a b"}},                                // no closing quote: to the end
        {L"p a\\b\"c d", {L"a\\bc d"}},                        // backslashes mean nothing
        {L"p a\tb", {L"a\tb"}},                                // a tab does not separate
        {L"\"c:\\my dir\\p.exe\" x", {L"x"}},                  // the quoted program name is skipped
        {L"c:\\my dir\\p.exe x", {L"dir\\p.exe", L"x"}},       // an unquoted one ends at its first space
        {L"p \"\"", {L""}},                                    // an empty last parameter
        {L"p a\"\"b", {L"ab"}},                                // an empty quoted stretch inside a token
        {L"p a\"b \"  c", {L"ab ", L"c"}},
        {L"\"p\"x y", {L"x", L"y"}},                           // a token may follow the program's closing quote
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "command line [" << channel_test::Utf8(c.line) << "]");
        EXPECT_EQ(ScanOwnCommandLine(c.line), c.parameters);
    }
}

namespace {

// What parameter_helper reports about its own command line.
struct HelperReport {
    std::wstring commandLine;
    std::wstring startupCommand;  // assembled on the main thread
    std::wstring count;           // as counted on a second thread
    Parameters parameters;        // read one by one on that thread
    std::wstring afterLast;       // one more NextOwnParameter on that thread
    std::wstring mainAgain;       // one more on the main thread, after the assembly
};

class OwnParametersTest : public channel_test::ChildTest {
protected:
    HelperReport Run(const std::wstring& parameters) {
        HelperReport report;
        const channel::ChildProcess* child = Start(channel_test::ParameterHelper(), parameters);
        if (!child) {
            ADD_FAILURE() << "parameter_helper did not start";
            return report;
        }
        const std::string out = ReadAllOutput(child);
        std::vector<std::wstring> records;
        for (size_t at = 0; at < out.size();) {
            const size_t end = out.find('\0', at);
            if (end == std::string::npos) break;
            records.push_back(channel_test::FromUtf8(std::string_view(out).substr(at, end - at)));
            at = end + 1;
        }
        if (records.size() < 5) {
            ADD_FAILURE() << "parameter_helper reported " << records.size() << " records";
            return report;
        }
        report.commandLine = records[0];
        report.startupCommand = records[1];
        report.count = records[2];
        report.parameters.assign(records.begin() + 3, records.end() - 2);
        report.afterLast = records[records.size() - 2];
        report.mainAgain = records.back();
        return report;
    }
};

}  // namespace

TEST_F(OwnParametersTest, ChildReadsItsRealCommandLine) {
    const std::wstring parameters = L"  \"a b\"  c\"d e\"f  \"\"  g\\h\ti  ";
    const HelperReport report = Run(parameters);
    // The launch quotes the program and passes the parameters unchanged.
    EXPECT_EQ(report.commandLine, L"\"" + channel_test::ParameterHelper() + L"\" " + parameters);
    EXPECT_EQ(report.count, L"4");
    EXPECT_EQ(report.parameters, (Parameters{L"a b", L"cd ef", L"", L"g\\h\ti"}));
    // Past the last parameter the thread only gets empty texts; the main
    // thread's cursor was moved past everything by the assembly.
    EXPECT_EQ(report.afterLast, L"");
    EXPECT_EQ(report.mainAgain, L"");
    EXPECT_EQ(report.startupCommand, L"a b cd ef  g/h\ti");
}

TEST_F(OwnParametersTest, NoParametersCountZeroAndAssembleNothing) {
    const HelperReport report = Run(L"");
    EXPECT_EQ(report.commandLine, L"\"" + channel_test::ParameterHelper() + L"\"");
    EXPECT_EQ(report.count, L"0");
    EXPECT_EQ(report.parameters, Parameters{});
    EXPECT_EQ(report.afterLast, L"");
    EXPECT_EQ(report.startupCommand, L"");
}

TEST_F(OwnParametersTest, StartupCommandRewritesPathsDrivesAndApostrophes) {
    // Each pair of parameters is one of the console's rewrite examples; the
    // last parameter ends in two spaces, which the trim removes.
    const HelperReport report = Run(
        L"cd D:\\work\\src type d:\\notes.txt echo 'a b' ls C:\\Temp grep x\\ty D:x D:\\\\y \"last  \"");
    EXPECT_EQ(report.startupCommand,
              L"cd d/work/src type d/notes.txt echo \"a b\" ls C:/Temp grep x/ty D:x d//y last");
}
