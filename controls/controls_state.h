#pragma once
// The controls' process-wide state, in one block. InitControls fills the
// registry, the default font and the container property name at start-up;
// the rest is set where the controls first need it: the visual-styles probe
// at the first combo creation, EditClassProc at every text control creation,
// ComboFrameExtra at every combo creation. Per-thread state is ControlList()
// (control_creation.h).

#include <windows.h>

#include <cstdint>

namespace toolkit {
class ObjectRegistry;
}

namespace controls {

struct ControlsState {
    // ControlRegistry: kept for the life of the process, since the window's
    // clean-up at shutdown still looks its controls up.
    toolkit::ObjectRegistry* registry = nullptr;
    HFONT defaultFont = nullptr;        // DefaultControlFont, kept for the life of the process
    wchar_t containerProperty[48] = {};  // "KX_ControlStack_<module instance>"

    WNDPROC editClassProc = nullptr;    // EditClassProc: the "Edit" class procedure (always the same value)

    int64_t commonControlsVersion = 0;  // (major << 16) | minor; 0 until probed, 1: no version function
    int32_t visualStylesActive = 0;     // 1: version 6.0 or later and the application is themed
    HMODULE uxtheme = nullptr;          // kept loaded once the probe has loaded it

    // ComboFrameExtra: outer height minus selection-field height of the
    // latest combo box; -1 while a measurement is under way, 0 before the first.
    int64_t comboFrameExtra = 0;
};

// The block, built on first use and never destroyed.
[[nodiscard]] ControlsState& Controls() noexcept;

}  // namespace controls
