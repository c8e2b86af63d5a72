#pragma once
// The program's own command-line parameters, split by this program's rules.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace channel {

[[nodiscard]] int64_t CountOwnParameters() noexcept;
[[nodiscard]] std::wstring NextOwnParameter();

// The scanner behind both, on a given command line: the parameters after the
// program name, in order, with their double quotes removed.
[[nodiscard]] std::vector<std::wstring> ScanOwnCommandLine(std::wstring_view commandLine);

}  // namespace channel
