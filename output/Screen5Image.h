// The SCREEN 5 image file: a 30,375-byte copy of VRAM 0x0000-0x769F in the
// MSX-BASIC BSAVE layout.
//
//   offset 0       0xFE, start 0x0000, end 0x769F, execution 0x0000
//   offset 7       bitmap, 212 lines x 128 bytes, two pixels a byte
//                  (left pixel in the high nibble)
//   offset 27143   3,200 zero bytes (VRAM 0x6A00-0x767F)
//   offset 30343   palette table, 16 x 2 bytes: 0RRR0BBB, 00000GGG
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "convert/Palette.h"
#include "convert/PairDither.h"

namespace velmira {

inline constexpr int32_t kScreen5FileSize = 30375;
inline constexpr int32_t kScreen5BitmapOffset = 7;
inline constexpr int32_t kScreen5PaletteOffset = 30343;
using Screen5Image = std::array<uint8_t, kScreen5FileSize>;

// Encodes the whole 256 x 212 screen, whatever the picture's size.
void EncodeScreen5Image(const IndexImage& index, const Palette& palette,
                        Screen5Image& image);

}  // namespace velmira

namespace velmira::platform {
class FileSystem;
class TempFileWatcher;
}  // namespace velmira::platform

namespace velmira {

// Writes an encoded image under its name; the message of the write.
std::string WriteScreen5Image(platform::FileSystem& fs,
                              const Screen5Image& image,
                              const std::string& name,
                              platform::TempFileWatcher* watcher);

}  // namespace velmira
