// Start and end of the event library, and its hidden window, through which
// another thread can have an event raised on the thread that owns it.
#include "toolkit/event_codes.h"
#include "toolkit/event_post.h"
#include "toolkit/event_queue.h"
#include "toolkit/event_state.h"
#include "toolkit/toolkit_heap.h"
#include "toolkit/toolkit_state.h"

namespace toolkit {

namespace {

constexpr wchar_t PostEventClass[] = L"PostEventClass";

struct PostedEvent {
    int32_t code;
    int64_t object;
    int64_t window;
    int64_t data;
};

LRESULT CALLBACK PostEventProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    const UINT postMessage = Toolkit().postMessage;
    if (postMessage != 0 && message == postMessage && lParam != 0) {
        auto* posted = reinterpret_cast<PostedEvent*>(lParam);
        RaiseEvent(posted->code, posted->object, posted->window, posted->data, DeliverAlways);
        HeapFree(ToolkitHeap(), 0, posted);
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

void InitEventLibrary() noexcept {
    ToolkitState& state = Toolkit();  // the heap and the event lock come with the block
    if (state.postWindow) return;
    const HINSTANCE module = GetModuleHandleW(nullptr);
    WNDCLASSW windowClass{};
    windowClass.style = CS_DBLCLKS;
    windowClass.lpfnWndProc = PostEventProc;
    windowClass.hInstance = module;
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = PostEventClass;
    (void)RegisterClassW(&windowClass);  // a class left registered is reused
    // Message-only, so that no broadcast reaches it: any program can post
    // the registered message to every top-level window, and the procedure
    // takes the lParam of each one it gets for a block of its own to free.
    state.postWindow =
        CreateWindowExW(0, PostEventClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, module, nullptr);
    state.postMessage = RegisterWindowMessageW(L"KX_PostEventMessage");
}

void EndEventLibrary() noexcept {
    ToolkitState& state = Toolkit();
    if (state.postWindow) DestroyWindow(state.postWindow);
    state.postWindow = nullptr;
    (void)UnregisterClassW(PostEventClass, GetModuleHandleW(nullptr));  // nothing to do if it fails
}

bool PostEvent(int32_t code, int64_t object, int64_t window, int64_t data) noexcept {
    const ToolkitState& state = Toolkit();
    if (!state.postWindow || state.postMessage == 0) return false;
    auto* posted = static_cast<PostedEvent*>(HeapAlloc(ToolkitHeap(), HEAP_ZERO_MEMORY, sizeof(PostedEvent)));
    if (!posted) return false;
    *posted = PostedEvent{code, object, window, data};
    if (!PostMessageW(state.postWindow, state.postMessage, 0, reinterpret_cast<LPARAM>(posted))) {
        HeapFree(ToolkitHeap(), 0, posted);
        return false;
    }
    return true;
}

}  // namespace toolkit
