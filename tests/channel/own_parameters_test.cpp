#include "channel/own_parameters.h"

#include "channel_test_support.h"

#include <cwchar>
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
    std::wstring mainCount;    // as counted on the main thread
    Parameters mainParameters; // read one by one on that thread
    std::wstring count;        // as counted on a second thread
    Parameters parameters;     // read one by one on that thread
    std::wstring afterLast;    // one more NextOwnParameter on that thread
    std::wstring mainAgain;    // one more on the main thread, after its own reads
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
            records.push_back(channel_test::Wide(std::string_view(out).substr(at, end - at)));
            at = end + 1;
        }
        // The command line, then a count and that many parameters for each
        // thread, then the two reads past the end.
        size_t next = 0;
        const auto take = [&]() -> std::wstring { return next < records.size() ? records[next++] : L"<missing>"; };
        const auto takeList = [&](const std::wstring& count) {
            Parameters list;
            const size_t n = std::wcstoul(count.c_str(), nullptr, 10);
            for (size_t i = 0; i < n && next < records.size(); ++i) list.push_back(take());
            return list;
        };
        report.commandLine = take();
        report.mainCount = take();
        report.mainParameters = takeList(report.mainCount);
        report.count = take();
        report.parameters = takeList(report.count);
        report.afterLast = take();
        report.mainAgain = take();
        EXPECT_EQ(next, records.size()) << "parameter_helper reported " << records.size() << " records";
        return report;
    }
};

}  // namespace

TEST_F(OwnParametersTest, ChildReadsItsRealCommandLine) {
    const std::wstring parameters = L"  \"a b\"  c\"d e\"f  \"\"  g\\h\ti  ";
    const HelperReport report = Run(parameters);
    // The launch quotes the program and passes the parameters unchanged.
    EXPECT_EQ(report.commandLine, L"\"" + channel_test::ParameterHelper() + L"\" " + parameters);
    const Parameters expected{L"a b", L"cd ef", L"", L"g\\h\ti"};
    EXPECT_EQ(report.mainCount, L"4");
    EXPECT_EQ(report.mainParameters, expected);
    // Each thread reads from a cursor of its own: the second thread starts
    // at the first parameter although the main thread has read them all.
    EXPECT_EQ(report.count, L"4");
    EXPECT_EQ(report.parameters, expected);
    // Past the last parameter a thread only gets empty texts.
    EXPECT_EQ(report.afterLast, L"");
    EXPECT_EQ(report.mainAgain, L"");
}

TEST_F(OwnParametersTest, NoParametersCountZero) {
    const HelperReport report = Run(L"");
    EXPECT_EQ(report.commandLine, L"\"" + channel_test::ParameterHelper() + L"\"");
    EXPECT_EQ(report.mainCount, L"0");
    EXPECT_EQ(report.count, L"0");
    EXPECT_EQ(report.parameters, Parameters{});
    EXPECT_EQ(report.afterLast, L"");
    EXPECT_EQ(report.mainAgain, L"");
}
