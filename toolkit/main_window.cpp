// Numbered top-level windows: the window library, opening (class, style,
// position, showing), the client-size queries and closing.
#include "toolkit/main_window.h"

#include "toolkit/event_codes.h"
#include "toolkit/event_queue.h"
#include "toolkit/toolkit_state.h"
#include "toolkit/window_hooks.h"
#include "toolkit/window_record.h"

#include <new>

namespace toolkit {

namespace {

constexpr int64_t WindowSlotStep = 16;

// Masks applied to the flags word on the way to the platform, built from the
// bits they keep out.
// Any bit outside these is a style (or ToolWindow): flags without one get a caption.
constexpr uint32_t NoStyleBits = ~(CenterOnScreen | CenterOnParent | OpenHidden);
// A tool window is never minimized or maximized and has neither box.
constexpr uint32_t ToolWindowMask = ~uint32_t{WS_MINIMIZE | WS_MAXIMIZE | WS_MINIMIZEBOX | WS_MAXIMIZEBOX};
// The toolkit's own low bits, not known to AdjustWindowRectEx.
constexpr uint32_t ToolkitLowBits = CenterOnScreen | CenterOnParent | ToolWindow;
// What CreateWindowExW gets: no toolkit bit (OpenHidden and NoControlContainer
// are taken out before).
constexpr uint32_t CreateMask = ~(ToolkitLowBits | OpenInactive);
static_assert(NoStyleBits == 0xEFFFFFFC && ToolWindowMask == 0xDEFCFFFF && CreateMask == 0xFDFFFFF8);

void RegisterWindowClass(const WindowClassName& name, HINSTANCE module) noexcept {
    const ToolkitState& library = Toolkit();
    WNDCLASSW windowClass{};
    windowClass.style = CS_DBLCLKS;
    windowClass.lpfnWndProc = ClassWindowProc;
    windowClass.hInstance = module;
    windowClass.hIcon = library.icon;
    windowClass.hCursor = library.cursor;
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = name.text;
    (void)RegisterClassW(&windowClass);  // a class still registered is simply reused
}

void CenterWindow(HWND window, uint32_t flags) noexcept {
    const HWND parent = GetParent(window);
    const bool onScreen = flags & CenterOnScreen;
    const bool onParent = flags & CenterOnParent;
    // Centring on a parent that is not there centres nothing at all.
    if (onParent && !parent) return;
    RECT outer{};
    GetWindowRect(window, &outer);
    int32_t width = outer.right - outer.left;
    int32_t height = outer.bottom - outer.top;
    int32_t left = 0;
    int32_t top = 0;
    if (onScreen) {
        const int32_t screenWidth = GetSystemMetrics(SM_CXSCREEN);
        const int32_t screenHeight = GetSystemMetrics(SM_CYSCREEN);
        if (width > screenWidth) width = screenWidth;
        if (height > screenHeight) height = screenHeight;
        left = (screenWidth - width) / 2;
        top = (screenHeight - height) / 2;
    } else {
        RECT area{};
        GetWindowRect(parent, &area);
        left = area.left + (area.right - area.left - width) / 2;
        top = area.top + (area.bottom - area.top - height) / 2;
        if (left < 0) left = 0;
        if (top < 0) top = 0;
    }
    SetWindowPos(window, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

int ShowCommandFor(uint32_t style, bool inactive) noexcept {
    if (style & WS_MAXIMIZE) return inactive ? SW_SHOWNA : SW_SHOWMAXIMIZED;
    if (style & WS_MINIMIZE) return inactive ? SW_SHOWMINNOACTIVE : SW_SHOWMINIMIZED;
    return inactive ? SW_SHOWNOACTIVATE : SW_SHOWNORMAL;
}

}  // namespace

ObjectRegistry* WindowRegistry() noexcept { return Toolkit().windowRegistry; }

WindowRecord* FindWindowRecord(int64_t number) noexcept {
    ObjectRegistry* registry = WindowRegistry();
    return registry ? static_cast<WindowRecord*>(registry->Find(number)) : nullptr;
}

int64_t WindowNumberOf(HWND window) noexcept {
    const auto id = reinterpret_cast<intptr_t>(GetPropW(window, WindowIdProperty));
    return id == 0 ? -1 : static_cast<int64_t>(id) - 1;
}

NumberedWindow FindNumberedWindow(HWND window) noexcept {
    for (HWND w = window; w; w = GetParent(w)) {
        if (const int64_t number = WindowNumberOf(w); number >= 0) return NumberedWindow{number, w};
    }
    return NumberedWindow{-1, nullptr};
}

void SetWindowHooks(const WindowHooks& hooks) noexcept { Toolkit().hooks = hooks; }

const WindowHooks& InstalledWindowHooks() noexcept { return Toolkit().hooks; }

WindowClassName ClassNameFor(int64_t number) noexcept {
    WindowClassName name{};
    constexpr wchar_t prefix[] = L"WindowClass_";
    size_t at = 0;
    for (; prefix[at]; ++at) name.text[at] = prefix[at];
    // Decimal digits of the number, written backwards and then reversed.
    uint64_t magnitude = number < 0 ? 0 - static_cast<uint64_t>(number) : static_cast<uint64_t>(number);
    if (number < 0) name.text[at++] = L'-';
    const size_t digitsStart = at;
    do {
        name.text[at++] = static_cast<wchar_t>(L'0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    for (size_t i = digitsStart, j = at - 1; i < j; ++i, --j) {
        const wchar_t c = name.text[i];
        name.text[i] = name.text[j];
        name.text[j] = c;
    }
    name.text[at] = L'\0';
    return name;
}

void InitWindowLibrary() noexcept {
    ToolkitState& library = Toolkit();
    if (!library.windowRegistry) {
        library.windowRegistry = new (std::nothrow) ObjectRegistry(sizeof(WindowRecord), WindowSlotStep, CloseNumberedWindow);
    }
    // Null when the program has no icon resource 1: the class then gets the
    // platform's default icon.
    if (!library.icon) library.icon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1));
    if (!library.cursor) library.cursor = LoadCursorW(nullptr, IDC_ARROW);
}

void EndWindowLibrary() noexcept {
    ToolkitState& library = Toolkit();
    if (library.windowRegistry) library.windowRegistry->ReleaseAll();
    if (library.icon) DestroyIcon(library.icon);
    library.icon = nullptr;
}

HWND OpenMainWindow(int64_t number, int32_t x, int32_t y, int32_t width, int32_t height, const wchar_t* title,
                    uint32_t flags) noexcept {
    ObjectRegistry* registry = WindowRegistry();
    if (!registry) return nullptr;
    // A number in use is released first, which destroys its old window.
    auto* record = static_cast<WindowRecord*>(registry->Create(number));
    if (!record) return nullptr;

    const HINSTANCE module = GetModuleHandleW(nullptr);
    const WindowClassName className = ClassNameFor(number);
    RegisterWindowClass(className, module);

    uint32_t style = flags;
    const bool noContainer = style & NoControlContainer;
    style &= ~NoControlContainer;
    // Flags that name no style at all still get a title bar.
    if ((style & NoStyleBits) == 0) style |= WS_CAPTION;
    const bool hidden = style & OpenHidden;
    style &= ~OpenHidden;
    const bool inactive = style & OpenInactive;
    DWORD extendedStyle = 0;
    if (style & ToolWindow) {
        extendedStyle |= WS_EX_TOOLWINDOW;
        style &= ToolWindowMask;
        style |= WS_CAPTION;
    }

    // The size given is the client size; the window is as much larger as
    // its frame needs.
    RECT outer{0, 0, width, height};
    AdjustWindowRectEx(&outer, style & ~ToolkitLowBits, FALSE, extendedStyle);
    const int32_t outerWidth = outer.right - outer.left;
    const int32_t outerHeight = outer.bottom - outer.top;

    const bool centred = flags & (CenterOnScreen | CenterOnParent);
    if (x == IgnoreValue || (y == IgnoreValue && !centred)) {
        x = CW_USEDEFAULT;
        y = CW_USEDEFAULT;
    }

    const HWND window = CreateWindowExW(extendedStyle, className.text, title ? title : L"", style & CreateMask, x, y,
                                        outerWidth, outerHeight, nullptr, nullptr, module, nullptr);
    if (!window) {
        (void)UnregisterClassW(className.text, module);  // nothing else to undo if it fails
        registry->Release(number);
        return nullptr;
    }

    record->handle = window;
    record->openCompleted = 0;
    SetPropW(window, WindowIdProperty, reinterpret_cast<HANDLE>(static_cast<intptr_t>(number + 1)));

    if (centred) CenterWindow(window, flags);
    if (!hidden) ShowWindow(window, ShowCommandFor(style, inactive));

    record->minMaxState = (style & (WS_MINIMIZE | WS_MAXIMIZE)) ? 1 : 0;
    InstallDefaultShortcuts(*record);

    // The previous container is not needed.
    if (const auto takeControls = InstalledWindowHooks().setControlContainer; takeControls && !noContainer)
        (void)takeControls(window);
    record->openCompleted = 1;
    return window;
}

namespace {

// The client rectangle of a numbered window; empty when the number has none.
RECT ClientRectOf(int64_t number) noexcept {
    RECT client{};
    if (const WindowRecord* record = FindWindowRecord(number)) GetClientRect(record->handle, &client);
    return client;
}

}  // namespace

int64_t WindowInnerWidth(int64_t number) noexcept {
    const RECT client = ClientRectOf(number);
    return static_cast<int64_t>(client.right - client.left);
}

int64_t WindowInnerHeight(int64_t number) noexcept {
    const RECT client = ClientRectOf(number);
    return static_cast<int64_t>(client.bottom - client.top);
}

void CloseNumberedWindow(int64_t number) noexcept {
    const WindowRecord* record = FindWindowRecord(number);
    if (!record) return;
    const HWND window = record->handle;
    if (const HWND owner = GetWindow(window, GW_OWNER)) SetActiveWindow(owner);
    DestroyWindow(window);
    DropWindowEvents(number);
}

HWND FocusInside(HWND window) noexcept {
    if (!window) return nullptr;
    // While another program is active the thread has no focus at all; the
    // window procedure noted it on deactivation.
    if (GetActiveWindow() != window) return static_cast<HWND>(GetPropW(window, FocusProperty));
    return GetFocus();
}

}  // namespace toolkit
