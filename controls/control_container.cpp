// The per-thread control list state and the container window into which new
// controls go.
#include "controls/control_creation.h"
#include "controls/controls_state.h"

#include <cstdlib>

namespace controls {
namespace {

constexpr int32_t InitialStackCapacity = 10;

// Attached to every window that has been made the container, so that making
// it the container again restores what it had.
struct ContainerRecord {
    HWND window;
    HWND savedContainer;
    HWND* savedStack;  // null while the window is the current container
    int32_t savedDepth;
    int32_t savedCapacity;
    WNDPROC previousProc;  // the procedure ContainerProc replaced
};

// Owns the thread's state; frees the stack array when the thread ends.
struct ThreadControlList {
    ControlListState state{};
    bool initialised = false;
    ~ThreadControlList() { std::free(state.containerStack); }
};

thread_local ThreadControlList t_controlList;

HWND* NewContainerStack() noexcept {
    return static_cast<HWND*>(std::calloc(InitialStackCapacity, sizeof(HWND)));
}

const wchar_t* ContainerPropertyName() noexcept { return Controls().containerProperty; }

HWND CurrentContainer(const ControlListState& state) noexcept {
    return state.depth == 0 ? state.container : (state.containerStack ? state.containerStack[0] : nullptr);
}

LRESULT CALLBACK ContainerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    const wchar_t* name = ContainerPropertyName();
    auto* record = static_cast<ContainerRecord*>(GetPropW(window, name));
    if (!record || !record->previousProc) return DefWindowProcW(window, message, wParam, lParam);
    const WNDPROC previous = record->previousProc;
    if (message == WM_NCDESTROY) {
        ControlListState& state = ControlList();
        if (CurrentContainer(state) == window) {
            state.container = nullptr;
            state.depth = 0;
        }
        std::free(record->savedStack);
        std::free(record);
        (void)RemovePropW(window, name);  // the record is already freed
    }
    return CallWindowProcW(previous, window, message, wParam, lParam);
}

}  // namespace

void NameContainerProperty() noexcept {
    // "KX_ControlStack_" followed by the module's instance handle as a signed
    // decimal, so that two modules in one process keep separate records.
    // Formatted once: the container procedure needs it for every message.
    wchar_t* text = Controls().containerProperty;
    const wchar_t prefix[] = L"KX_ControlStack_";
    size_t n = 0;
    for (; prefix[n]; ++n) text[n] = prefix[n];
    const auto instance = static_cast<int64_t>(reinterpret_cast<intptr_t>(GetModuleHandleW(nullptr)));
    uint64_t magnitude = instance < 0 ? 0 - static_cast<uint64_t>(instance) : static_cast<uint64_t>(instance);
    if (instance < 0) text[n++] = L'-';
    wchar_t digits[24];
    size_t d = 0;
    do {
        digits[d++] = static_cast<wchar_t>(L'0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude);
    while (d) text[n++] = digits[--d];
    text[n] = L'\0';
}

ControlListState& ControlList() noexcept {
    ThreadControlList& list = t_controlList;
    if (!list.initialised) {
        list.initialised = true;
        list.state.font = DefaultControlFont();
        list.state.containerStack = NewContainerStack();
        list.state.depth = 0;
        list.state.capacity = list.state.containerStack ? InitialStackCapacity : 0;
    }
    return list.state;
}

HWND SetControlContainer(HWND window) noexcept {
    ControlListState& state = ControlList();
    HWND previous = CurrentContainer(state);
    if (!window) return previous;

    const wchar_t* name = ContainerPropertyName();

    if (previous) {
        auto* saved = static_cast<ContainerRecord*>(GetPropW(previous, name));
        // A container always carries its record; without one the stack stays
        // with the thread rather than being lost.
        if (saved) {
            saved->savedContainer = state.container;
            saved->savedStack = state.containerStack;
            saved->savedDepth = state.depth;
            saved->savedCapacity = state.capacity;
            state.containerStack = nullptr;
            state.capacity = 0;
        }
    }

    auto* existing = static_cast<ContainerRecord*>(GetPropW(window, name));
    if (existing) {
        std::free(state.containerStack);
        state.container = existing->savedContainer;
        state.containerStack = existing->savedStack;
        state.depth = existing->savedDepth;
        state.capacity = existing->savedCapacity;
        existing->savedStack = nullptr;
        if (!state.containerStack) {
            state.containerStack = NewContainerStack();
            state.capacity = state.containerStack ? InitialStackCapacity : 0;
            state.depth = 0;
        }
        return previous;
    }

    if (!state.containerStack) {
        state.containerStack = NewContainerStack();
        state.capacity = state.containerStack ? InitialStackCapacity : 0;
    }
    state.depth = 0;
    state.container = window;
    auto* record = static_cast<ContainerRecord*>(std::calloc(1, sizeof(ContainerRecord)));
    if (!record) return previous;
    record->window = window;
    if (!SetPropW(window, name, record)) {
        std::free(record);
        return previous;
    }
    record->previousProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ContainerProc)));
    if (!record->previousProc) {
        // Not subclassable (another thread's or process's window): nothing
        // would ever free the record.
        (void)RemovePropW(window, name);  // the record is freed right here
        std::free(record);
    }
    return previous;
}

}  // namespace controls
