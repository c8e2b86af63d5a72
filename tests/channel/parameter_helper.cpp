// A child for the parameter and start-up command tests. It prints to standard
// output, as UTF-8 records each ended by a zero byte:
//   its command line as the process got it;
//   the start-up command assembled on the main thread (the first call made);
//   on a second thread: the parameter count, every parameter in turn, and one
//   more NextOwnParameter after the last;
//   one more NextOwnParameter on the main thread, whose cursor the assembly
//   has already moved past every parameter.

#include "app/command_text.h"
#include "channel/child_launch.h"
#include "channel/own_parameters.h"

#include <windows.h>

#include <string>

namespace {

std::string records;

void Add(const std::wstring& text) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                      nullptr);
    std::string bytes(static_cast<size_t>(n > 0 ? n : 0), '\0');
    if (n > 0)
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), n, nullptr,
                            nullptr);
    records += bytes;
    records.push_back('\0');
}

DWORD WINAPI ListParameters(void*) {
    const int64_t count = channel::CountOwnParameters();
    Add(std::to_wstring(count));
    for (int64_t i = 0; i < count; ++i) Add(channel::NextOwnParameter());
    Add(channel::NextOwnParameter());
    return 0;
}

}  // namespace

int main() {
    channel::InitChildChannel();
    Add(GetCommandLineW());
    Add(app::AssembleStartupCommand());
    HANDLE thread = CreateThread(nullptr, 0, ListParameters, nullptr, 0, nullptr);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    Add(channel::NextOwnParameter());
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), records.data(), static_cast<DWORD>(records.size()), &written, nullptr);
    return 0;
}
