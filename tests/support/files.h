#pragma once
// Whole files as bytes, for tests and their helper programs that hand each
// other data through files.

#include <cstdint>
#include <string>
#include <string_view>

namespace support {

[[nodiscard]] bool FileExists(const std::wstring& path);
// The file's bytes from `offset` on; "" when it cannot be opened. Every
// sharing mode is allowed, so a file that another process is still writing
// can be read.
[[nodiscard]] std::string FileBytes(const std::wstring& path, uint64_t offset = 0);
// Makes (or replaces) the file with exactly `bytes`; false when it cannot.
bool WriteFileBytes(const std::wstring& path, std::string_view bytes);

}  // namespace support
