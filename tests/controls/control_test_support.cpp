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

bool IsEventCode(int64_t value) { return value >= toolkit::ControlEvent && value <= toolkit::SizeEvent; }

}  // namespace

std::vector<TakenEvent> DrainEvents() {
    std::vector<TakenEvent> taken;
    // Bounded: a blinking caret keeps posting timer messages.
    for (int i = 0; i < 2000; ++i) {
        const int64_t result = toolkit::WaitEvent(0);
        if (result == 0) break;
        if (IsEventCode(result)) taken.push_back({result, toolkit::EventMenuItem()});
    }
    return taken;
}

bool WaitEventsUntil(const std::function<bool()>& done) {
    return support::PumpUntil(done, support::Patience, [] { (void)toolkit::WaitEvent(1); });
}

int CountEvents(const std::vector<TakenEvent>& events, int64_t code, int64_t object) {
    int n = 0;
    for (const TakenEvent& e : events) n += (e.code == code && e.object == object) ? 1 : 0;
    return n;
}

void ControlWindowTest::SetUp() {
    window_ = toolkit::OpenMainWindow(0, 0, 0, 800, 600, L"controls", 0);
    ASSERT_NE(window_, nullptr);
    ASSERT_EQ(controls::SetControlContainer(nullptr), window_);
    (void)DrainEvents();
}

void ControlWindowTest::TearDown() {
    toolkit::CloseNumberedWindow(0);
    (void)DrainEvents();
}

LONG_PTR StyleOf(HWND window) { return GetWindowLongPtrW(window, GWL_STYLE); }
LONG_PTR ExStyleOf(HWND window) { return GetWindowLongPtrW(window, GWL_EXSTYLE); }

}  // namespace controls_test
