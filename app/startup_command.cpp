// The start-up command: the program's parameters, joined, trimmed and
// rewritten so that Windows paths and quotes read well to bash.

#include "app/startup_command.h"

#include "channel/own_parameters.h"

namespace app {
namespace {

wchar_t FoldAsciiCase(wchar_t c) noexcept { return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c + 32) : c; }

bool MatchesAt(std::wstring_view text, size_t at, std::wstring_view find, bool ignoreCase) noexcept {
    if (text.size() - at < find.size()) return false;
    for (size_t i = 0; i < find.size(); ++i) {
        const wchar_t a = text[at + i];
        const wchar_t b = find[i];
        if (ignoreCase ? FoldAsciiCase(a) != FoldAsciiCase(b) : a != b) return false;
    }
    return true;
}

}  // namespace

std::wstring TrimTrailingSpaces(std::wstring_view text) {
    // Only U+0020 is trimmed, only at the end: a tab ends the run.
    const size_t last = text.find_last_not_of(L' ');
    return last == std::wstring_view::npos ? std::wstring() : std::wstring(text.substr(0, last + 1));
}

std::wstring ReplaceText(std::wstring& text, std::wstring_view find, std::wstring_view replacement, uint32_t mode) {
    const bool ignoreCase = (mode & ReplaceIgnoreCase) != 0;
    const bool inPlace = (mode & ReplaceInPlace) != 0;
    // An empty find text would match everywhere without moving on.
    if (find.empty()) return text;

    if (inPlace && find.size() == replacement.size()) {
        // Same length: overwrite the matches in the text's own storage.
        for (size_t at = 0; at < text.size();) {
            if (MatchesAt(text, at, find, ignoreCase)) {
                text.replace(at, find.size(), replacement);
                at += find.size();
            } else {
                ++at;
            }
        }
        return text;
    }

    std::wstring result;
    result.reserve(text.size());
    for (size_t at = 0; at < text.size();) {
        if (MatchesAt(text, at, find, ignoreCase)) {
            result.append(replacement);
            at += find.size();  // matches never overlap; a replacement is never scanned again
        } else {
            result.push_back(text[at]);
            ++at;
        }
    }
    // In place with lengths that differ the storage cannot be kept; the
    // caller's text still ends up rewritten.
    if (inPlace) text = result;
    return result;
}

std::wstring AssembleStartupCommand() {
    // Every parameter followed by one space; the count is asked afresh before
    // each one.
    std::wstring command;
    for (int64_t taken = 0; taken <= channel::CountOwnParameters() - 1; ++taken) {
        command += channel::NextOwnParameter();
        command += L' ';
    }
    command = TrimTrailingSpaces(command);
    (void)ReplaceText(command, L"\\", L"/", ReplaceInPlace);  // rewrites `command` itself
    command = ReplaceText(command, L"D:/", L"d/", ReplaceIgnoreCase);
    (void)ReplaceText(command, L"'", L"\"", ReplaceInPlace);  // rewrites `command` itself
    return command;
}

}  // namespace app
