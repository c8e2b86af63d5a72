// The program's own parameters, split by this program's rules: only spaces
// separate, double quotes group, backslashes mean nothing, and the program
// name in front is never counted or returned.

#include "channel/own_parameters.h"

#include "channel/channel_state.h"

#include <windows.h>

#include <cstdint>

namespace channel {
namespace {

constinit thread_local ChannelThreadState t_channel{};

struct Token {
    int32_t number;  // -1 for the program name, then 0, 1, ...
    size_t start;
    size_t end;      // exclusive
};

// Walks the command line once and hands every token, numbered in order, to
// `visit`; stops early when `visit` returns true. Returns the number the next
// token would have had, so a full scan of n tokens returns n - 1.
template <class Visit>
int32_t ScanTokens(std::wstring_view line, Visit visit) {
    const size_t n = line.size();
    size_t pos = 0;
    int32_t number = -1;
    while (pos < n) {
        while (pos < n && line[pos] == L' ') ++pos;
        if (pos >= n) break;  // trailing spaces never make a token
        Token token{number, 0, 0};
        if (line[pos] == L'"') {
            // Quoted: runs to the closing quote, which ends it even when no
            // space follows; the next token then starts right there.
            token.start = pos + 1;
            const size_t close = line.find(L'"', token.start);
            token.end = close == std::wstring_view::npos ? n : close;
            pos = close == std::wstring_view::npos ? n : close + 1;
        } else {
            // Unquoted: runs to a space; a quote inside only protects the
            // spaces up to the next quote, and the token goes on after it.
            token.start = pos;
            bool quoted = false;
            size_t i = pos;
            for (; i < n; ++i) {
                const wchar_t c = line[i];
                if (c == L'"') quoted = !quoted;
                else if (c == L' ' && !quoted) break;
            }
            token.end = i;
            pos = i < n ? i + 1 : n;
        }
        ++number;
        if (visit(token)) break;
    }
    return number;
}

std::wstring WithoutQuotes(std::wstring_view text) {
    std::wstring result;
    result.reserve(text.size());
    for (const wchar_t c : text)
        if (c != L'"') result.push_back(c);
    return result;
}

// The command line as the process got it, read afresh on every call.
std::wstring_view OwnCommandLine() noexcept {
    const wchar_t* line = GetCommandLineW();
    return line ? std::wstring_view(line) : std::wstring_view();
}

}  // namespace

ChannelThreadState& ChannelThread() noexcept { return t_channel; }

int64_t CountOwnParameters() noexcept {
    return ScanTokens(OwnCommandLine(), [](const Token&) { return false; });
}

std::wstring NextOwnParameter() {
    const std::wstring_view line = OwnCommandLine();
    int32_t& cursor = ChannelThread().parameterCursor;
    const int32_t wanted = cursor;
    bool found = false;
    Token match{};
    (void)ScanTokens(line, [&](const Token& token) {  // the count is not needed here
        if (token.number != wanted) return false;
        match = token;
        found = true;
        return true;
    });
    // Past the last parameter the cursor stays where it is.
    if (!found) return {};
    ++cursor;
    return WithoutQuotes(line.substr(match.start, match.end - match.start));
}

std::vector<std::wstring> ScanOwnCommandLine(std::wstring_view commandLine) {
    std::vector<std::wstring> parameters;
    (void)ScanTokens(commandLine, [&](const Token& token) {  // every token is taken; the count is its size
        if (token.number >= 0)
            parameters.push_back(WithoutQuotes(commandLine.substr(token.start, token.end - token.start)));
        return false;
    });
    return parameters;
}

}  // namespace channel
