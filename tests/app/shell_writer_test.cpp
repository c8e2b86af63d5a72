#include "app/shell_writer.h"

#include "pump_fixture.h"
#include "support/files.h"
#include "support/worker.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

namespace apptest {
namespace {

// The shell reads nothing until every text is queued: queuing far more than
// a pipe holds must not block the caller, and everything arrives in order.
TEST(ShellWriter, QueuingNeverBlocksAndTextsArriveInOrder) {
    const support::TestFolder folder;
    const std::wstring file = folder.File(L"received");
    Gate allQueued;
    const uintptr_t launched = channel::StartChildProcess(support::BesideTest(L"stream_helper.exe").c_str(),
                                                          (allQueued.Await() + L"copyin:" + file).c_str(), L"", 0x13E);
    const channel::ChildProcess* child = channel::AsChild(launched);
    ASSERT_NE(child, nullptr);

    app::ShellWriter writer;
    ASSERT_TRUE(writer.Start(child));
    std::vector<std::wstring> texts;
    std::string expected;
    for (int i = 0; i < 2000; ++i) {
        texts.push_back(L"command " + std::to_wstring(i) + std::wstring(400, L'x') + L" \u00E9\n");
        expected += "command " + std::to_string(i) + std::string(400, 'x') + " \xC3\xA9\n";
    }
    texts.emplace_back(1, L'\x0003');
    expected += '\x03';
    // 800 KB is far more than a pipe holds.
    support::Worker sender([&] {
        for (const std::wstring& text : texts) writer.Send(text);
    });
    ASSERT_TRUE(sender.Started());
    if (!sender.Done(support::Patience)) {
        TerminateProcess(child->processHandle, 1);
        FAIL() << "queuing waited for the shell to read";
    }
    allQueued.Open();
    EXPECT_TRUE(support::WaitUntil([&] { return support::ReadFileBytes(file).size() >= expected.size(); }, 30000))
        << support::ReadFileBytes(file).size() << " of " << expected.size();
    const std::string received = support::ReadFileBytes(file);
    EXPECT_TRUE(received == expected) << received.size() << " of " << expected.size();
    TerminateProcess(child->processHandle, 0);
    WaitForSingleObject(child->processHandle, support::Patience);  // lets go of the file before the folder goes
}

}  // namespace
}  // namespace apptest
