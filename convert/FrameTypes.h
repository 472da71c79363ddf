// The shapes one frame's conversion works on. Everything is sized for the
// largest picture a SCREEN 5 screen holds, 256 x 212.
#pragma once

#include <array>
#include <cstdint>

namespace velmira {

inline constexpr int32_t kMaxWidth = 256;
inline constexpr int32_t kMaxHeight = 212;
inline constexpr int32_t kColourCount = 512;  // 3 bits per channel
inline constexpr int32_t kPixelDataOffset = 54;

// The bytes of one loaded frame file, exactly as long as the file.
struct LoadedFrame {
  const uint8_t* data = nullptr;
  int32_t length = 0;
};

struct FrameSize {
  int32_t width = 0;
  int32_t height = 0;
  int32_t stride = 0;  // bytes per stored row; 3 * width for accepted frames
};

struct GridPixel {
  int32_t r = 0;
  int32_t g = 0;
  int32_t b = 0;
};

// Row 0 is the top of the picture.
using PixelGrid = std::array<std::array<GridPixel, kMaxWidth>, kMaxHeight>;

// 512 counts indexed by colour code.
using ColourHistogram = std::array<int32_t, kColourCount>;
using AccumulatedHistogram = ColourHistogram;

// One weight (0..254) per pixel: how much colour error it may receive.
using FlatnessMap = std::array<std::array<int32_t, kMaxWidth>, kMaxHeight>;

// The top three bits of red, green and blue side by side.
constexpr int32_t ColourCode(int32_t r, int32_t g, int32_t b) {
  return (r >> 5) * 64 + (g >> 5) * 8 + (b >> 5);
}
constexpr int32_t RedOf(int32_t code) { return code >> 6; }
constexpr int32_t GreenOf(int32_t code) { return (code >> 3) & 7; }
constexpr int32_t BlueOf(int32_t code) { return code & 7; }

inline int32_t ReadInt32LE(const uint8_t* p) {
  return static_cast<int32_t>(uint32_t{p[0]} | uint32_t{p[1]} << 8 |
                              uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24);
}
inline void WriteInt32LE(uint8_t* p, int32_t v) {
  const auto u = static_cast<uint32_t>(v);
  p[0] = static_cast<uint8_t>(u);
  p[1] = static_cast<uint8_t>(u >> 8);
  p[2] = static_cast<uint8_t>(u >> 16);
  p[3] = static_cast<uint8_t>(u >> 24);
}

}  // namespace velmira
