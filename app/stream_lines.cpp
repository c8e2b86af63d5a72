#include "app/stream_lines.h"

#include <cstring>

namespace app {

size_t TakeCompleteLines(std::wstring& pending, std::wstring& appended) {
    const size_t last = pending.rfind(L'\n');
    if (last == std::wstring::npos) return 0;
    size_t lines = 0;
    size_t start = 0;
    while (start <= last) {
        const size_t end = pending.find(L'\n', start);
        appended += L"\r\n";
        appended.append(pending, start, end - start + 1);  // keeps the line's own "\n"
        ++lines;
        start = end + 1;
    }
    pending.erase(0, last + 1);
    return lines;
}

size_t StreamLines::Take(const unsigned char* bytes, size_t count, std::wstring& pieces) {
    return kind_ == StreamKind::Output ? TakeOutput(bytes, count, pieces) : TakeError(bytes, count, pieces);
}

size_t StreamLines::Finish(std::wstring& pieces) {
    if (kind_ == StreamKind::Error) return ShowErrorLine(pieces);
    decoder_.Finish(outputLine_);
    if (outputLine_.empty()) return 0;
    pieces += L"\r\n";
    pieces += outputLine_;
    outputLine_.clear();
    return 1;
}

size_t StreamLines::TakeOutput(const unsigned char* bytes, size_t count, std::wstring& pieces) {
    decoder_.Decode(bytes, count, outputLine_);
    return TakeCompleteLines(outputLine_, pieces);
}

size_t StreamLines::TakeError(const unsigned char* bytes, size_t count, std::wstring& pieces) {
    size_t lines = 0;
    const unsigned char* at = bytes;
    const unsigned char* const end = bytes + count;
    while (at < end) {
        const auto* feed = static_cast<const unsigned char*>(std::memchr(at, '\n', static_cast<size_t>(end - at)));
        const unsigned char* const stop = feed ? feed : end;
        for (const unsigned char* b = at; b < stop; ++b) {
            if (*b != '\r' && *b != '\0') errorLine_.push_back(static_cast<char>(*b));
        }
        if (!feed) break;
        lines += ShowErrorLine(pieces);
        at = feed + 1;
    }
    return lines;
}

size_t StreamLines::ShowErrorLine(std::wstring& pieces) {
    // Carriage returns and zero bytes never get here, so every byte kept
    // shows as at least one character: a line with bytes is never empty.
    if (errorLine_.empty()) return 0;
    pieces += L"\r\n";
    // A line is decoded whole, on its own: nothing of it runs into the next.
    Utf8Decoder line;
    line.Decode(reinterpret_cast<const unsigned char*>(errorLine_.data()), errorLine_.size(), pieces);
    line.Finish(pieces);
    errorLine_.clear();
    return 1;
}

}  // namespace app
