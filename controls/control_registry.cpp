// The process-wide table of ControlRecords and the lookups into it.
#include "controls/control_creation.h"
#include "controls/control_framework.h"
#include "toolkit/object_registry.h"

#include <new>

namespace controls {
namespace {

// Created by InitControls and kept for the life of the process: the pumps may
// read controls while the window goes away at shutdown.
toolkit::ObjectRegistry* g_controlRegistry = nullptr;

}  // namespace

toolkit::ObjectRegistry* ControlRegistry() noexcept { return g_controlRegistry; }

void CreateControlRegistry() noexcept {
    if (g_controlRegistry) return;
    // Initial slot count and growth step 50; reusing a number destroys the
    // control that held it.
    g_controlRegistry = new (std::nothrow) toolkit::ObjectRegistry(sizeof(ControlRecord), 50, DestroyControl);
}

ControlRecord* AllocateControlRecord(int64_t number) noexcept {
    if (!g_controlRegistry) return nullptr;
    return static_cast<ControlRecord*>(g_controlRegistry->Create(number));
}

ControlRecord* FindControl(int64_t number) noexcept {
    if (!g_controlRegistry) return nullptr;
    // The registry's Find takes its lock and treats a record whose window is
    // null as absent.
    return static_cast<ControlRecord*>(g_controlRegistry->Find(number));
}

ControlRecord* ControlFromWindow(HWND window) noexcept {
    if (!window) return nullptr;
    const auto property = reinterpret_cast<intptr_t>(GetPropW(window, L"KX_ID"));
    const LONG_PTR id = GetWindowLongPtrW(window, GWLP_ID);
    if (property != id) return nullptr;
    ControlRecord* record = FindControl(id);
    // A foreign window whose identifier happens to equal a control number
    // (0 with no "KX_ID") must not be taken for that control.
    if (!record || record->window != window) return nullptr;
    return record;
}

int64_t ControlSlotCount() noexcept { return g_controlRegistry ? g_controlRegistry->SlotCount() : 0; }

void DestroyControl(int64_t number) noexcept {
    ControlRecord* record = FindControl(number);
    if (!record) return;
    // The clean-up (record zero-filled, number free) runs in the window's
    // WM_NCDESTROY inside ControlWindowProc.
    (void)DestroyWindow(record->window);  // fails only for a window already gone
}

}  // namespace controls
