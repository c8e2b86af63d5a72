// The control registry as the controls use it: slots, number reuse, failed
// creations, lookups, clean-up and absent numbers.
#include "control_test_support.h"

#include "controls/combo_control.h"
#include "controls/control_framework.h"
#include "controls/label_control.h"
#include "controls/text_control.h"
#include "toolkit/event_codes.h"
#include "toolkit/event_queue.h"
#include "toolkit/main_window.h"

#include "support/waiting.h"
#include "support/worker.h"

#include <atomic>

namespace controls_test {
namespace {

using controls::ControlSlotCount;
using controls::FindControl;

// Every other test uses numbers below 50, so the table is still at its
// initial size here whatever order the tests run in.
TEST_F(ControlRegistry, RegistryKeepsFiftySlotsForLowNumbersAndGrowsByFiftyBeyond) {
    ASSERT_NE(controls::CreateTextControl(0, 0, 0, 100, 100, L"", 0x804), nullptr);
    ASSERT_NE(controls::CreateComboControl(1, 0, 100, 100, 20, 0x42), nullptr);
    ASSERT_NE(controls::CreateLabelControl(2, 0, 200, 100, 20, L"out"), nullptr);
    ASSERT_NE(controls::CreateLabelControl(3, 0, 220, 100, 20, L"command"), nullptr);
    EXPECT_EQ(ControlSlotCount(), 50);

    ASSERT_NE(controls::CreateLabelControl(60, 0, 240, 100, 20, L"sixty"), nullptr);
    EXPECT_EQ(ControlSlotCount(), 110);
    for (int64_t n = 4; n < 60; ++n) EXPECT_EQ(FindControl(n), nullptr) << n;
    EXPECT_EQ(controls::GetControlText(60), L"sixty");
    EXPECT_EQ(controls::GetControlText(2), L"out");
}

TEST_F(ControlRegistry, ReusedNumberDestroysOldWindowAfterNewOneExists) {
    HWND old = controls::CreateTextControl(5, 0, 0, 100, 20, L"old", 0);
    ASSERT_NE(old, nullptr);
    controls::ControlRecord* record = FindControl(5);
    ASSERT_NE(record, nullptr);

    HWND created = nullptr;
    bool newExistedAtOldDestruction = false;
    {
        WindowLifeRecorder recorder;
        created = controls::CreateLabelControl(5, 0, 30, 100, 20, L"new");
        ASSERT_NE(created, nullptr);
        // Order of the platform's own create/destroy notifications.
        int createdAt = -1, destroyedAt = -1;
        const auto& entries = recorder.entries();
        for (int i = 0; i < static_cast<int>(entries.size()); ++i) {
            if (entries[i].created && entries[i].window == created) createdAt = i;
            if (!entries[i].created && entries[i].window == old) destroyedAt = i;
        }
        ASSERT_NE(createdAt, -1);
        ASSERT_NE(destroyedAt, -1);
        newExistedAtOldDestruction = createdAt < destroyedAt;
    }
    EXPECT_TRUE(newExistedAtOldDestruction);
    EXPECT_FALSE(IsWindow(old));
    // The same record now serves the new window.
    EXPECT_EQ(FindControl(5), record);
    EXPECT_EQ(record->window, created);
    EXPECT_EQ(controls::GetControlText(5), L"new");
}

TEST_F(ControlRegistry, ReusedNumberDropsQueuedEventsOfThatNumberOnly) {
    HWND old = controls::CreateTextControl(6, 0, 0, 100, 20, L"old", 0);
    HWND other = controls::CreateTextControl(7, 0, 30, 100, 20, L"other", 0);
    ASSERT_NE(old, nullptr);
    ASSERT_NE(other, nullptr);
    (void)TakePending();
    controls::RaiseControlEvent(old, controls::ControlChanged);
    controls::RaiseControlEvent(other, controls::ControlChanged);
    controls::RaiseControlEvent(old, controls::ControlFocused);

    ASSERT_NE(controls::CreateLabelControl(6, 0, 60, 100, 20, L"new"), nullptr);
    std::vector<int64_t> controlEvents;  // the controls they are of
    for (const toolkit_test::Event& e : TakePending())
        if (e.code == toolkit::ControlEvent) controlEvents.push_back(e.object);
    EXPECT_EQ(controlEvents, std::vector<int64_t>{7});
}

TEST_F(CreateControl, CreationWithoutContainerFailsAndLeavesOldControl) {
    HWND old = controls::CreateTextControl(8, 0, 0, 100, 20, L"kept", 0);
    ASSERT_NE(old, nullptr);

    // Being the container leaves the window's own procedure in place.
    EXPECT_EQ(GetWindowLongPtrW(window_, GWLP_WNDPROC), static_cast<LONG_PTR>(GetClassLongPtrW(window_, GCLP_WNDPROC)));
    // Only a numbered window can be the container: nothing else says when it goes.
    const HWND plain = CreateWindowExW(0, L"Static", L"", WS_OVERLAPPED, 0, 0, 50, 50, nullptr, nullptr,
                                       GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(controls::SetControlContainer(plain), window_);
    EXPECT_EQ(controls::SetControlContainer(nullptr), window_);
    DestroyWindow(plain);
    // A container that goes away leaves the thread without one.
    const HWND temporary = toolkit::OpenMainWindow(1, 0, 0, 50, 50, L"", toolkit::OpenHidden | toolkit::NoControlContainer);
    ASSERT_NE(temporary, nullptr);
    EXPECT_EQ(controls::SetControlContainer(temporary), window_);
    EXPECT_EQ(controls::SetControlContainer(nullptr), temporary);
    toolkit::CloseNumberedWindow(1);
    EXPECT_EQ(controls::SetControlContainer(nullptr), nullptr);

    EXPECT_EQ(controls::CreateLabelControl(8, 0, 0, 10, 10, L"lost"), nullptr);
    EXPECT_EQ(controls::CreateTextControl(8, 0, 0, 10, 10, L"lost", 0), nullptr);
    EXPECT_EQ(controls::CreateComboControl(8, 0, 0, 10, 10, 0x42), nullptr);
    EXPECT_TRUE(IsWindow(old));
    EXPECT_EQ(controls::GetControlText(8), L"kept");
    controls::SetControlText(8, L"still working");
    EXPECT_EQ(controls::GetControlText(8), L"still working");

    // Window 0 becomes the container again with what it had saved.
    EXPECT_EQ(controls::SetControlContainer(window_), nullptr);
    EXPECT_EQ(controls::SetControlContainer(nullptr), window_);
    HWND again = controls::CreateLabelControl(9, 0, 30, 100, 20, L"in window 0");
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(GetParent(again), window_);
}

TEST_F(CreateControl, CreationOnThreadWithoutWindowFailsAndLeavesOldControl) {
    HWND old = controls::CreateTextControl(10, 0, 0, 100, 20, L"kept", 0);
    ASSERT_NE(old, nullptr);
    struct Job {
        HWND result = reinterpret_cast<HWND>(1);
        std::atomic<bool> done{false};
    } job;
    support::Worker worker([&job] {
        job.result = controls::CreateLabelControl(10, 0, 0, 10, 10, L"lost");
        job.done = true;
    });
    ASSERT_TRUE(worker.Started());
    EXPECT_TRUE(WaitEventsUntil([&] { return job.done.load(); }));
    EXPECT_TRUE(worker.Done(support::Patience));
    EXPECT_EQ(job.result, nullptr);
    EXPECT_TRUE(IsWindow(old));
    EXPECT_EQ(FindControl(10)->window, old);
    EXPECT_EQ(controls::GetControlText(10), L"kept");
}

TEST(AbsentControl, OperationsOnUnusedNumbersDoNothing) {
    EXPECT_EQ(FindControl(44), nullptr);
    EXPECT_EQ(controls::GetControlText(44), L"");
    controls::SetControlText(44, L"x");
    controls::SetControlState(44, 0);
    controls::FocusControl(44);
    EXPECT_EQ(controls::AddControlItem(44, -1, L"x"), 0);
    EXPECT_EQ(controls::GetControlText(44), L"");
    // Out-of-table numbers yield nothing either.
    EXPECT_EQ(FindControl(-5), nullptr);
    EXPECT_EQ(FindControl(1000000), nullptr);
    EXPECT_EQ(controls::GetControlText(1000000), L"");
}

TEST_F(FocusControl, FocusControlGivesEachKindTheFocus) {
    HWND label = controls::CreateLabelControl(12, 0, 0, 100, 20, L"label");
    HWND combo = controls::CreateComboControl(13, 0, 30, 100, 20, 0x42);
    ASSERT_NE(label, nullptr);
    ASSERT_NE(combo, nullptr);
    controls::FocusControl(12);
    EXPECT_EQ(GetFocus(), label);
    controls::FocusControl(13);
    // The combo box passes the focus on to its edit field.
    EXPECT_TRUE(GetFocus() == combo || GetParent(GetFocus()) == combo);
    HWND text = controls::CreateTextControl(11, 0, 60, 100, 20, L"", 0);
    ASSERT_NE(text, nullptr);
    controls::FocusControl(11);
    EXPECT_EQ(GetFocus(), text);
    controls::FocusControl(-1);
    EXPECT_EQ(GetFocus(), nullptr) << "-1 removes the focus";
}

// Records what a control looks like right after ControlWindowProc has run its
// WM_NCDESTROY clean-up: the subclass sits in front of it.
struct DestroyObservation {
    WNDPROC next = nullptr;
    bool seen = false;
    LONG_PTR id = 0;
    bool hasKxId = true;
};
DestroyObservation g_observation;

LRESULT CALLBACK ObservingProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    const LRESULT r = CallWindowProcW(g_observation.next, w, m, wp, lp);
    if (m == WM_NCDESTROY) {
        g_observation.seen = true;
        g_observation.id = GetWindowLongPtrW(w, GWLP_ID);
        g_observation.hasKxId = GetPropW(w, L"KX_ID") != nullptr;
    }
    return r;
}

TEST_F(DestroyControl, IdentifierAndPropertyEqualNumberUntilDestruction) {
    for (int64_t number : {0, 14}) {
        SCOPED_TRACE(number);
        HWND label = controls::CreateLabelControl(number, 0, 0, 100, 20, L"id");
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(GetWindowLongPtrW(label, GWLP_ID), number);
        EXPECT_EQ(reinterpret_cast<intptr_t>(GetPropW(label, L"KX_ID")), number);
        EXPECT_EQ(controls::ControlFromWindow(label), FindControl(number));

        g_observation = {};
        g_observation.next = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(label, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ObservingProc)));
        controls::DestroyControl(number);
        EXPECT_FALSE(IsWindow(label));
        ASSERT_TRUE(g_observation.seen);
        EXPECT_EQ(g_observation.id, -1);
        EXPECT_FALSE(g_observation.hasKxId);
        EXPECT_EQ(FindControl(number), nullptr);
        EXPECT_EQ(controls::GetControlText(number), L"");
    }
}

TEST_F(ControlFromWindow, ControlFromWindowKnowsOnlyRegisteredControls) {
    HWND combo = controls::CreateComboControl(15, 0, 0, 100, 20, 0x42);
    ASSERT_NE(combo, nullptr);
    HWND edit = FindWindowExW(combo, nullptr, L"Edit", nullptr);
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(controls::ControlFromWindow(edit), nullptr);
    EXPECT_EQ(controls::ControlFromWindow(window_), nullptr);
    EXPECT_EQ(controls::ControlFromWindow(combo), FindControl(15));
    // A plain child whose identifier is 0 is not control 0.
    ASSERT_NE(controls::CreateLabelControl(0, 0, 30, 100, 20, L"zero"), nullptr);
    HWND plain = CreateWindowExW(0, L"Static", L"", WS_CHILD, 0, 0, 10, 10, window_, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(GetWindowLongPtrW(plain, GWLP_ID), 0);
    EXPECT_EQ(controls::ControlFromWindow(plain), nullptr);
}

TEST_F(CreateControl, EveryKindGetsTheMessageFont) {
    const HFONT font = controls::DefaultControlFont();
    ASSERT_NE(font, nullptr);
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = 500;
    ASSERT_TRUE(SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, 500, &metrics, 0));
    LOGFONTW chosen{};
    ASSERT_EQ(GetObjectW(font, sizeof(chosen), &chosen), static_cast<int>(sizeof(chosen)));
    EXPECT_STREQ(chosen.lfFaceName, metrics.lfMessageFont.lfFaceName);
    EXPECT_EQ(chosen.lfHeight, metrics.lfMessageFont.lfHeight);
    EXPECT_NE(font, GetStockObject(DEFAULT_GUI_FONT));

    HWND windows[] = {
        controls::CreateLabelControl(16, 0, 0, 100, 20, L"label"),
        controls::CreateTextControl(17, 0, 30, 100, 20, L"text", 0x804),
        controls::CreateComboControl(18, 0, 60, 100, 20, 0x42),
    };
    for (HWND w : windows) {
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageW(w, WM_GETFONT, 0, 0)), font) << ClassNameOf(w).c_str();
    }
}

TEST_F(ControlRegistry, ControlsOfDestroyedWindowReadEmptyAndIgnoreText) {
    HWND text = controls::CreateTextControl(19, 0, 0, 100, 20, L"transcript", 0x804);
    ASSERT_NE(text, nullptr);
    toolkit::CloseNumberedWindow(0);
    EXPECT_FALSE(IsWindow(text));
    EXPECT_EQ(FindControl(19), nullptr);
    EXPECT_EQ(controls::GetControlText(19), L"");
    controls::SetControlText(19, L"late line");
    EXPECT_EQ(controls::GetControlText(19), L"");
    // The thread has no container any more.
    EXPECT_EQ(controls::SetControlContainer(nullptr), nullptr);
}

}  // namespace
}  // namespace controls_test
