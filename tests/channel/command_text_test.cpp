#include "app/command_text.h"

#include <gtest/gtest.h>

#include <string>

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

    // Lengths that differ cannot keep the storage, but the text is still rewritten.
    text = L"D:/a";
    EXPECT_EQ(ReplaceText(text, L"D:/", L"d/", ReplaceInPlace), L"d/a");
    EXPECT_EQ(text, L"d/a");
}
