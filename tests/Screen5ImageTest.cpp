#include "output/Screen5Image.h"

#include <gtest/gtest.h>

#include <memory>

namespace velmira {
namespace {

struct Encoded {
  std::unique_ptr<IndexImage> index = std::make_unique<IndexImage>();
  Palette palette;
  std::unique_ptr<Screen5Image> image = std::make_unique<Screen5Image>();
  Encoded() {
    for (auto& row : *index) row.fill(0);
    palette.Reset();
  }
  const Screen5Image& Encode() {
    EncodeScreen5Image(*index, palette, *image);
    return *image;
  }
};

TEST(Screen5Image, HeaderAndEmptyAreasAreFixed) {
  Encoded e;
  // Leftovers beyond the screen (columns 256+, rows 212+) are never packed.
  (*e.index)[0][300] = 15;
  (*e.index)[300][0] = 15;
  const Screen5Image& img = e.Encode();
  ASSERT_EQ(img.size(), 30375u);
  const uint8_t header[7] = {0xFE, 0x00, 0x00, 0x9F, 0x76, 0x00, 0x00};
  for (int i = 0; i < 7; ++i) EXPECT_EQ(img[i], header[i]) << i;
  for (int i = 7; i < 30375; ++i) ASSERT_EQ(img[i], 0) << i;
}

TEST(Screen5Image, PacksTwoPixelsPerByteLeftInTheHighNibble) {
  Encoded e;
  (*e.index)[0][0] = 1;
  (*e.index)[0][1] = 2;
  (*e.index)[0][2] = 3;
  (*e.index)[0][3] = 4;
  (*e.index)[211][254] = 3;
  (*e.index)[211][255] = 12;
  const Screen5Image& img = e.Encode();
  EXPECT_EQ(img[7], 0x12);
  EXPECT_EQ(img[8], 0x34);
  EXPECT_EQ(img[9], 0x00);
  EXPECT_EQ(img[27142], 0x3C);  // the last byte of line 211
  EXPECT_EQ(img[27015], 0x00);  // the first byte of line 211
}

TEST(Screen5Image, PaletteEntriesHoldRedBlueThenGreen) {
  Encoded e;
  auto& slot = e.palette.slots[15];
  slot.r3 = 7;
  slot.g3 = 5;
  slot.b3 = 2;
  e.palette.slots[1].r3 = 1;
  const Screen5Image& img = e.Encode();
  EXPECT_EQ(img[30373], 0x72);
  EXPECT_EQ(img[30374], 0x05);
  EXPECT_EQ(img[30343], 0x00);  // slot 0 is black
  EXPECT_EQ(img[30344], 0x00);
  EXPECT_EQ(img[30345], 0x10);
  for (int i = 27143; i <= 30342; ++i) ASSERT_EQ(img[i], 0) << i;
}

}  // namespace
}  // namespace velmira
