// Inputs for the equivalence tests: seeded random pictures, palettes and
// weights, and the sample animation decoded into a grid.
#pragma once

#include <cstdint>
#include <memory>
#include <random>
#include <vector>

#include "convert/FrameTypes.h"
#include "convert/Palette.h"
#include "convert/SourceFrame.h"
#include "tools/SampleFrames.h"

namespace velmira::speedtest {

inline constexpr int32_t kExpand[8] = {0, 36, 72, 109, 145, 182, 218, 255};

// Picture styles: uniform noise, extremes only (0 and 255, the largest
// differences), a few levels (many equal neighbours), smooth ramps.
enum class Style { kNoise, kExtremes, kLevels, kRamp };

inline void FillGrid(std::mt19937& rng, Style style, const FrameSize& size,
                     PixelGrid& grid) {
  std::uniform_int_distribution<int> byte(0, 255), coin(0, 1), level(0, 3);
  for (int32_t t = 0; t < size.height; ++t) {
    for (int32_t u = 0; u < size.width; ++u) {
      GridPixel& p = grid[t][u];
      switch (style) {
        case Style::kNoise: p = {byte(rng), byte(rng), byte(rng)}; break;
        case Style::kExtremes: p = {255 * coin(rng), 255 * coin(rng), 255 * coin(rng)}; break;
        case Style::kLevels: p = {85 * level(rng), 85 * level(rng), 85 * level(rng)}; break;
        case Style::kRamp: p = {(8 * u) & 255, (3 * t + u) & 255, (5 * t) & 255}; break;
      }
    }
  }
}

inline void DecodeSample(int32_t index, int32_t w, int32_t h, PixelGrid& grid,
                         FrameSize* size) {
  const std::vector<uint8_t> bytes = samples::AnimationFrame(index, w, h, 3, 7);
  const LoadedFrame frame{bytes.data(), static_cast<int32_t>(bytes.size())};
  ReadFrameSize(frame, size);
  DecodeFrame(frame, *size, grid);
}

// A palette as the search leaves it: slot 0 black, codes possibly repeated.
inline Palette RandomPalette(std::mt19937& rng, int32_t distinctCodes) {
  std::uniform_int_distribution<int> code(0, 511), pick(0, distinctCodes - 1);
  std::vector<int> pool(static_cast<size_t>(distinctCodes));
  for (int& c : pool) c = code(rng);
  Palette p;
  for (int32_t s = 1; s < kSlotCount; ++s) {
    const int c = pool[static_cast<size_t>(pick(rng))];
    p.slots[s].code = c;
    p.slots[s].r3 = RedOf(c);
    p.slots[s].g3 = GreenOf(c);
    p.slots[s].b3 = BlueOf(c);
  }
  for (PaletteSlot& s : p.slots) {
    s.r8 = kExpand[s.r3];
    s.g8 = kExpand[s.g3];
    s.b8 = kExpand[s.b3];
  }
  return p;
}

}  // namespace velmira::speedtest
