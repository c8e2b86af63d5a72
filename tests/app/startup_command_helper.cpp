// A child for the start-up command tests. It prints to standard output, as
// UTF-8 records each ended by a zero byte: the start-up command assembled
// from its own parameters, then one more NextOwnParameter on the same
// thread, whose cursor the assembly has moved past every parameter.

#include "app/startup_command.h"
#include "channel/child_launch.h"
#include "channel/own_parameters.h"

#include "support/text.h"

#include <windows.h>

#include <string>

int main() {
    channel::InitChildChannel();
    std::string records = support::Utf8(app::AssembleStartupCommand());
    records.push_back('\0');
    records += support::Utf8(channel::NextOwnParameter());
    records.push_back('\0');
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), records.data(), static_cast<DWORD>(records.size()), &written, nullptr);
    return 0;
}
