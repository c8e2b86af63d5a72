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

// A folder of its own in the temporary folder, removed with the files left
// in it when it goes.
class TestFolder {
public:
    TestFolder();
    ~TestFolder();
    TestFolder(const TestFolder&) = delete;
    TestFolder& operator=(const TestFolder&) = delete;

    const std::wstring& Path() const { return path_; }
    std::wstring File(std::wstring_view name) const;
    bool Write(std::wstring_view name, std::string_view bytes) const;
    std::string Read(std::wstring_view name) const;

private:
    std::wstring path_;
};

}  // namespace support
