#pragma once
// Files the tests look into: what a helper program or a script left behind.

#include <string>
#include <string_view>

namespace support {

// The whole content of the file at `path`; empty when it cannot be opened.
// The file may still be open for writing elsewhere.
std::string ReadFileBytes(std::wstring_view path);

}  // namespace support
