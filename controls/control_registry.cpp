// The process-wide table of ControlRecords and the lookups into it.
#include "controls/control_creation.h"
#include "controls/control_framework.h"
#include "controls/controls_state.h"
#include "toolkit/object_registry.h"

#include <new>

namespace controls {
namespace {

// Initial slot count and growth step.
constexpr int64_t ControlSlotStep = 50;

}  // namespace

toolkit::ObjectRegistry* ControlRegistry() noexcept { return Controls().registry; }

void CreateControlRegistry() noexcept {
    ControlsState& state = Controls();
    if (state.registry) return;
    // Reusing a number destroys the control that held it. Never deleted: the
    // window and its controls are destroyed after the controls' end step,
    // and their clean-up still needs the table.
    state.registry = new (std::nothrow) toolkit::ObjectRegistry(sizeof(ControlRecord), ControlSlotStep, DestroyControl);
}

ControlRecord* AllocateControlRecord(int64_t number) noexcept {
    toolkit::ObjectRegistry* registry = ControlRegistry();
    return registry ? static_cast<ControlRecord*>(registry->Create(number)) : nullptr;
}

ControlRecord* FindControl(int64_t number) noexcept {
    toolkit::ObjectRegistry* registry = ControlRegistry();
    // The registry's Find takes its lock and treats a record whose window is
    // null as absent.
    return registry ? static_cast<ControlRecord*>(registry->Find(number)) : nullptr;
}

ControlRecord* ControlFromWindow(HWND window) noexcept {
    if (!window) return nullptr;
    const auto property = reinterpret_cast<intptr_t>(GetPropW(window, ControlIdProperty));
    const LONG_PTR id = GetWindowLongPtrW(window, GWLP_ID);
    if (property != id) return nullptr;
    ControlRecord* record = FindControl(id);
    // A foreign window whose identifier happens to equal a control number
    // (0 with no "KX_ID") must not be taken for that control.
    if (!record || record->window != window) return nullptr;
    return record;
}

int64_t ControlSlotCount() noexcept {
    toolkit::ObjectRegistry* registry = ControlRegistry();
    return registry ? registry->SlotCount() : 0;
}

void DestroyControl(int64_t number) noexcept {
    ControlRecord* record = FindControl(number);
    if (!record) return;
    // The clean-up (record zero-filled, number free) runs in the window's
    // WM_NCDESTROY inside ControlWindowProc.
    (void)DestroyWindow(record->window);  // fails only for a window already gone
}

}  // namespace controls
