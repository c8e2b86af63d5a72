#pragma once
// Replies to the WM_CTLCOLOR* messages a parent forwards to label and text
// controls.

#include "controls/control_framework.h"

#include <windows.h>

namespace controls {

// Sets up the device context in wParam from the record's colours and returns
// the brush to paint with, or NotHandled when both colours are the default.
// `defaultColorIndex` is the system colour the kind uses for a default
// background.
[[nodiscard]] LRESULT ColourReply(ControlRecord* record, WPARAM wParam, int defaultColorIndex) noexcept;

// destroyHook of label and text controls: releases backBrush.
void ReleaseBackBrush(ControlRecord* record) noexcept;

}  // namespace controls
