#pragma once
// Shared by the channel tests: the helper children, named events, scratch
// files, and the test-support library's waits, workers and text.

#include "channel/child_io.h"
#include "channel/child_launch.h"

#include "support/files.h"
#include "support/named_event.h"
#include "support/text.h"
#include "support/waiting.h"
#include "support/worker.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

namespace channel_test {

using support::Hex;  // bytes as the helper's out:/err: steps take them
using support::NamedEvent;  // for the helper's wait: step
using support::NothingWithin;
using support::Patience;
using support::Utf8;
using support::WaitUntil;
using support::Wide;
using support::Worker;

// Hidden, record kept, three pipes.
inline constexpr uint32_t PipedFlags = channel::StartHidden | channel::KeepChild | channel::PipeStdout |
                                       channel::PipeStdin | channel::PipeStderr;
// What the console launches its shell with: piped, text in UTF-8.
inline constexpr uint32_t ConsoleFlags = PipedFlags | channel::TextUtf8;
inline constexpr uint32_t AnsiFlags = PipedFlags | channel::TextAnsi;
inline constexpr uint32_t Utf16Flags = PipedFlags | channel::TextUtf16;

inline std::wstring StreamHelper() { return support::BesideTest(L"stream_helper.exe"); }
inline std::wstring ParameterHelper() { return support::BesideTest(L"parameter_helper.exe"); }

inline DWORD PendingOn(HANDLE pipe) {
    DWORD available = 0;
    PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr);
    return available;
}

inline bool WaitExit(const channel::ChildProcess* child, DWORD ms = Patience) {
    return WaitForSingleObject(child->processHandle, ms) == WAIT_OBJECT_0;
}

// The file a helper reports into, in a folder of its own removed with it.
class ScratchFile {
public:
    [[nodiscard]] std::wstring Path() const { return folder_.File(L"report.txt"); }
    [[nodiscard]] bool Exists() const { return support::FileExists(Path()); }
    [[nodiscard]] std::string Read() const { return folder_.Read(L"report.txt"); }

private:
    support::TestFolder folder_;
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
        if (!reader.Done(Patience)) {
            ADD_FAILURE() << "standard output did not end";
            TerminateProcess(child->processHandle, 1);
        }
        return all;
    }

private:
    std::vector<channel::ChildProcess*> started_;
};

}  // namespace channel_test
