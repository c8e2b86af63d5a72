#pragma once
// Shared by the channel tests: the helper children, bounded waits, named
// events and scratch files.

#include "channel/child_io.h"
#include "channel/child_launch.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <string>
#include <string_view>

namespace channel_test {

inline constexpr uint32_t ConsoleFlags = 0xBE;  // what the console launches its shell with
inline constexpr DWORD Patience = 10000;         // ms; far beyond what any step here needs

// A program next to the test program.
inline std::wstring HelperPath(const wchar_t* name) {
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring path = self;
    return path.substr(0, path.find_last_of(L"\\/") + 1) + name;
}
inline std::wstring StreamHelper() { return HelperPath(L"stream_helper.exe"); }
inline std::wstring ParameterHelper() { return HelperPath(L"parameter_helper.exe"); }

// Bytes as the helper's out:/err: steps take them.
inline std::wstring Hex(std::string_view bytes) {
    static const wchar_t digits[] = L"0123456789abcdef";
    std::wstring hex;
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        hex += digits[b >> 4];
        hex += digits[b & 15];
    }
    return hex;
}

inline std::string Utf8(std::wstring_view text) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                      nullptr);
    std::string bytes(static_cast<size_t>(n > 0 ? n : 0), '\0');
    if (n > 0)
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), n, nullptr,
                            nullptr);
    return bytes;
}

inline std::wstring FromUtf8(std::string_view bytes) {
    const int n = MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring text(static_cast<size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0) MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(), n);
    return text;
}

// Runs `work` on a thread of its own, so a call that blocks cannot hang the
// test: the test waits for it a bounded time only.
class Worker {
public:
    explicit Worker(std::function<void()> work) : work_(std::move(work)) {
        thread_ = CreateThread(nullptr, 0, Run, this, 0, nullptr);
    }
    ~Worker() {
        // A worker still blocked here is stuck on a child that the test's
        // clean-up ends; wait for it so `work_` outlives the thread.
        if (thread_) {
            WaitForSingleObject(thread_, Patience);
            CloseHandle(thread_);
        }
    }
    Worker(const Worker&) = delete;
    Worker& operator=(const Worker&) = delete;

    [[nodiscard]] bool Started() const { return thread_ != nullptr; }
    // True when the work has finished within `ms`.
    [[nodiscard]] bool Done(DWORD ms = Patience) const { return WaitForSingleObject(thread_, ms) == WAIT_OBJECT_0; }

private:
    static DWORD WINAPI Run(void* self) {
        static_cast<Worker*>(self)->work_();
        return 0;
    }
    std::function<void()> work_;
    HANDLE thread_ = nullptr;
};

// Polls `condition` every millisecond until it holds or `ms` have passed.
inline bool WaitUntil(const std::function<bool()>& condition, DWORD ms = Patience) {
    const ULONGLONG deadline = GetTickCount64() + ms;
    for (;;) {
        if (condition()) return true;
        if (GetTickCount64() > deadline) return false;
        Sleep(1);
    }
}

inline DWORD PendingOn(HANDLE pipe) {
    DWORD available = 0;
    PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr);
    return available;
}

inline bool WaitExit(const channel::ChildProcess* child, DWORD ms = Patience) {
    return WaitForSingleObject(child->processHandle, ms) == WAIT_OBJECT_0;
}

// A manual-reset event with a name of its own, for the helper's wait: step.
class NamedEvent {
public:
    NamedEvent() {
        static int serial = 0;
        name_ = L"wslc-channel-test-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++serial);
        event_ = CreateEventW(nullptr, TRUE, FALSE, name_.c_str());
    }
    ~NamedEvent() { CloseHandle(event_); }
    NamedEvent(const NamedEvent&) = delete;
    NamedEvent& operator=(const NamedEvent&) = delete;
    [[nodiscard]] const std::wstring& Name() const { return name_; }
    void Set() const { SetEvent(event_); }

private:
    std::wstring name_;
    HANDLE event_;
};

// A file name in the temporary directory, removed again at the end.
class ScratchFile {
public:
    explicit ScratchFile(const wchar_t* suffix = L".txt") {
        static int serial = 0;
        wchar_t dir[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, dir);
        path_ = std::wstring(dir) + L"wslc-channel-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                std::to_wstring(++serial) + suffix;
        DeleteFileW(path_.c_str());
    }
    ~ScratchFile() { DeleteFileW(path_.c_str()); }
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;
    [[nodiscard]] const std::wstring& Path() const { return path_; }
    [[nodiscard]] bool Exists() const { return GetFileAttributesW(path_.c_str()) != INVALID_FILE_ATTRIBUTES; }
    [[nodiscard]] std::string Read() const {
        std::string bytes;
        HANDLE file = CreateFileW(path_.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE) return bytes;
        char buffer[4096];
        DWORD got = 0;
        while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
        CloseHandle(file);
        return bytes;
    }

private:
    std::wstring path_;
};

// Starts helper children and makes sure none outlives its test: a child
// still running at the end (a test that failed half-way) is ended.
class ChildTest : public ::testing::Test {
protected:
    void SetUp() override { channel::InitChildChannel(); }
    void TearDown() override {
        for (const channel::ChildProcess* child : started_)
            if (WaitForSingleObject(child->processHandle, 0) == WAIT_TIMEOUT) TerminateProcess(child->processHandle, 1);
    }

    channel::ChildProcess* Start(const std::wstring& program, const std::wstring& parameters,
                                 uint32_t flags = ConsoleFlags) {
        channel::ChildProcess* child =
            channel::AsChild(channel::StartChildProcess(program.c_str(), parameters.c_str(), L"", flags));
        if (child) started_.push_back(child);
        return child;
    }
    channel::ChildProcess* StartHelper(const std::wstring& steps, uint32_t flags = ConsoleFlags) {
        return Start(StreamHelper(), steps, flags);
    }

    // Everything the child writes to standard output, up to the pipe's end.
    static std::string ReadAllOutput(const channel::ChildProcess* child) {
        std::string all;
        Worker reader([&] {
            char buffer[4096];
            for (;;) {
                const int32_t got = channel::ReadChildOutput(child, buffer, sizeof buffer);
                all.append(buffer, static_cast<size_t>(got > 0 ? got : 0));
                if (got < static_cast<int32_t>(sizeof buffer)) break;
            }
        });
        if (!reader.Done()) {
            ADD_FAILURE() << "standard output did not end";
            TerminateProcess(child->processHandle, 1);
        }
        return all;
    }

private:
    std::vector<channel::ChildProcess*> started_;
};

}  // namespace channel_test
