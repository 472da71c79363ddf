#include "convert/SourceFrame.h"

#include <gtest/gtest.h>

#include <memory>
#include <numeric>
#include <vector>

#include "job/Messages.h"
#include "tools/SampleFrames.h"

namespace velmira {
namespace {

// A file of `length` bytes (or exactly what W x H needs) with W and H in it.
std::vector<uint8_t> Header(int32_t w, int32_t h, int64_t length = -1) {
  if (length < 0) {
    length = 54 + int64_t{h > 0 ? h : 0} * ((3 * int64_t{w > 0 ? w : 0} + 3) & ~3);
  }
  std::vector<uint8_t> bytes(static_cast<size_t>(length), 0);
  if (length >= 22) WriteInt32LE(bytes.data() + 18, w);
  if (length >= 26) WriteInt32LE(bytes.data() + 22, h);
  return bytes;
}

LoadedFrame View(const std::vector<uint8_t>& bytes) {
  return LoadedFrame{bytes.data(), static_cast<int32_t>(bytes.size())};
}

TEST(ReadFrameSize, AcceptsWhatTheScreenHoldsAndNamesTheFirstFault) {
  using namespace messages;
  const struct {
    int32_t w, h;
    int64_t length;  // -1: as long as the picture needs
    std::string_view message;
  } cases[] = {
      {256, 212, -1, ""},
      {4, 1, -1, ""},
      {0, 0, -1, ""},
      {0, 212, -1, ""},
      {256, 0, -1, ""},
      {260, 212, -1, kPictureTooLarge},
      {256, 213, -1, kPictureTooLarge},
      {258, 212, -1, kWidthNotMultipleOf4},  // width first
      {257, 10, -1, kWidthNotMultipleOf4},
      {-3, 10, 100, kWidthNotMultipleOf4},
      {-4, 10, 100, kPictureTooLarge},       // passes the width test
      {8, -1, 100, kPictureTooLarge},        // stored top-down
      {INT32_MIN, INT32_MIN, 100, kPictureTooLarge},
      {INT32_MAX - 3, 1, 100, kPictureTooLarge},
      {8, 8, 54 + 8 * 24 - 1, kPictureTooLarge},  // one pixel byte short
      {8, 8, 25, kPictureTooLarge},               // the header itself is cut
      {8, 8, 1, kPictureTooLarge},
  };
  for (const auto& c : cases) {
    const auto bytes = Header(c.w, c.h, c.length);
    FrameSize size{-1, -1, -1};
    EXPECT_EQ(ReadFrameSize(View(bytes), &size), c.message)
        << c.w << "x" << c.h << " in " << bytes.size() << " bytes";
    if (c.message.empty()) {
      EXPECT_EQ(size.width, c.w);
      EXPECT_EQ(size.height, c.h);
      EXPECT_EQ(size.stride, 3 * c.w);
    }
  }
}

TEST(DecodeFrame, PutsTheBottomStoredRowAtTheBottomAndReadsBgr) {
  // 4 x 2: the top row is red-ish, the bottom row counts up.
  const auto bytes = samples::EncodeBmp24(4, 2, [](int32_t x, int32_t y) {
    if (y == 0) return samples::Rgb{31, 32, 64};
    return samples::Rgb{static_cast<uint8_t>(x), 0, 0};
  });
  ASSERT_EQ(bytes[54], 0);  // first stored pixel: bottom left, blue first
  ASSERT_EQ(bytes[56], 0);
  FrameSize size;
  ASSERT_EQ(ReadFrameSize(View(bytes), &size), "");
  auto grid = std::make_unique<PixelGrid>();
  DecodeFrame(View(bytes), size, *grid);
  EXPECT_EQ((*grid)[0][0].r, 31);
  EXPECT_EQ((*grid)[0][0].g, 32);
  EXPECT_EQ((*grid)[0][0].b, 64);
  EXPECT_EQ((*grid)[1][3].r, 3);
  ColourHistogram h;
  CountColours(size, *grid, h);
  EXPECT_EQ(h[10], 4);  // (31, 32, 64) -> 0*64 + 1*8 + 2
  EXPECT_EQ(h[0], 4);
  EXPECT_EQ(std::accumulate(h.begin(), h.end(), 0), 8);
}

TEST(CountColours, CodesAreTheTopThreeBitsOfEachChannel) {
  EXPECT_EQ(ColourCode(255, 255, 255), 511);
  EXPECT_EQ(ColourCode(0, 0, 0), 0);
  EXPECT_EQ(ColourCode(224, 0, 0), 448);
  EXPECT_EQ(ColourCode(31, 32, 64), 10);
}

TEST(DecodeFrame, ASmallerFrameChangesOnlyItsOwnArea) {
  auto grid = std::make_unique<PixelGrid>();
  const auto big = samples::EncodeBmp24(256, 212, [](int32_t, int32_t) {
    return samples::Rgb{200, 200, 200};
  });
  const auto small = samples::EncodeBmp24(128, 100, [](int32_t, int32_t) {
    return samples::Rgb{10, 10, 10};
  });
  FrameSize size;
  ASSERT_EQ(ReadFrameSize(View(big), &size), "");
  DecodeFrame(View(big), size, *grid);
  ASSERT_EQ(ReadFrameSize(View(small), &size), "");
  DecodeFrame(View(small), size, *grid);
  EXPECT_EQ((*grid)[99][127].r, 10);
  EXPECT_EQ((*grid)[99][128].r, 200);
  EXPECT_EQ((*grid)[100][0].r, 200);
  ColourHistogram h;
  CountColours(size, *grid, h);
  EXPECT_EQ(h[0], 12800);
}

TEST(DecodeFrame, AnEmptyPictureHasNoPixels) {
  const auto bytes = Header(0, 0);
  FrameSize size;
  ASSERT_EQ(ReadFrameSize(View(bytes), &size), "");
  auto grid = std::make_unique<PixelGrid>();
  (*grid)[0][0].r = 99;
  DecodeFrame(View(bytes), size, *grid);
  ColourHistogram h;
  h.fill(5);
  CountColours(size, *grid, h);
  EXPECT_EQ((*grid)[0][0].r, 99);
  EXPECT_EQ(std::accumulate(h.begin(), h.end(), 0), 0);
}

TEST(DecodeFrame, OtherBitmapKindsAreReadAsThreeBytePixels) {
  // A "32-bit" header of 8 x 2 whose file is long enough for 3-byte pixels.
  auto bytes = Header(8, 2);
  bytes[28] = 32;
  for (size_t i = 54; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i);
  FrameSize size;
  ASSERT_EQ(ReadFrameSize(View(bytes), &size), "");
  auto grid = std::make_unique<PixelGrid>();
  DecodeFrame(View(bytes), size, *grid);
  EXPECT_EQ((*grid)[1][0].b, 54);  // bottom-left, from byte 54
  EXPECT_EQ((*grid)[1][0].r, 56);
  EXPECT_EQ((*grid)[0][0].b, 54 + 24);
}

}  // namespace
}  // namespace velmira
