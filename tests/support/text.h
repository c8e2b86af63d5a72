#pragma once
// Text as the tests handle it: UTF-8 and UTF-16 both ways, bytes as hex
// digits for helper programs' parameters, and the path of a program built
// beside the running test.

#include <string>
#include <string_view>
#include <vector>

namespace support {

std::string Utf8(std::wstring_view text);
// Ill-formed bytes become U+FFFD, as the platform's conversion makes them.
std::wstring Wide(std::string_view utf8);

// Two lowercase hex digits a byte.
std::wstring Hex(std::string_view bytes);

// This process's environment, one "NAME=value" entry each, in the block's order.
std::vector<std::string> EnvironmentEntries();
// The lines of a report, each without its line feed; an unfinished last
// line counts too.
std::vector<std::string> SplitLines(std::string_view text);

// `name` in the folder of the running test program.
std::wstring BesideTest(std::wstring_view name);

}  // namespace support
