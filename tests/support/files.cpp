#include "support/files.h"

#include <windows.h>

#include <cwchar>

namespace support {

std::string ReadFileBytes(std::wstring_view path) { return ReadFileBytes(path, 0); }

std::string ReadFileBytes(std::wstring_view path, uint64_t offset) {
    std::string bytes;
    const std::wstring name(path);
    // Every sharing mode: a writer elsewhere may even rename or delete it.
    const HANDLE file = CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return bytes;
    LARGE_INTEGER at{};
    at.QuadPart = static_cast<LONGLONG>(offset);
    if (SetFilePointerEx(file, at, nullptr, FILE_BEGIN)) {
        char buffer[65536];
        DWORD got = 0;
        while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
    }
    CloseHandle(file);
    return bytes;
}

bool FileExists(std::wstring_view path) {
    return GetFileAttributesW(std::wstring(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool WriteFileBytes(std::wstring_view path, std::string_view bytes) {
    const HANDLE file = CreateFileW(std::wstring(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == bytes.size();
}

TestFolder::TestFolder() {
    static LONG counter = 0;
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    wchar_t name[96];
    swprintf(name, 96, L"wslc-test-%lu-%ld-%llu", GetCurrentProcessId(), InterlockedIncrement(&counter),
             GetTickCount64());
    path_ = std::wstring(temp) + name;
    CreateDirectoryW(path_.c_str(), nullptr);
}

TestFolder::~TestFolder() {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((path_ + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) DeleteFileW(File(found.cFileName).c_str());
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    (void)RemoveDirectoryW(path_.c_str());  // a shell still ending may hold a file; the temp folder is fine
}

std::wstring TestFolder::File(std::wstring_view name) const { return path_ + L"\\" + std::wstring(name); }

bool TestFolder::Write(std::wstring_view name, std::string_view bytes) const {
    return WriteFileBytes(File(name), bytes);
}

std::string TestFolder::Read(std::wstring_view name) const { return ReadFileBytes(File(name)); }

}  // namespace support
