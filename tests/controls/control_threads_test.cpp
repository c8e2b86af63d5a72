// The transcript read and replaced from worker threads while the main thread
// waits for events, as the output pumps do.
#include "control_test_support.h"

#include "controls/control_framework.h"
#include "controls/text_control.h"
#include "toolkit/event_codes.h"
#include "toolkit/event_queue.h"

#include <atomic>
#include <string>

namespace controls_test {
namespace {

constexpr int64_t Transcript = 0;

struct Pump {
    int lines = 0;
    std::atomic<bool> done{false};
    std::wstring firstRead;
};

DWORD WINAPI AppendLines(void* parameter) {
    auto* pump = static_cast<Pump*>(parameter);
    pump->firstRead = controls::GetControlText(Transcript);
    for (int i = 0; i < pump->lines; ++i) {
        // Read, append, write: the main thread carries out each window-text
        // message inside its event wait.
        const std::wstring text = controls::GetControlText(Transcript);
        controls::SetControlText(Transcript, (text + L"\r\nline " + std::to_wstring(i)).c_str());
    }
    pump->done = true;
    return 0;
}

struct TextKind {
    uint32_t flags;
    // Whether the control reports a replaced text to its parent at all: a
    // multi-line edit does not for WM_SETTEXT (so the transcript's updates
    // raise nothing), a single-line one does.
    bool reportsReplacement;
};

class WorkerTextTest : public ControlWindowTest, public ::testing::WithParamInterface<TextKind> {};

TEST_P(WorkerTextTest, WorkerReadsAndReplacesTextWhileMainThreadWaits) {
    ASSERT_NE(controls::CreateTextControl(Transcript, 0, 0, 400, 300, L"start", GetParam().flags), nullptr);
    (void)DrainEvents();

    Pump pump;
    pump.lines = 20;
    HANDLE thread = CreateThread(nullptr, 0, AppendLines, &pump, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    std::vector<TakenEvent> taken;
    const bool finished = PumpUntil([&] { return pump.done.load(); }, 10000, &taken);
    // Only now is the worker known not to need the main thread.
    EXPECT_TRUE(finished);
    EXPECT_EQ(WaitForSingleObject(thread, finished ? 5000 : 0), WAIT_OBJECT_0);
    CloseHandle(thread);
    const std::vector<TakenEvent> rest = DrainEvents();
    taken.insert(taken.end(), rest.begin(), rest.end());

    EXPECT_EQ(pump.firstRead, L"start");
    std::wstring expected = L"start";
    for (int i = 0; i < pump.lines; ++i) expected += L"\r\nline " + std::to_wstring(i);
    EXPECT_EQ(controls::GetControlText(Transcript), expected);
    // The worker's suppression does not reach the main thread, where the
    // notifications are raised.
    if (GetParam().reportsReplacement) {
        EXPECT_GT(CountEvents(taken, toolkit::ControlEvent, Transcript), 0);
    }
}

INSTANTIATE_TEST_SUITE_P(TextKinds, WorkerTextTest,
                         ::testing::Values(TextKind{0x804, false}, TextKind{0x0, true}));

}  // namespace
}  // namespace controls_test
