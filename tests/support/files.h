#pragma once
// Files the tests look into: what a helper program or a script left behind;
// and the files tests and their helper programs hand each other.

#include <cstdint>
#include <string>
#include <string_view>

namespace support {

// The whole content of the file at `path`; empty when it cannot be opened.
// The file may still be open for writing elsewhere.
std::string ReadFileBytes(std::wstring_view path);
// The same from `offset` on: what a file that keeps growing has gained since.
std::string ReadFileBytes(std::wstring_view path, uint64_t offset);

bool FileExists(std::wstring_view path);
// Makes (or replaces) the file with exactly `bytes`; false when it cannot.
bool WriteFileBytes(std::wstring_view path, std::string_view bytes);

}  // namespace support
