// The 16 slots of a frame's SCREEN 5 palette. Slot 0 is always black.
#pragma once

#include <array>
#include <cstdint>

namespace velmira {

inline constexpr int32_t kSlotCount = 16;

struct PaletteSlot {
  int32_t code = 0;  // colour code 0..511
  int32_t r3 = 0, g3 = 0, b3 = 0;
  int32_t r8 = 0, g8 = 0, b8 = 0;
};

struct Palette {
  std::array<PaletteSlot, kSlotCount> slots{};
  // The search's record of the previous pass (slots 1..15 used).
  std::array<int32_t, kSlotCount> previousPass{};

  // Start of every frame: codes, 3-bit components and the previous-pass
  // record to 0. The 8-bit components are rewritten after every search.
  void Reset() {
    for (PaletteSlot& s : slots) s.code = s.r3 = s.g3 = s.b3 = 0;
    previousPass.fill(0);
  }
};

}  // namespace velmira
