// Finds out which common-controls library the process got and whether it
// draws with visual styles. Both libraries are looked up at run time so the
// program also starts where a function is missing.
#include "controls/visual_styles_probe.h"

#include <windows.h>

namespace controls {
namespace {

int64_t g_commonControlsVersion = 0;
int32_t g_visualStylesActive = 0;
HMODULE g_uxtheme = nullptr;  // kept loaded once the probe has loaded it

// The version record DllGetVersion fills: size, major, minor, build, platform.
struct VersionRecord {
    DWORD size;
    DWORD major;
    DWORD minor;
    DWORD build;
    DWORD platform;
};
static_assert(sizeof(VersionRecord) == 20);

using DllGetVersionFunction = HRESULT(CALLBACK*)(VersionRecord*);
using IsAppThemedFunction = BOOL(WINAPI*)();

int64_t ReadCommonControlsVersion() noexcept {
    HMODULE library = LoadLibraryW(L"COMCTL32.DLL");
    if (!library) return 0;
    int64_t version = 1;  // a library without the version function
    if (auto getVersion = reinterpret_cast<DllGetVersionFunction>(
            reinterpret_cast<void*>(GetProcAddress(library, "DllGetVersion")))) {
        VersionRecord record{};
        record.size = sizeof(record);
        version = 0;
        if (SUCCEEDED(getVersion(&record)))
            version = (static_cast<int64_t>(record.major) << 16) | static_cast<int64_t>(record.minor);
    }
    (void)FreeLibrary(library);  // the process keeps its own reference to the library
    return version;
}

}  // namespace

int64_t ProbeVisualStyles() noexcept {
    if (g_commonControlsVersion != 0) return g_commonControlsVersion;
    g_commonControlsVersion = ReadCommonControlsVersion();
    if (!g_uxtheme) g_uxtheme = LoadLibraryW(L"uxtheme.dll");
    if (g_uxtheme) {
        if (auto isAppThemed = reinterpret_cast<IsAppThemedFunction>(
                reinterpret_cast<void*>(GetProcAddress(g_uxtheme, "IsAppThemed")))) {
            g_visualStylesActive = (isAppThemed() && g_commonControlsVersion >= 0x60000) ? 1 : 0;
        }
    }
    return g_commonControlsVersion;
}

int64_t CommonControlsVersion() noexcept { return g_commonControlsVersion; }
int32_t VisualStylesActive() noexcept { return g_visualStylesActive; }

void SetVisualStylesForTesting(int64_t commonControlsVersion, int32_t visualStylesActive) noexcept {
    g_commonControlsVersion = commonControlsVersion;
    g_visualStylesActive = visualStylesActive;
}

}  // namespace controls
