// Finds out which common-controls library the process got and whether it
// draws with visual styles. Both libraries are looked up at run time so the
// program also starts where a function is missing.
#include "controls/visual_styles_probe.h"

#include "controls/controls_state.h"
#include "toolkit/scoped.h"

#include <windows.h>

namespace controls {
namespace {

// The version record DllGetVersion fills: size, major, minor, build, platform.
struct VersionRecord {
    DWORD size;
    DWORD major;
    DWORD minor;
    DWORD build;
    DWORD platform;
};
static_assert(sizeof(VersionRecord) == 20);

// Visual styles need version 6.0 of the library.
constexpr int64_t FirstThemedVersion = int64_t{6} << 16;

using DllGetVersionFunction = HRESULT(CALLBACK*)(VersionRecord*);
using IsAppThemedFunction = BOOL(WINAPI*)();

int64_t ReadCommonControlsVersion() noexcept {
    const toolkit::UniqueModule library(LoadLibraryW(L"COMCTL32.DLL"));
    if (!library) return 0;
    int64_t version = 1;  // a library without the version function
    if (auto getVersion = reinterpret_cast<DllGetVersionFunction>(
            reinterpret_cast<void*>(GetProcAddress(library.get(), "DllGetVersion")))) {
        VersionRecord record{};
        record.size = sizeof(record);
        version = 0;
        if (SUCCEEDED(getVersion(&record)))
            version = (static_cast<int64_t>(record.major) << 16) | static_cast<int64_t>(record.minor);
    }
    return version;
}

}  // namespace

int64_t ProbeVisualStyles() noexcept {
    ControlsState& state = Controls();
    if (state.commonControlsVersion != 0) return state.commonControlsVersion;
    state.commonControlsVersion = ReadCommonControlsVersion();
    if (!state.uxtheme) state.uxtheme = LoadLibraryW(L"uxtheme.dll");
    if (state.uxtheme) {
        if (auto isAppThemed = reinterpret_cast<IsAppThemedFunction>(
                reinterpret_cast<void*>(GetProcAddress(state.uxtheme, "IsAppThemed")))) {
            state.visualStylesActive = (isAppThemed() && state.commonControlsVersion >= FirstThemedVersion) ? 1 : 0;
        }
    }
    return state.commonControlsVersion;
}

int64_t CommonControlsVersion() noexcept { return Controls().commonControlsVersion; }
int32_t VisualStylesActive() noexcept { return Controls().visualStylesActive; }

void SetVisualStylesForTesting(int64_t commonControlsVersion, int32_t visualStylesActive) noexcept {
    Controls().commonControlsVersion = commonControlsVersion;
    Controls().visualStylesActive = visualStylesActive;
}

}  // namespace controls
