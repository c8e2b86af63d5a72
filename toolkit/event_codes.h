#pragma once
// The toolkit's fixed numbers: event codes, raise flags, reserved shortcut
// items, window flags, and the reply by which a handler leaves a message to
// the platform.

#include <windows.h>

#include <cstdint>

namespace toolkit {

inline constexpr int32_t ControlEvent = 13100;
inline constexpr int32_t MenuEvent = 13101;
inline constexpr int32_t ActivateEvent = 13104;
inline constexpr int32_t MinimizeEvent = 13107;
inline constexpr int32_t MaximizeEvent = 13108;
inline constexpr int32_t RestoreEvent = 13109;
inline constexpr int32_t RightClickEvent = 13111;
inline constexpr int32_t LeftClickEvent = 13112;
inline constexpr int32_t LeftDoubleClickEvent = 13113;
inline constexpr int32_t DeactivateEvent = 13114;
inline constexpr int32_t RepaintEvent = 13115;
inline constexpr int32_t CloseEvent = 13116;
inline constexpr int32_t MoveEvent = 13117;
inline constexpr int32_t SizeEvent = 13118;

// RaiseEvent flags.
inline constexpr uint32_t DeliverAlways = 0x1;

// Shortcut items that move the keyboard focus instead of raising MenuEvent.
inline constexpr uint32_t NextFocusItem = 64001;
inline constexpr uint32_t PreviousFocusItem = 64002;

// A coordinate or size left to the default.
inline constexpr int32_t IgnoreValue = -65535;

// Reply of a handler that leaves the message to default processing.
inline constexpr LRESULT NotHandled = -791621423;  // 0xFFFFFFFFD0D0D0D1

// OpenMainWindow flags that are the toolkit's own (the rest are window styles).
inline constexpr uint32_t CenterOnScreen = 0x00000001;
inline constexpr uint32_t CenterOnParent = 0x00000002;
inline constexpr uint32_t ToolWindow = 0x00000004;
inline constexpr uint32_t NoControlContainer = 0x00000008;
inline constexpr uint32_t OpenMaximized = 0x01000000;
inline constexpr uint32_t OpenInactive = 0x02000000;
inline constexpr uint32_t OpenHidden = 0x10000000;
inline constexpr uint32_t OpenMinimized = 0x20000000;

}  // namespace toolkit
