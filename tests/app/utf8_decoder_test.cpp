#include "app/utf8_decoder.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

using app::Utf8Decoder;

std::wstring DecodeWhole(const std::string& bytes) {
    Utf8Decoder d;
    std::wstring out;
    d.Decode(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), out);
    d.Finish(out);
    return out;
}

// Feeds the bytes one at a time, as the smallest possible reads would.
std::wstring DecodeBytewise(const std::string& bytes) {
    Utf8Decoder d;
    std::wstring out;
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        d.Decode(&b, 1, out);
    }
    d.Finish(out);
    return out;
}

TEST(Utf8Decoder, DecodesCharactersOfEveryLength) {
    const std::pair<std::string, std::wstring> cases[] = {
        // a é € 😀 z é, and a line feed as the last byte
        {"a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80z\xC3\xA9\n", L"a\u00E9\u20AC\U0001F600z\u00E9\n"},
        // the first and last character of each length, and of each range
        // where the second byte's bounds narrow
        {"\x7F\xC2\x80\xDF\xBF\xE0\xA0\x80\xED\x9F\xBF\xEF\xBF\xBF\xF0\x90\x80\x80\xF4\x8F\xBF\xBF",
         L"\u007F\u0080\u07FF\u0800\uD7FF\uFFFF\U00010000\U0010FFFF"},
    };
    for (const auto& [text, expected] : cases) {
        SCOPED_TRACE(testing::PrintToString(text));
        EXPECT_EQ(DecodeWhole(text), expected);
        EXPECT_EQ(DecodeBytewise(text), expected);
    }
}

TEST(Utf8Decoder, ZeroBytesLeaveNoTrace) {
    EXPECT_EQ(DecodeWhole(std::string("a\0b\0", 4)), L"ab");
    EXPECT_EQ(DecodeWhole(std::string("\0", 1)), L"");
}

TEST(Utf8Decoder, IllFormedInputBecomesOneReplacementPerMaximalPart) {
    struct Case {
        std::string bytes;
        std::wstring text;
    };
    const std::vector<Case> cases = {
        {"\x80", L"\uFFFD"},                        // stray continuation byte
        {"\xBF\x80", L"\uFFFD\uFFFD"},              // two of them
        {"\xC0\xAF", L"\uFFFD\uFFFD"},              // overlong lead, never valid
        {"\xC1\xBF", L"\uFFFD\uFFFD"},              // the last overlong lead
        {"\xC3\xC0", L"\uFFFD\uFFFD"},              // past the continuation bytes
        // A break keeps no narrowed range, nor a widened one.
        {"\xE0" "A\xC3\x80\xE2\xC3\xC0\xE2\xC3\x7F", L"\uFFFD" L"A\u00C0\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\x7F"},
        {"\xC3", L"\uFFFD"},                        // cut off by the end of the stream
        {"\xE2\x82" "A", L"\uFFFD" L"A"},           // cut off by an ASCII byte
        {"\xE0\x80\x80", L"\uFFFD\uFFFD\uFFFD"},    // overlong three-byte form
        {"\xED\xA0\x80", L"\uFFFD\uFFFD\uFFFD"},    // a surrogate
        {"\xF0\x8F\xBF\xBF", L"\uFFFD\uFFFD\uFFFD\uFFFD"},  // overlong four-byte form
        {"\xF4\x90\x80\x80", L"\uFFFD\uFFFD\uFFFD\uFFFD"},  // above U+10FFFF
        {"\xF5", L"\uFFFD"},
        {"\xFF" "a", L"\uFFFD" L"a"},
        {std::string("\xC3\0\xA9", 3), L"\uFFFD\uFFFD"},  // a zero byte breaks the character
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.bytes));
        EXPECT_EQ(DecodeWhole(c.bytes), c.text);
        EXPECT_EQ(DecodeBytewise(c.bytes), c.text);
    }
}

}  // namespace
