#pragma once
// Names for the three kind-specific fields of a ControlRecord.

#include "controls/control_framework.h"

#include <cstdint>

namespace controls {

// Label and text controls. Colours are COLORREF values widened to 64 bits,
// -1 meaning the system default.
inline intptr_t& BackColor(ControlRecord& r) noexcept { return r.field1; }
inline intptr_t& FrontColor(ControlRecord& r) noexcept { return r.field2; }
inline intptr_t& BackBrush(ControlRecord& r) noexcept { return r.field3; }

// Combo boxes.
inline intptr_t& Extended(ControlRecord& r) noexcept { return r.field1; }  // 1: "ComboBoxEx32"
inline intptr_t& ImageList(ControlRecord& r) noexcept { return r.field2; }
inline intptr_t& InSelectionChange(ControlRecord& r) noexcept { return r.field3; }

}  // namespace controls
