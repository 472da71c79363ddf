#include "convert/PairDither.h"

#include <gtest/gtest.h>

#include <memory>

#include "convert/PaletteSearch.h"

namespace velmira {
namespace {

Palette PaletteOf(std::initializer_list<int32_t> codes) {
  Palette p;
  p.Reset();
  int32_t s = 0;
  for (int32_t c : codes) {
    p.slots[s].code = c;
    p.slots[s].r3 = RedOf(c);
    p.slots[s].g3 = GreenOf(c);
    p.slots[s].b3 = BlueOf(c);
    ++s;
  }
  ExpandPalette(p);
  return p;
}

struct Frame {
  FrameSize size;
  std::unique_ptr<PixelGrid> grid = std::make_unique<PixelGrid>();
  std::unique_ptr<FlatnessMap> flat = std::make_unique<FlatnessMap>();
  std::unique_ptr<IndexImage> index = std::make_unique<IndexImage>();

  Frame(int32_t w, int32_t h, GridPixel colour, int32_t weight) : size{w, h, 3 * w} {
    for (int32_t t = 0; t < h; ++t) {
      for (int32_t u = 0; u < w; ++u) {
        (*grid)[t][u] = colour;
        (*flat)[t][u] = weight;
      }
    }
  }
  void Dither(const Palette& p) { DitherPairs(size, *grid, *flat, p, *index); }
};

TEST(NearestSlot, TheLowestSlotWinsATie) {
  // (36, 0, 0) in slot 3 and (0, 36, 0) in slot 7; (24, 24, 0) lies
  // between them at equal distance, and black (slot 0) is farther.
  Palette p = PaletteOf({0, 0, 0, 64, 0, 0, 0, 8});
  for (int32_t s = 1; s < kSlotCount; ++s) {
    if (s != 3 && s != 7) {
      p.slots[s].r8 = p.slots[s].g8 = p.slots[s].b8 = 255;
    }
  }
  EXPECT_EQ(NearestSlot(p, 24, 24, 0), 3);
  EXPECT_EQ(NearestSlot(p, 250, 250, 250), 1);  // duplicates: the first
}

TEST(DitherPairs, FlatGreyBetweenBlackAndWhiteBecomesACheckerboard) {
  const Palette p = PaletteOf({0, 511, 511, 511, 511, 511, 511, 511, 511, 511,
                               511, 511, 511, 511, 511, 511});
  Frame f(8, 2, GridPixel{100, 100, 100}, 254);
  f.Dither(p);
  // Even row: the left pixel takes black, 100 * 254 / 256 = 99 goes right,
  // (199, 199, 199) takes the first white slot. Odd rows start on the right.
  for (int32_t x = 0; x < 8; x += 2) {
    EXPECT_EQ((*f.index)[0][x], 0);
    EXPECT_EQ((*f.index)[0][x + 1], 1);
    EXPECT_EQ((*f.index)[1][x], 1);
    EXPECT_EQ((*f.index)[1][x + 1], 0);
  }
  Frame off(8, 2, GridPixel{100, 100, 100}, 0);
  off.Dither(p);
  for (int32_t x = 0; x < 8; ++x) EXPECT_EQ((*off.index)[1][x], 0);
}

TEST(DitherPairs, NegativeErrorsAreTruncatedTowardZero) {
  // Slots are black or (36, 36, 36). The first pixel (20, 20, 20) takes the
  // grey; its error -16 * 254 / 256 = -15.875 becomes -15, so a partner of
  // (20, 20, 20) is matched as (5, 5, 5) and takes black.
  Palette p = PaletteOf({0, 73, 73, 73, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
  ASSERT_EQ(p.slots[1].r8, 36);
  Frame f(4, 1, GridPixel{20, 20, 20}, 254);
  f.Dither(p);
  EXPECT_EQ((*f.index)[0][0], 1);
  EXPECT_EQ((*f.index)[0][1], 0);

  // A partner of 34 shows the rounding: 34 - 15 = 19 is nearer the grey,
  // while 34 - 16 = 18 would tie and go to black.
  (*f.grid)[0][1] = GridPixel{34, 34, 34};
  f.Dither(p);
  EXPECT_EQ((*f.index)[0][1], 1);
}

TEST(DitherPairs, OddRowsGiveTheErrorToTheLeftPixel) {
  const Palette p = PaletteOf({0, 511});
  Frame f(4, 2, GridPixel{100, 100, 100}, 254);
  (*f.flat)[1][1] = 0;  // the right pixel of row 1 would refuse an error
  f.Dither(p);
  // Row 1 starts with column 1, which takes black, and its error reaches
  // column 0, which turns white.
  EXPECT_EQ((*f.index)[1][1], 0);
  EXPECT_EQ((*f.index)[1][0], 1);
}

TEST(DitherPairs, AnEdgePartnerTakesItsOwnNearestSlot) {
  const Palette p = PaletteOf({0, 511});
  Frame f(4, 1, GridPixel{100, 100, 100}, 0);
  f.Dither(p);
  EXPECT_EQ((*f.index)[0][1], 0);
}

}  // namespace
}  // namespace velmira
