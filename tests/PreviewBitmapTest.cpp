#include "output/PreviewBitmap.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "convert/PaletteSearch.h"
#include "tools/SampleFrames.h"

namespace velmira {
namespace {

struct Preview {
  std::unique_ptr<IndexImage> index = std::make_unique<IndexImage>();
  std::unique_ptr<PreviewCanvas> canvas = std::make_unique<PreviewCanvas>();
  std::unique_ptr<PreviewBitmap> bitmap = std::make_unique<PreviewBitmap>();
  Palette palette;
  Preview() {
    for (auto& row : *index) row.fill(0);
    for (auto& row : *canvas) row.fill(0);
    bitmap->fill(0);
    palette.Reset();
  }
  // Builds the preview of a w x h picture taken from `source`.
  std::vector<uint8_t> Make(const std::vector<uint8_t>& source, int32_t w,
                            int32_t h) {
    const FrameSize size{w, h, 3 * w};
    ExpandPalette(palette);
    StartPreviewBitmap({source.data(), static_cast<int32_t>(source.size())},
                       *bitmap);
    PaintPreviewCanvas(size, *index, palette, *canvas);
    const int32_t n = FinishPreviewBitmap(size, *canvas, *bitmap);
    return std::vector<uint8_t>(bitmap->begin(), bitmap->begin() + n);
  }
};

int32_t At32(const std::vector<uint8_t>& v, size_t i) { return ReadInt32LE(v.data() + i); }

TEST(PreviewBitmap, IsThePictureDoubledWithAHeaderOfItsOwn) {
  Preview p;
  p.palette.slots[5].r3 = 7;
  p.palette.slots[5].g3 = 5;
  p.palette.slots[5].b3 = 2;
  (*p.index)[0][0] = 5;  // top-left
  const auto source = samples::EncodeBmp24(4, 2, [](int32_t, int32_t) {
    return samples::Rgb{1, 2, 3};
  });
  const auto file = p.Make(source, 4, 2);
  ASSERT_EQ(file.size(), 150u);  // 54 + 4 rows of 24 bytes
  EXPECT_EQ(file[0], 'B');
  EXPECT_EQ(file[1], 'M');
  EXPECT_EQ(At32(file, 2), 150);
  EXPECT_EQ(At32(file, 10), 54);
  EXPECT_EQ(At32(file, 14), 40);
  EXPECT_EQ(At32(file, 18), 8);
  EXPECT_EQ(At32(file, 22), 4);
  EXPECT_EQ(file[26], 1);
  EXPECT_EQ(file[28], 24);
  EXPECT_EQ(At32(file, 30), 0);
  EXPECT_EQ(At32(file, 34), 96);
  // Everything else of a plain 24-bit source's header is kept.
  for (int i : {6, 7, 8, 9, 38, 39, 40, 41, 42, 43, 44, 45}) {
    EXPECT_EQ(file[i], source[i]) << i;
  }
  // The top-left picture pixel is the first pixel of the last two rows.
  const uint8_t block[3] = {72, 182, 255};
  for (int row : {2, 3}) {
    for (int col : {0, 1}) {
      EXPECT_EQ(std::memcmp(&file[54 + row * 24 + col * 3], block, 3), 0)
          << row << "," << col;
    }
  }
  EXPECT_EQ(file[54], 0);  // the bottom-left block is slot 0, black
}

TEST(PreviewBitmap, HeaderFieldsThatDescribeTheSourceAreRewritten) {
  Preview p;
  auto source = samples::EncodeBmp24(8, 4, [](int32_t, int32_t) {
    return samples::Rgb{0, 0, 0};
  });
  source[28] = 32;          // the source claims 32 bits,
  source[30] = 3;           // bit fields,
  WriteInt32LE(source.data() + 46, 16);  // and a colour table
  const auto file = p.Make(source, 8, 4);
  EXPECT_EQ(file[28], 24);
  EXPECT_EQ(At32(file, 30), 0);
  EXPECT_EQ(At32(file, 46), 0);
  EXPECT_EQ(At32(file, 50), 0);
}

TEST(PreviewBitmap, SizesFromEmptyToFullScreen) {
  const auto source = samples::EncodeBmp24(4, 4, [](int32_t, int32_t) {
    return samples::Rgb{0, 0, 0};
  });
  const struct {
    int32_t w, h;
    size_t bytes;
  } cases[] = {{0, 0, 54}, {0, 5, 54}, {4, 0, 54}, {4, 2, 150}, {256, 212, 651318}};
  for (const auto& c : cases) {
    Preview p;
    const auto file = p.Make(source, c.w, c.h);
    EXPECT_EQ(file.size(), c.bytes) << c.w << "x" << c.h;
    EXPECT_EQ(At32(file, 18), 2 * c.w);
    EXPECT_EQ(At32(file, 22), 2 * c.h);
  }
}

TEST(PreviewBitmap, AShortSourceIsNotReadPastItsEnd) {
  Preview p;
  const std::vector<uint8_t> source = {'B', 'M', 1, 2};
  const auto file = p.Make(source, 0, 0);
  EXPECT_EQ(file.size(), 54u);
  EXPECT_EQ(At32(file, 10), 54);
}

}  // namespace
}  // namespace velmira
