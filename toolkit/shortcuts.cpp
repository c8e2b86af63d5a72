// Per-window shortcut entries and the accelerator table built from them.
#include "toolkit/shortcuts.h"

#include "toolkit/event_codes.h"
#include "toolkit/toolkit_heap.h"
#include "toolkit/window_record.h"

namespace toolkit {

namespace {

constexpr BYTE BaseFlags = FVIRTKEY | FNOINVERT;

constexpr uint32_t ShiftBit = 0x10000;
constexpr uint32_t ControlBit = 0x20000;
constexpr uint32_t AltBit = 0x40000;
constexpr uint32_t VirtualKeyBits = 0xFFFF;  // bits 0-15 of the key argument
constexpr uint32_t ItemBits = 0xFFFF;        // an accelerator's command is 16 bits

BYTE FlagsFor(uint32_t key) noexcept {
    BYTE flags = BaseFlags;
    if (key & ShiftBit) flags |= FSHIFT;
    if (key & ControlBit) flags |= FCONTROL;
    if (key & AltBit) flags |= FALT;
    return flags;
}

// Replaces the window's accelerator table by one built from its entries.
// The old table goes only once the new one exists: a table that cannot be
// built leaves the window with the shortcuts it had.
HACCEL RebuildTable(WindowRecord& record) noexcept {
    HACCEL rebuilt = nullptr;
    if (record.shortcuts) {
        rebuilt = CreateAcceleratorTableW(record.shortcuts, record.shortcutCount);
        if (!rebuilt) return record.acceleratorTable;
    }
    if (record.acceleratorTable) DestroyAcceleratorTable(record.acceleratorTable);
    record.acceleratorTable = rebuilt;
    return rebuilt;
}

}  // namespace

void InstallDefaultShortcuts(WindowRecord& record) noexcept {
    auto* entries = static_cast<ACCEL*>(HeapAlloc(ToolkitHeap(), HEAP_ZERO_MEMORY, 2 * sizeof(ACCEL)));
    record.shortcuts = entries;
    record.shortcutCount = entries ? 2 : 0;
    if (entries) {
        entries[0] = ACCEL{BaseFlags, VK_TAB, static_cast<WORD>(NextFocusItem)};
        entries[1] = ACCEL{BaseFlags | FSHIFT, VK_TAB, static_cast<WORD>(PreviousFocusItem)};
    }
    RebuildTable(record);
}

void FreeShortcuts(WindowRecord& record) noexcept {
    if (record.shortcuts) HeapFree(ToolkitHeap(), 0, record.shortcuts);
    record.shortcuts = nullptr;
    record.shortcutCount = 0;
    if (record.acceleratorTable) DestroyAcceleratorTable(record.acceleratorTable);
    record.acceleratorTable = nullptr;
}

HACCEL AddShortcut(int64_t window, uint32_t key, uint32_t item) noexcept {
    WindowRecord* record = FindWindowRecord(window);
    if (!record) return nullptr;
    const BYTE flags = FlagsFor(key);
    const auto virtualKey = static_cast<WORD>(key & VirtualKeyBits);
    const auto command = static_cast<WORD>(item & ItemBits);

    // The same key with the same modifiers keeps its entry and changes item.
    for (int32_t i = 0; i < record->shortcutCount; ++i) {
        ACCEL& entry = record->shortcuts[i];
        if (entry.key == virtualKey && entry.fVirt == flags) {
            entry.cmd = command;
            return RebuildTable(*record);
        }
    }

    const int32_t count = record->shortcutCount + 1;
    const size_t bytes = static_cast<size_t>(count) * sizeof(ACCEL);
    void* grown = record->shortcuts ? HeapReAlloc(ToolkitHeap(), HEAP_ZERO_MEMORY, record->shortcuts, bytes)
                                    : HeapAlloc(ToolkitHeap(), HEAP_ZERO_MEMORY, bytes);
    if (!grown) return record->acceleratorTable;  // the table stays as it was
    record->shortcuts = static_cast<ACCEL*>(grown);
    record->shortcutCount = count;
    record->shortcuts[count - 1] = ACCEL{flags, virtualKey, command};
    return RebuildTable(*record);
}

}  // namespace toolkit
