#include "control_test_support.h"

#include "controls/control_framework.h"
#include "toolkit/event_codes.h"
#include "toolkit/event_queue.h"
#include "toolkit/main_window.h"

#include "support/waiting.h"

namespace controls_test {
namespace {

class LibrariesEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        // The program's start-up order: events, windows, then controls.
        toolkit::InitEventLibrary();
        toolkit::InitWindowLibrary();
        controls::InitControls();
    }
};

[[maybe_unused]] ::testing::Environment* const g_environment =
    ::testing::AddGlobalTestEnvironment(new LibrariesEnvironment);

}  // namespace

bool WaitEventsUntil(const std::function<bool()>& done) {
    return support::PumpUntil(done, support::Patience, [] { (void)toolkit::WaitEvent(1); });
}

int ControlEventsOf(int64_t number) {
    int n = 0;
    for (const toolkit_test::Event& e : TakePending()) n += (e.code == toolkit::ControlEvent && e.object == number) ? 1 : 0;
    return n;
}

void ControlWindowTest::SetUp() {
    window_ = toolkit::OpenMainWindow(0, 0, 0, 800, 600, L"controls", 0);
    ASSERT_NE(window_, nullptr);
    ASSERT_EQ(controls::SetControlContainer(nullptr), window_);
    (void)TakePending();
}

void ControlWindowTest::TearDown() {
    toolkit::CloseNumberedWindow(0);
    (void)TakePending();
}

LONG_PTR StyleOf(HWND window) { return GetWindowLongPtrW(window, GWL_STYLE); }
LONG_PTR ExStyleOf(HWND window) { return GetWindowLongPtrW(window, GWL_EXSTYLE); }

}  // namespace controls_test
