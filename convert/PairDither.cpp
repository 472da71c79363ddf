#include "convert/PairDither.h"

namespace velmira {

int32_t NearestSlot(const Palette& palette, int32_t r, int32_t g, int32_t b) {
  int32_t best = 0;
  int32_t bestDistance = 0x7FFFFFFF;
  for (int32_t s = 0; s < kSlotCount; ++s) {
    const PaletteSlot& p = palette.slots[s];
    const int32_t dr = r - p.r8, dg = g - p.g8, db = b - p.b8;
    const int32_t d = dr * dr + dg * dg + db * db;
    if (d < bestDistance) {
      bestDistance = d;
      best = s;
    }
  }
  return best;
}

void DitherPairs(const FrameSize& size, const PixelGrid& grid,
                 const FlatnessMap& flatness, const Palette& palette,
                 IndexImage& index) {
  for (int32_t y = 0; y < size.height; ++y) {
    for (int32_t x = 0; x < size.width; x += 2) {
      const int32_t first = (y & 1) ^ x;
      const int32_t partner = first ^ 1;
      const GridPixel& p = grid[y][first];
      const int32_t s1 = NearestSlot(palette, p.r, p.g, p.b);
      const int32_t w = flatness[y][partner];
      const PaletteSlot& c = palette.slots[s1];
      // Signed division truncates toward zero: -15.875 becomes -15.
      const int32_t er = (p.r - c.r8) * w / 256;
      const int32_t eg = (p.g - c.g8) * w / 256;
      const int32_t eb = (p.b - c.b8) * w / 256;
      const GridPixel& q = grid[y][partner];
      const int32_t s2 = NearestSlot(palette, q.r + er, q.g + eg, q.b + eb);
      index[y][first] = static_cast<uint8_t>(s1);
      index[y][partner] = static_cast<uint8_t>(s2);
    }
  }
}

}  // namespace velmira
