// The per-thread control list state and the container window into which new
// controls go.
#include "controls/control_creation.h"
#include "controls/controls_state.h"
#include "toolkit/main_window.h"

#include <cstdio>
#include <cstdlib>
#include <iterator>

namespace controls {
namespace {

constexpr int32_t InitialStackCapacity = 10;

// Attached to every window that has been made the container, so that making
// it the container again restores what it had. Freed by ReleaseContainer
// when the window is destroyed.
struct ContainerRecord {
    HWND window;
    HWND savedContainer;
    HWND* savedStack;  // null while the window is the current container
    int32_t savedDepth;
    int32_t savedCapacity;
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

// The stack stays empty in this system (no control contains others), so the
// current container is always `container`; the stack's first entry would be
// the one container controls had pushed.
HWND CurrentContainer(const ControlListState& state) noexcept {
    return state.depth == 0 ? state.container : (state.containerStack ? state.containerStack[0] : nullptr);
}

}  // namespace

void NameContainerProperty() noexcept {
    // The module's instance handle in the name keeps two modules in one
    // process from reading each other's records.
    const auto instance = static_cast<long long>(reinterpret_cast<intptr_t>(GetModuleHandleW(nullptr)));
    wchar_t* text = Controls().containerProperty;
    (void)std::swprintf(text, std::size(Controls().containerProperty), L"KX_ControlStack_%lld", instance);  // fits
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
    // Only a numbered window tells this library, through the toolkit's
    // destruction hook, that it is gone; any other window would leave a
    // stale container and its record behind.
    if (toolkit::WindowNumberOf(window) < 0) return previous;

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
    if (!SetPropW(window, name, record)) std::free(record);
    return previous;
}

void ReleaseContainer(HWND window) noexcept {
    const wchar_t* name = ContainerPropertyName();
    auto* record = static_cast<ContainerRecord*>(RemovePropW(window, name));
    if (!record) return;
    ControlListState& state = ControlList();
    if (CurrentContainer(state) == window) {
        state.container = nullptr;
        state.depth = 0;
    }
    std::free(record->savedStack);
    std::free(record);
}

}  // namespace controls
