// The console as a screen reader meets it: through the platform's
// accessibility proxy (oleacc), from another process, as NVDA, JAWS and
// Narrator read standard controls. The proxy names an edit control or a
// combo box after the label just before it among its siblings, so the
// controls' creation order is what gives them their names.

#include "tests/e2e/scripted_console.h"

#include <oleacc.h>

#include <string>
#include <vector>

namespace e2e {
namespace {

// What the proxy says about one accessible object.
struct Readout {
    std::wstring name;
    LONG role = 0;
    LONG state = 0;
    std::wstring value;
};

std::wstring TakeString(BSTR s) {
    std::wstring text = s ? std::wstring(s, SysStringLen(s)) : std::wstring();
    SysFreeString(s);
    return text;
}

LONG TakeNumber(VARIANT v) {
    const LONG n = v.vt == VT_I4 ? v.lVal : -1;
    VariantClear(&v);
    return n;
}

Readout Read(IAccessible* object, LONG child) {
    VARIANT id{};
    id.vt = VT_I4;
    id.lVal = child;
    Readout r;
    BSTR s = nullptr;
    if (SUCCEEDED(object->get_accName(id, &s))) r.name = TakeString(s);
    VARIANT v{};
    if (SUCCEEDED(object->get_accRole(id, &v))) r.role = TakeNumber(v);
    if (SUCCEEDED(object->get_accState(id, &v))) r.state = TakeNumber(v);
    s = nullptr;
    if (SUCCEEDED(object->get_accValue(id, &s))) r.value = TakeString(s);
    return r;
}

// The focus events of one process, as an out-of-context hook receives them:
// posted to this thread, so they arrive while it dispatches messages.
struct FocusEvent {
    HWND window;
    LONG object;
    LONG child;
};
std::vector<FocusEvent> focusEvents;

void CALLBACK OnFocus(HWINEVENTHOOK, DWORD, HWND window, LONG object, LONG child, DWORD, DWORD) {
    focusEvents.push_back({window, object, child});
}

class FocusHook {
public:
    explicit FocusHook(DWORD processId)
        : hook_(SetWinEventHook(EVENT_OBJECT_FOCUS, EVENT_OBJECT_FOCUS, nullptr, OnFocus, processId, 0,
                                WINEVENT_OUTOFCONTEXT)) {
        focusEvents.clear();
    }
    ~FocusHook() {
        if (hook_) UnhookWinEvent(hook_);
    }
    FocusHook(const FocusHook&) = delete;
    FocusHook& operator=(const FocusHook&) = delete;
    bool Installed() const { return hook_ != nullptr; }

private:
    HWINEVENTHOOK hook_;
};

class ScreenReader : public ScriptedConsoleTest {
protected:
    void SetUp() override { ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))); }
    void TearDown() override { CoUninitialize(); }

    // The window just before `control` among its siblings, which the proxy
    // takes the control's name from, as "class: text".
    static std::wstring LabelBefore(HWND control) {
        const HWND before = GetWindow(control, GW_HWNDPREV);
        if (!before) return L"(none)";
        wchar_t kind[64] = {}, text[64] = {};
        GetClassNameW(before, kind, 64);
        GetWindowTextW(before, text, 64);
        return std::wstring(kind) + L": " + text;
    }

    // Waits for a focus event on `window` after the first `seen` events;
    // gives its index, or -1.
    static int WaitForFocusEvent(HWND window, size_t seen) {
        int found = -1;
        support::PumpUntil(
            [&] {
                for (size_t i = seen; i < focusEvents.size() && found < 0; ++i)
                    if (focusEvents[i].window == window) found = static_cast<int>(i);
                return found >= 0;
            },
            ShortWaitMs);
        return found;
    }
};

TEST_F(ScreenReader, TheTranscriptReadsAsTheReadOnlyTextOutHoldingAllThatIsShown) {
    // Both streams, and a line in several scripts.
    ASSERT_TRUE(Start("lines 1\nout first line\\n\nerr an error\\n\nout caf\xc3\xa9 \xe2\x82\xac \xd0\x96\\n\n"
                      "out last\\n\n"));
    ASSERT_TRUE(console_.WaitForTranscriptToContain(L"last", ShortWaitMs));
    ASSERT_TRUE(console_.Settle());
    const std::wstring shown = console_.TranscriptText();
    ASSERT_NE(shown.find(L"caf\u00e9 \u20ac \u0416\n"), std::wstring::npos) << Utf8(shown);
    // Each control follows the label it is named after. The platform's proxy
    // here has no combo-box support; Windows names the box, its field and its
    // list after the label before the box.
    EXPECT_EQ(LabelBefore(console_.Transcript()), L"Static: out");
    EXPECT_EQ(LabelBefore(console_.CommandBox()), L"Static: command");

    IAccessible* transcript = nullptr;
    ASSERT_EQ(AccessibleObjectFromWindow(console_.Transcript(), static_cast<DWORD>(OBJID_CLIENT), IID_IAccessible,
                                         reinterpret_cast<void**>(&transcript)),
              S_OK);
    const Readout r = Read(transcript, CHILDID_SELF);
    transcript->Release();
    EXPECT_EQ(r.name, L"out");
    EXPECT_EQ(r.role, ROLE_SYSTEM_TEXT);
    EXPECT_TRUE(r.state & STATE_SYSTEM_READONLY) << std::hex << r.state;
    EXPECT_EQ(r.value, shown);
    CloseAndExpectExitCodeZero();
}

TEST_F(ScreenReader, TabAnnouncesEachControlItMovesTo) {
    ASSERT_TRUE(Start(""));
    const FocusHook hook(console_.ProcessId());
    ASSERT_TRUE(hook.Installed());

    ASSERT_TRUE(console_.PressKey(VK_TAB));
    const int there = WaitForFocusEvent(console_.Transcript(), 0);
    ASSERT_GE(there, 0) << focusEvents.size() << " focus events";
    const FocusEvent e = focusEvents[there];
    EXPECT_EQ(e.object, OBJID_CLIENT);
    EXPECT_EQ(e.child, CHILDID_SELF);
    // What a reader speaks for it.
    IAccessible* object = nullptr;
    VARIANT child{};
    ASSERT_EQ(AccessibleObjectFromEvent(e.window, static_cast<DWORD>(e.object), static_cast<DWORD>(e.child), &object,
                                        &child),
              S_OK);
    EXPECT_EQ(Read(object, child.lVal).name, L"out");
    object->Release();
    VariantClear(&child);

    ASSERT_TRUE(console_.PressKey(VK_TAB));
    const int back = WaitForFocusEvent(console_.CommandField(), there + 1);
    EXPECT_GE(back, 0) << focusEvents.size() << " focus events";
    EXPECT_EQ(console_.FocusedWindow(), console_.CommandField());
    CloseAndExpectExitCodeZero();
}

}  // namespace
}  // namespace e2e
