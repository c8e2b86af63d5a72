#pragma once
// The start-up command: the program's parameters joined, trimmed and
// rewritten into the first line the shell receives.

#include <cstdint>
#include <string>
#include <string_view>

namespace app {

inline constexpr uint32_t ReplaceIgnoreCase = 1;
inline constexpr uint32_t ReplaceInPlace = 2;

[[nodiscard]] std::wstring TrimTrailingSpaces(std::wstring_view text);
// Replaces every occurrence of `find`, left to right, never rescanning a
// replacement. With ReplaceInPlace, `text` itself is changed (one-character
// find and replacement only) and returned.
std::wstring ReplaceText(std::wstring& text, std::wstring_view find, std::wstring_view replacement, uint32_t mode);
// Joins the own parameters (each followed by one space), then trims and
// rewrites: backslashes to "/", D:/ (any case) to "d/", apostrophes to '"'.
[[nodiscard]] std::wstring AssembleStartupCommand();

}  // namespace app
