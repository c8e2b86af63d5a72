#include "app/stream_lines.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using app::StreamKind;
using app::StreamLines;

struct Fed {
    std::wstring pieces;
    size_t lines = 0;
};

// Feeds the bytes in the given reads, then ends the stream.
Fed Feed(StreamKind kind, const std::vector<std::string>& reads, bool finish = true) {
    StreamLines lines(kind);
    Fed fed;
    for (const std::string& read : reads)
        fed.lines += lines.Take(reinterpret_cast<const unsigned char*>(read.data()), read.size(), fed.pieces);
    if (finish) fed.lines += lines.Finish(fed.pieces);
    return fed;
}

struct Case {
    const char* name;
    StreamKind kind;
    std::string bytes;
    std::wstring pieces;  // what the transcript gains once the stream has ended
    size_t lines;
};

std::vector<Case> Cases() {
    using namespace std::string_literals;
    return {
        {"output keeps its line ends", StreamKind::Output, "one\ntwo\r\n\nthree", L"\r\none\n\r\ntwo\r\n\r\n\n\r\nthree", 4},
        {"output drops zero bytes", StreamKind::Output, "a\0b\n"s, L"\r\nab\n", 1},
        {"output characters of every length", StreamKind::Output, "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\n",
         L"\r\n\u00E9\u20AC\U0001F600\n", 1},
        {"output unfinished character at the end", StreamKind::Output, "x\xE2\x82", L"\r\nx\uFFFD", 1},
        {"error drops line feeds, CR and zero bytes", StreamKind::Error, "x\r\ny\0z\n\r\n\n\0\n"s, L"\r\nx\r\nyz", 2},
        {"error carriage return inside a line", StreamKind::Error, "a\rb\n", L"\r\nab", 1},
        {"error unfinished line shown at the end", StreamKind::Error, "w\nprompt$ ", L"\r\nw\r\nprompt$ ", 2},
        {"error characters of every length", StreamKind::Error, "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\n",
         L"\r\n\u00E9\u20AC\U0001F600", 1},
        {"error unfinished character at a line end", StreamKind::Error, "x\xE2\x82\ny\n", L"\r\nx\uFFFD\r\ny", 2},
        {"error zero byte inside a character is dropped first", StreamKind::Error, "\xC3\0\xA9\n"s, L"\r\n\u00E9", 1},
    };
}

TEST(StreamLines, LinesAreTheSameHoweverTheReadsCutTheBytes) {
    for (const Case& c : Cases()) {
        SCOPED_TRACE(c.name);
        const Fed whole = Feed(c.kind, {c.bytes});
        EXPECT_EQ(whole.pieces, c.pieces);
        EXPECT_EQ(whole.lines, c.lines);
        // Every cut into two reads, and one byte per read.
        for (size_t cut = 1; cut < c.bytes.size(); ++cut) {
            SCOPED_TRACE(cut);
            const Fed two = Feed(c.kind, {c.bytes.substr(0, cut), c.bytes.substr(cut)});
            EXPECT_EQ(two.pieces, c.pieces);
            EXPECT_EQ(two.lines, c.lines);
        }
        std::vector<std::string> bytewise;
        for (char b : c.bytes) bytewise.emplace_back(1, b);
        const Fed single = Feed(c.kind, bytewise);
        EXPECT_EQ(single.pieces, c.pieces);
        EXPECT_EQ(single.lines, c.lines);
    }
}

// The same ill-formed bytes read the same on both streams: one U+FFFD for
// each maximal ill-formed part, whatever the stream.
TEST(StreamLines, BothStreamsDecodeIllFormedBytesAlike) {
    const std::vector<std::string> cases = {
        "\xED\xA4\xB4", "\xE0\x80\xAF", "\xF0\x80\x80\x80", "\xF4\x90\x80\x80", "\xC0\xAF", "\xE2\x82(", "\xFF\xFE",
        "\x80\xBF", "ok \xF0\x9F\x98",
    };
    for (const std::string& bytes : cases) {
        SCOPED_TRACE(testing::PrintToString(bytes));
        const Fed out = Feed(StreamKind::Output, {bytes + "\n"});
        const Fed err = Feed(StreamKind::Error, {bytes + "\n"});
        ASSERT_TRUE(out.pieces.ends_with(L"\n"));
        EXPECT_EQ(out.pieces.substr(0, out.pieces.size() - 1), err.pieces);
    }
    EXPECT_EQ(Feed(StreamKind::Error, {"\xED\xA4\xB4\n"}).pieces, L"\r\n\uFFFD\uFFFD\uFFFD");
}

// Each complete line gains "\r\n" in front and keeps its own end; an
// unfinished line stays pending.
TEST(TakeCompleteLines, TakesCompleteLinesAndLeavesTheUnfinishedOne) {
    struct Case {
        const wchar_t* pending;
        size_t lines;
        const wchar_t* appended;
        const wchar_t* left;
    };
    const Case cases[] = {
        {L"one\ntwo\r\nthr", 2, L"\r\none\n\r\ntwo\r\n", L"thr"},
        {L"prompt$ ", 0, L"", L"prompt$ "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "pending: " << testing::PrintToString(std::wstring(c.pending)));
        std::wstring pending = c.pending;
        std::wstring appended;
        EXPECT_EQ(app::TakeCompleteLines(pending, appended), c.lines);
        EXPECT_EQ(appended, c.appended);
        EXPECT_EQ(pending, c.left);
    }
}

}  // namespace
