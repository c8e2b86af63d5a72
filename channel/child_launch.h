#pragma once
// Starting a child process with optional pipes for its standard streams.

#include <windows.h>

#include <cstdint>

namespace channel {

// LaunchFlags bits.
inline constexpr uint32_t WaitForExit = 0x01;
inline constexpr uint32_t StartHidden = 0x02;
inline constexpr uint32_t KeepChild = 0x04;
inline constexpr uint32_t PipeStdout = 0x08;
inline constexpr uint32_t PipeStdin = 0x10;
inline constexpr uint32_t PipeStderr = 0x20;
inline constexpr uint32_t ChainStdin = 0x40;
inline constexpr uint32_t TextAnsi = 0x80;
inline constexpr uint32_t TextUtf8 = 0x100;
inline constexpr uint32_t TextUtf16 = 0x200;

struct ChildProcess {
    HANDLE processHandle;
    uint32_t processId;  // 0xFFFFFFFF when started through the shell
    HANDLE inputWriteEnd;
    HANDLE outputReadEnd;
    HANDLE errorReadEnd;
    uint32_t flags;
};

void InitChildChannel() noexcept;

// 0 on failure; 1 on success without KeepChild; otherwise the address of the
// child's ChildProcess record, valid for the life of the process.
// `setVariables`, when given, is a list of "NAME=value" entries ended by a
// null: the child gets this process's environment with each of them set, a
// variable of the same name (in any case) replaced. Without it, through the
// shell fallback, which takes no environment, and when this process cannot
// read its own, the child inherits the environment as it is.
[[nodiscard]] uintptr_t StartChildProcess(const wchar_t* program, const wchar_t* parameters,
                                          const wchar_t* directory, uint32_t flags,
                                          const wchar_t* const* setVariables = nullptr) noexcept;

// The record behind a launch result, or null for 0 and 1.
[[nodiscard]] inline ChildProcess* AsChild(uintptr_t launchResult) noexcept {
    return launchResult > 1 ? reinterpret_cast<ChildProcess*>(launchResult) : nullptr;
}

}  // namespace channel
