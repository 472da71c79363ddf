#include "output/PreviewBitmap.h"

#include <algorithm>
#include <cstring>

namespace velmira {
namespace {

void WriteInt16LE(uint8_t* p, int32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}

// The preview's header describes the preview itself, so that standard tools
// read it: its own file and image sizes, 24 bits, no compression, no colour
// table. The reserved fields and the resolution stay the source's.
void DescribePreview(int32_t width2, int32_t height2, int32_t fileLength,
                     uint8_t* h) {
  h[0] = 'B';
  h[1] = 'M';
  WriteInt32LE(h + 2, fileLength);
  WriteInt32LE(h + 10, kPixelDataOffset);
  WriteInt32LE(h + 14, 40);
  WriteInt32LE(h + 18, width2);
  WriteInt32LE(h + 22, height2);
  WriteInt16LE(h + 26, 1);
  WriteInt16LE(h + 28, 24);
  WriteInt32LE(h + 30, 0);
  WriteInt32LE(h + 34, fileLength - kPixelDataOffset);
  WriteInt32LE(h + 46, 0);
  WriteInt32LE(h + 50, 0);
}

}  // namespace

void StartPreviewBitmap(const LoadedFrame& source, PreviewBitmap& bitmap) {
  const int32_t n = std::clamp(source.length, 0, kPixelDataOffset);
  if (n > 0) std::memcpy(bitmap.data(), source.data, static_cast<size_t>(n));
  WriteInt32LE(bitmap.data() + 10, kPixelDataOffset);
}

void PaintPreviewCanvas(const FrameSize& size, const IndexImage& index,
                        const Palette& palette, PreviewCanvas& canvas) {
  for (int32_t t = 0; t < size.height; ++t) {
    uint8_t* lower = canvas[422 - 2 * t].data();
    uint8_t* upper = canvas[423 - 2 * t].data();
    for (int32_t u = 0; u < size.width; ++u) {
      const PaletteSlot& s = palette.slots[index[t][u]];
      const uint8_t px[6] = {
          static_cast<uint8_t>(s.b8), static_cast<uint8_t>(s.g8),
          static_cast<uint8_t>(s.r8), static_cast<uint8_t>(s.b8),
          static_cast<uint8_t>(s.g8), static_cast<uint8_t>(s.r8)};
      std::memcpy(lower + 6 * u, px, 6);
      std::memcpy(upper + 6 * u, px, 6);
    }
  }
}

int32_t FinishPreviewBitmap(const FrameSize& size, const PreviewCanvas& canvas,
                            PreviewBitmap& bitmap) {
  const int32_t rows = 2 * size.height;
  const int32_t stride = (3 * 2 * size.width + 3) & 0xFFFC;
  const int32_t fileLength = kPixelDataOffset + rows * stride;
  DescribePreview(2 * size.width, rows, fileLength, bitmap.data());
  for (int32_t i = 0; i < rows; ++i) {
    std::memcpy(bitmap.data() + kPixelDataOffset + i * stride,
                canvas[kCanvasRows - rows + i].data(),
                static_cast<size_t>(stride));
  }
  return fileLength;
}

}  // namespace velmira

#include "job/WholeFile.h"

namespace velmira {

std::string WritePreviewBitmap(platform::FileSystem& fs,
                               const PreviewBitmap& bitmap, int32_t length,
                               const std::string& name,
                               platform::TempFileWatcher* watcher) {
  return WriteWholeFile(fs, bitmap.data(), length, name, watcher);
}

}  // namespace velmira
