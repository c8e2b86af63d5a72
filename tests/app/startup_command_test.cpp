#include "app/startup_command.h"
#include "channel/child_io.h"
#include "channel/child_launch.h"

#include "../channel/channel_test_support.h"  // the console's launch flags
#include "support/text.h"
#include "support/waiting.h"
#include "support/worker.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <string_view>

using app::ReplaceIgnoreCase;
using app::ReplaceInPlace;
using app::ReplaceText;
using app::TrimTrailingSpaces;

TEST(TrimTrailingSpaces, RemovesOnlyTheRunOfSpacesAtTheEnd) {
    EXPECT_EQ(TrimTrailingSpaces(L"a b c "), L"a b c");
    EXPECT_EQ(TrimTrailingSpaces(L"last  "), L"last");
    EXPECT_EQ(TrimTrailingSpaces(L"  lead"), L"  lead");
    EXPECT_EQ(TrimTrailingSpaces(L"in  side"), L"in  side");
    // Only U+0020 counts: a tab ends the run.
    EXPECT_EQ(TrimTrailingSpaces(L"a\t"), L"a\t");
    EXPECT_EQ(TrimTrailingSpaces(L"a \t  "), L"a \t");
    EXPECT_EQ(TrimTrailingSpaces(L"a\u3000"), L"a\u3000");
    EXPECT_EQ(TrimTrailingSpaces(L"    "), L"");
    EXPECT_EQ(TrimTrailingSpaces(L""), L"");
}

TEST(ReplaceText, ReplacesEveryMatchLeftToRightWithoutRescanning) {
    std::wstring text = L"aaa";
    EXPECT_EQ(ReplaceText(text, L"aa", L"b", 0), L"ba");  // matches never overlap
    EXPECT_EQ(text, L"aaa");                             // a new text; the input is kept

    text = L"a-a";
    EXPECT_EQ(ReplaceText(text, L"a", L"aa", 0), L"aa-aa");  // a replacement is never scanned again

    text = L"x\\y\\\\z";
    EXPECT_EQ(ReplaceText(text, L"\\", L"/", 0), L"x/y//z");

    text = L"D:/a d:/b D:/";
    EXPECT_EQ(ReplaceText(text, L"D:/", L"d/", 0), L"d/a d:/b d/");  // exact without the mode bit

    text = L"no match";
    EXPECT_EQ(ReplaceText(text, L"zz", L"y", 0), L"no match");
    text = L"abc";
    EXPECT_EQ(ReplaceText(text, L"", L"y", 0), L"abc");  // an empty find changes nothing
    text = L"";
    EXPECT_EQ(ReplaceText(text, L"a", L"b", 0), L"");
    text = L"ab";
    EXPECT_EQ(ReplaceText(text, L"abc", L"x", 0), L"ab");  // a match may not run past the end
}

TEST(ReplaceText, IgnoreCaseFoldsOnlyAsciiLetters) {
    std::wstring text = L"D:/a d:/b D:x D:\\";
    EXPECT_EQ(ReplaceText(text, L"D:/", L"d/", ReplaceIgnoreCase), L"d/a d/b D:x D:\\");
    text = L"abcABC";
    EXPECT_EQ(ReplaceText(text, L"Bc", L"-", ReplaceIgnoreCase), L"a-A-");
    // Characters 32 apart that are not letters, and letters outside A-Z,
    // stay distinct.
    text = L"`@[{";
    EXPECT_EQ(ReplaceText(text, L"@", L"x", ReplaceIgnoreCase), L"`x[{");
    EXPECT_EQ(ReplaceText(text, L"{", L"x", ReplaceIgnoreCase), L"`@[x");
    text = L"\u00c4\u00e4";
    EXPECT_EQ(ReplaceText(text, L"\u00e4", L"a", ReplaceIgnoreCase), L"\u00c4a");
}

TEST(ReplaceText, InPlaceRewritesTheCallersText) {
    std::wstring text = L"echo 'a b' 'c'";
    const wchar_t* storage = text.data();
    EXPECT_EQ(ReplaceText(text, L"'", L"\"", ReplaceInPlace), L"echo \"a b\" \"c\"");
    EXPECT_EQ(text, L"echo \"a b\" \"c\"");
    EXPECT_EQ(text.data(), storage);  // the same storage, overwritten

    text = L"C:\\Temp\\x";
    (void)ReplaceText(text, L"\\", L"/", ReplaceInPlace);  // checked through `text`
    EXPECT_EQ(text, L"C:/Temp/x");

    text = L"xXx";
    (void)ReplaceText(text, L"x", L"y", ReplaceInPlace | ReplaceIgnoreCase);  // checked through `text`
    EXPECT_EQ(text, L"yyy");

    // Lengths that differ cannot keep the storage, but the text is still
    // rewritten, a match right after a shorter replacement included.
    text = L"D:/D:/a";
    EXPECT_EQ(ReplaceText(text, L"D:/", L"d/", ReplaceInPlace), L"d/d/a");
    EXPECT_EQ(text, L"d/d/a");
}

namespace {

// What startup_command_helper.exe reports when started with `parameters`:
// the start-up command it assembled, and what one more NextOwnParameter then
// gave it.
struct Assembly {
    std::wstring command;
    std::wstring nextParameter;
};

Assembly AssembleInHelper(const std::wstring& parameters) {
    channel::InitChildChannel();
    const std::wstring helper = support::BesideTest(L"startup_command_helper.exe");
    const channel::ChildProcess* child = channel::AsChild(
        channel::StartChildProcess(helper.c_str(), parameters.c_str(), L"", channel_test::ConsoleFlags));
    if (!child) {
        ADD_FAILURE() << "startup_command_helper did not start";
        return {};
    }
    // One read: it returns what came once the helper's end breaks the pipe.
    std::string out(1 << 16, '\0');
    int32_t got = 0;
    support::Worker reader(
        [&] { got = channel::ReadChildOutput(child, out.data(), static_cast<int32_t>(out.size())); });
    if (!reader.Done(support::Patience)) {
        ADD_FAILURE() << "startup_command_helper did not end";
        TerminateProcess(child->processHandle, 1);  // our own child, by its handle
        return {};
    }
    out.resize(static_cast<size_t>(got > 0 ? got : 0));
    const size_t first = out.find('\0');
    const size_t second = first == std::string::npos ? first : out.find('\0', first + 1);
    if (second == std::string::npos) {
        ADD_FAILURE() << "startup_command_helper reported " << out.size() << " bytes without two records";
        return {};
    }
    return {support::Wide(std::string_view(out).substr(0, first)),
            support::Wide(std::string_view(out).substr(first + 1, second - first - 1))};
}

}  // namespace

// The parameters joined with one space each, the end trimmed, then the
// rewrites: backslashes to slashes, "D:/" in either case to "d/", apostrophes
// to double quotes. Each row is one launch of the helper.
TEST(AssembleStartupCommand, StartupCommandRewritesPathsDrivesAndApostrophes) {
    struct Case {
        const wchar_t* parameters;
        const wchar_t* command;
    };
    const Case cases[] = {
        {L"", L""},
        // Quotes group and are dropped, an empty parameter still adds its
        // space, a tab is kept, and the trailing spaces go.
        {L"  \"a b\"  c\"d e\"f  \"\"  g\\h\ti  ", L"a b cd ef  g/h\ti"},
        // The console's rewrite examples, two parameters each; the last ends
        // in two spaces, which the trim removes.
        {L"cd D:\\work\\src type d:\\notes.txt echo 'a b' ls C:\\Temp grep x\\ty D:x D:\\\\y \"last  \"",
         L"cd d/work/src type d/notes.txt echo \"a b\" ls C:/Temp grep x/ty D:x d//y last"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(support::Utf8(c.parameters));
        const Assembly assembly = AssembleInHelper(c.parameters);
        EXPECT_EQ(assembly.command, c.command);
        // The assembly read every parameter on its thread.
        EXPECT_EQ(assembly.nextParameter, L"");
    }
}
