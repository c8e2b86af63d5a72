#include "app/utf8_decoder.h"

namespace app {
namespace {

constexpr wchar_t Replacement = 0xFFFD;

void AppendCodePoint(uint32_t cp, std::wstring& out) {
    if (cp >= 0x10000) {
        cp -= 0x10000;
        out.push_back(static_cast<wchar_t>(0xD800 + (cp >> 10)));
        out.push_back(static_cast<wchar_t>(0xDC00 + (cp & 0x3FF)));
    } else {
        out.push_back(static_cast<wchar_t>(cp));
    }
}

}  // namespace

void Utf8Decoder::Decode(const unsigned char* bytes, size_t count, std::wstring& out) {
    for (size_t i = 0; i < count; ++i) {
        const unsigned char b = bytes[i];
        if (needed_ > 0) {
            if (b >= lower_ && b <= upper_) {
                codePoint_ = (codePoint_ << 6) | (b & 0x3F);
                lower_ = 0x80;
                upper_ = 0xBF;
                if (--needed_ == 0) AppendCodePoint(codePoint_, out);
                continue;
            }
            // The sequence broke off: what came so far is one bad character,
            // and this byte starts afresh.
            out.push_back(Replacement);
            needed_ = 0;
            lower_ = 0x80;
            upper_ = 0xBF;
        }
        if (b == 0) continue;
        if (b < 0x80) {
            out.push_back(static_cast<wchar_t>(b));
        } else if (b >= 0xC2 && b <= 0xDF) {
            codePoint_ = b & 0x1F;
            needed_ = 1;
        } else if (b >= 0xE0 && b <= 0xEF) {
            codePoint_ = b & 0x0F;
            needed_ = 2;
            if (b == 0xE0) lower_ = 0xA0;  // no overlong forms
            if (b == 0xED) upper_ = 0x9F;  // no surrogates
        } else if (b >= 0xF0 && b <= 0xF4) {
            codePoint_ = b & 0x07;
            needed_ = 3;
            if (b == 0xF0) lower_ = 0x90;  // no overlong forms
            if (b == 0xF4) upper_ = 0x8F;  // nothing above U+10FFFF
        } else {
            out.push_back(Replacement);  // stray continuation, C0, C1, F5..FF
        }
    }
}

void Utf8Decoder::Finish(std::wstring& out) {
    if (needed_ > 0) out.push_back(Replacement);
    needed_ = 0;
    lower_ = 0x80;
    upper_ = 0xBF;
}

}  // namespace app
