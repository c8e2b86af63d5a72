// A child for the parameter tests. It prints to standard output, as UTF-8
// records each ended by a zero byte:
//   its command line as the process got it;
//   on the main thread: the parameter count and every parameter in turn;
//   on a second thread: the parameter count, every parameter in turn, and one
//   more NextOwnParameter after the last;
//   one more NextOwnParameter on the main thread, whose cursor its own reads
//   have already moved past every parameter.

#include "channel/child_launch.h"
#include "channel/own_parameters.h"

#include "support/text.h"

#include <windows.h>

#include <string>

namespace {

std::string records;

void Add(const std::wstring& text) {
    records += support::Utf8(text);
    records.push_back('\0');
}

// The count, then every parameter, as the calling thread reads them.
void ReadEveryParameter() {
    const int64_t count = channel::CountOwnParameters();
    Add(std::to_wstring(count));
    for (int64_t i = 0; i < count; ++i) Add(channel::NextOwnParameter());
}

DWORD WINAPI ReadOnSecondThread(void*) {
    ReadEveryParameter();
    Add(channel::NextOwnParameter());
    return 0;
}

}  // namespace

int main() {
    channel::InitChildChannel();
    Add(GetCommandLineW());
    ReadEveryParameter();
    HANDLE thread = CreateThread(nullptr, 0, ReadOnSecondThread, nullptr, 0, nullptr);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    Add(channel::NextOwnParameter());
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), records.data(), static_cast<DWORD>(records.size()), &written, nullptr);
    return 0;
}
