#pragma once
// Shared pieces of the control tests: the libraries started once per
// process, a fixture that opens window 0 for each test (and the suites named
// after the operation they test that use it), and bounded pumping through
// the real event wait.

#include <windows.h>

#include <gtest/gtest.h>

#include "../toolkit/toolkit_test_support.h"
#include "support/window_life_recorder.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace controls_test {

using toolkit_test::TakePending;

// Takes what is pending and counts the control events of control `number`
// among it.
int ControlEventsOf(int64_t number);

// Pumps WaitEvent(1) until `done` holds (bounded by the patience); events
// taken on the way are dropped.
bool WaitEventsUntil(const std::function<bool()>& done);

// Window 0 open (800 x 600 client, captioned, active) and the container of
// new controls; closed again after each test.
class ControlWindowTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    HWND window_ = nullptr;
};

// The suites, each named after the operation its tests are about.
using CreateControl = ControlWindowTest;
using DestroyControl = ControlWindowTest;
using ControlRegistry = ControlWindowTest;
using ControlFromWindow = ControlWindowTest;
using GetControlText = ControlWindowTest;
using SetControlText = ControlWindowTest;
using SetControlState = ControlWindowTest;
using AddControlItem = ControlWindowTest;
using FocusControl = ControlWindowTest;
using RaiseControlEvent = ControlWindowTest;  // the events the controls' notifications become

using support::ClassNameOf;
using support::WindowLifeRecorder;
using support::WindowRecordEntry;

LONG_PTR StyleOf(HWND window);
LONG_PTR ExStyleOf(HWND window);

}  // namespace controls_test
