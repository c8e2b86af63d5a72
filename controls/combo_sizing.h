#pragma once
// The combo box's frame measurement, kept from the latest combo creation.

#include <cstdint>

namespace controls {

// The height a combo box adds around its selection field (outer height minus
// field height), measured at each combo creation; -1 while a measurement is
// under way, 0 before the first.
[[nodiscard]] int64_t ComboFrameExtra() noexcept;

}  // namespace controls
