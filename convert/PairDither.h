// Pair dithering: every pixel gets a palette slot. The picture is worked in
// horizontal pairs; the first pixel (left on even rows, right on odd rows)
// takes its nearest slot, and its colour error, scaled by the partner's
// flatness weight / 256 (truncated toward zero), is added to the partner
// before the partner takes its nearest slot. No error leaves its pair.
#pragma once

#include <array>
#include <cstdint>

#include "convert/FrameTypes.h"
#include "convert/Palette.h"

namespace velmira {

// One slot number per pixel; rows 512 bytes apart, 424 rows reserved.
inline constexpr int32_t kIndexRowBytes = 512;
inline constexpr int32_t kIndexRows = 424;
using IndexImage = std::array<std::array<uint8_t, kIndexRowBytes>, kIndexRows>;

// The slot nearest to (r, g, b) by squared distance over the 8-bit
// components; the lowest slot wins ties.
int32_t NearestSlot(const Palette& palette, int32_t r, int32_t g, int32_t b);

// Pairs are worked a row at a time, 8 (AVX2) or 4 (SSE2) nearest-slot
// searches at once. Measured on a 256x212 photographic frame: 0.22 ms
// against 1.05 ms for the pair-by-pair loop (bench/StageBench.cpp).
void DitherPairs(const FrameSize& size, const PixelGrid& grid,
                 const FlatnessMap& flatness, const Palette& palette,
                 IndexImage& index);

// The same with a chosen vector path, so that tests can hold each one
// against the literal pair loop. kAvx2 needs a processor that has it.
enum class DitherPath { kBest, kSse2, kAvx2 };
void DitherPairsWith(DitherPath path, const FrameSize& size,
                     const PixelGrid& grid, const FlatnessMap& flatness,
                     const Palette& palette, IndexImage& index);

}  // namespace velmira
