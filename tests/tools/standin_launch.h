#pragma once
// Starts the build directory's wsl.exe the way the console does (hidden, three
// anonymous pipes, handles inherited, no new console) and collects what it
// writes. Used by the stand-in's tests and its benchmark.

#include <windows.h>

#include <string>
#include <vector>

#include "toolkit/scoped.h"

namespace standin_test {

// The wsl.exe of this build directory.
std::wstring StandInPath();

struct LaunchOptions {
    std::wstring directory;                 // empty: the caller's
    std::vector<std::wstring> environment;  // "NAME=value" added to the caller's
    DWORD creationFlags = NORMAL_PRIORITY_CLASS;
    HANDLE input = nullptr;  // an inheritable handle to use as standard input instead of a pipe
};

struct Launched {
    toolkit::UniqueHandle process;
    toolkit::UniqueHandle input;   // write end of its standard input (none with LaunchOptions::input)
    toolkit::UniqueHandle output;  // read end of its standard output
    toolkit::UniqueHandle error;   // read end of its standard error
};

// "program" parameters, as the console builds the command line.
[[nodiscard]] bool StartStandIn(const std::wstring& parameters, const LaunchOptions& options, Launched& launched);

// Reads one handle to its end on its own thread.
class Collector {
public:
    explicit Collector(HANDLE source);
    ~Collector();
    Collector(const Collector&) = delete;
    Collector& operator=(const Collector&) = delete;

    // Waits until the text holds `wanted` or the time is up; true if it does.
    bool WaitFor(const std::string& wanted, DWORD timeoutMs);
    // Waits for the end of the stream; true if it ended in time.
    bool WaitEnd(DWORD timeoutMs);
    std::string Text();

private:
    static DWORD WINAPI Pump(void* self) noexcept;
    HANDLE source_;
    toolkit::CriticalSection lock_;
    toolkit::UniqueHandle changed_;  // auto-reset: new bytes or the end
    std::string text_;
    toolkit::UniqueHandle thread_;
};

// Writes a block to a handle on its own thread, then closes the handle.
class Feeder {
public:
    Feeder(toolkit::UniqueHandle target, std::string data);
    ~Feeder();
    Feeder(const Feeder&) = delete;
    Feeder& operator=(const Feeder&) = delete;
    bool WaitEnd(DWORD timeoutMs);

private:
    static DWORD WINAPI Pump(void* self) noexcept;
    toolkit::UniqueHandle target_;
    std::string data_;
    toolkit::UniqueHandle thread_;
};

struct RunResult {
    bool finished = false;  // the process and both streams ended in time
    DWORD exitCode = 0;
    std::string out;
    std::string err;
};

// Runs wsl.exe with the parameters, feeds it `input` and closes its standard
// input, and collects both streams. A run that overstays timeoutMs is ended.
RunResult RunStandIn(const std::wstring& parameters, const std::string& input = {},
                     const LaunchOptions& options = {}, DWORD timeoutMs = 60000);

}  // namespace standin_test
