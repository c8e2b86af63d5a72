#pragma once
// Which common-controls library the process got and whether it draws with
// visual styles; the combo box sizes itself by it.

#include <cstdint>

namespace controls {

// Probes once (later calls return at once) and yields CommonControlsVersion.
int64_t ProbeVisualStyles() noexcept;

// (major << 16) | minor of the common-controls library; 0 until probed, 1 when
// the library has no version function.
[[nodiscard]] int64_t CommonControlsVersion() noexcept;
// 1 when the library is at least 6.0 and the application is themed.
[[nodiscard]] int32_t VisualStylesActive() noexcept;

// Test seam: Wine's library reports 5.81, so the themed branch can only be
// reached by setting the probe's outcome. A non-zero version makes later
// probes return at once.
void SetVisualStylesForTesting(int64_t commonControlsVersion, int32_t visualStylesActive) noexcept;

}  // namespace controls
