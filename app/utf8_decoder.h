#pragma once
// UTF-8 to UTF-16 with state kept across calls, so a character whose bytes
// arrive in different reads is decoded whole. Each maximal ill-formed
// subsequence becomes one U+FFFD; zero bytes leave no trace.

#include <cstddef>
#include <cstdint>
#include <string>

namespace app {

class Utf8Decoder {
public:
    // Appends the text of `bytes` to `out`; an unfinished character is kept.
    void Decode(const unsigned char* bytes, size_t count, std::wstring& out);
    // Ends the stream: an unfinished character becomes U+FFFD.
    void Finish(std::wstring& out);

private:
    uint32_t codePoint_ = 0;
    int needed_ = 0;    // continuation bytes still expected
    uint8_t lower_ = 0x80;  // range allowed for the next continuation byte
    uint8_t upper_ = 0xBF;
};

}  // namespace app
