#include "convert/SourceFrame.h"

#include "job/Messages.h"

namespace velmira {

std::string ReadFrameSize(const LoadedFrame& frame, FrameSize* size) {
  // The two header fields end at byte 26. An empty file never gets here:
  // loading refuses it first.
  if (frame.length < 26) return std::string(messages::kPictureTooLarge);
  const int32_t w = ReadInt32LE(frame.data + 18);
  const int32_t h = ReadInt32LE(frame.data + 22);
  if (w % 4 != 0) return std::string(messages::kWidthNotMultipleOf4);
  if (w > kMaxWidth || h > kMaxHeight) {
    return std::string(messages::kPictureTooLarge);
  }
  // A negative extent has no pixels the writers could place.
  if (w < 0 || h < 0) return std::string(messages::kPictureTooLarge);
  const int32_t stride = (3 * w + 3) & 0xFFFC;
  if (frame.length < kPixelDataOffset + h * stride) {
    return std::string(messages::kPictureTooLarge);
  }
  *size = FrameSize{w, h, stride};
  return {};
}

void DecodeFrame(const LoadedFrame& frame, const FrameSize& size,
                 PixelGrid& grid) {
  for (int32_t t = 0; t < size.height; ++t) {
    const uint8_t* row =
        frame.data + kPixelDataOffset + (size.height - 1 - t) * size.stride;
    for (int32_t u = 0; u < size.width; ++u) {
      const uint8_t* s = row + 3 * u;
      grid[t][u] = GridPixel{s[2], s[1], s[0]};
    }
  }
}

void CountFrameColours(const LoadedFrame& frame, const FrameSize& size,
                       ColourHistogram& histogram) {
  int32_t partial[4][kColourCount] = {};
  for (int32_t t = 0; t < size.height; ++t) {
    const uint8_t* row =
        frame.data + kPixelDataOffset + (size.height - 1 - t) * size.stride;
    for (int32_t u = 0; u < size.width; ++u) {
      const uint8_t* s = row + 3 * u;
      ++partial[u & 3][ColourCode(s[2], s[1], s[0])];
    }
  }
  for (int32_t c = 0; c < kColourCount; ++c) {
    histogram[c] = partial[0][c] + partial[1][c] + partial[2][c] + partial[3][c];
  }
}

void CountColours(const FrameSize& size, const PixelGrid& grid,
                  ColourHistogram& histogram) {
  histogram.fill(0);
  for (int32_t t = 0; t < size.height; ++t) {
    for (int32_t u = 0; u < size.width; ++u) {
      const GridPixel& p = grid[t][u];
      ++histogram[ColourCode(p.r, p.g, p.b)];
    }
  }
}

}  // namespace velmira
