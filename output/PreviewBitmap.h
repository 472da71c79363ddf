// The preview bitmap: the converted picture at twice its width and height,
// each pixel a 2 x 2 block of its slot's 8-bit colour, as a 24-bit BMP.
//
//   StartPreviewBitmap(source, bitmap);        // header taken from the source
//   PaintPreviewCanvas(size, index, palette, canvas);
//   int32_t n = FinishPreviewBitmap(size, canvas, bitmap);  // bytes to write
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "convert/FrameTypes.h"
#include "convert/Palette.h"
#include "convert/PairDither.h"

namespace velmira {

inline constexpr int32_t kCanvasRows = 424;
inline constexpr int32_t kCanvasRowBytes = 1536;  // 512 pixels x 3 bytes
inline constexpr int32_t kPreviewBufferSize =
    kPixelDataOffset + kCanvasRows * kCanvasRowBytes;  // 651,318

// Bottom-up like a BMP pixel array: canvas row 0 is the bottom row.
using PreviewCanvas = std::array<std::array<uint8_t, kCanvasRowBytes>, kCanvasRows>;
using PreviewBitmap = std::array<uint8_t, kPreviewBufferSize>;

// Takes over the source's header (as much of its first 54 bytes as it has).
void StartPreviewBitmap(const LoadedFrame& source, PreviewBitmap& bitmap);

void PaintPreviewCanvas(const FrameSize& size, const IndexImage& index,
                        const Palette& palette, PreviewCanvas& canvas);

// Completes the header for the preview itself and copies the painted rows
// behind it. Returns the file's length, 54 + 2H x 6W.
int32_t FinishPreviewBitmap(const FrameSize& size, const PreviewCanvas& canvas,
                            PreviewBitmap& bitmap);

}  // namespace velmira

namespace velmira::platform {
class FileSystem;
class TempFileWatcher;
}  // namespace velmira::platform

namespace velmira {

// Writes the first length bytes of a finished preview under its name.
std::string WritePreviewBitmap(platform::FileSystem& fs,
                               const PreviewBitmap& bitmap, int32_t length,
                               const std::string& name,
                               platform::TempFileWatcher* watcher);

}  // namespace velmira
