#pragma once
// Memory blocks from the console's private heap (the pumps' read buffers).

#include <cstdint>

namespace app {

[[nodiscard]] void* AllocateBlock(int64_t size) noexcept;  // zero-filled; null for size <= 0
[[nodiscard]] int64_t BlockSize(const void* block) noexcept;
void FreeBlock(void* block) noexcept;

}  // namespace app
