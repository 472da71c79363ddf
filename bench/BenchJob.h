// In-memory jobs for the stage benchmarks: generated frames loaded as the
// batch driver would leave them after pass 1.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "convert/DistanceTable.h"
#include "convert/SourceFrame.h"
#include "convert/TemporalStats.h"
#include "job/JobSettings.h"
#include "tools/SampleFrames.h"

namespace velmira::bench {

// Frame kinds: the sample animation, a still scene (only sensor noise
// changes between frames) and pure noise (every one of the 512 colours
// weighted, the palette search's worst case).
enum class Kind { kAnimation, kStill, kNoise };

using samples::Hash;

inline std::vector<uint8_t> MakeFrame(Kind kind, int32_t index, int32_t w,
                                      int32_t h, uint32_t seed) {
  switch (kind) {
    case Kind::kAnimation:
      return samples::AnimationFrame(index, w, h, seed, 40);
    case Kind::kStill: {
      // Frame 0 of the animation, with fresh +-2 noise per frame.
      std::vector<uint8_t> f = samples::AnimationFrame(0, w, h, seed, 0);
      for (size_t i = 54; i < f.size(); ++i) {
        const int v = f[i] + static_cast<int>(Hash(static_cast<uint32_t>(i) * 31u +
                                                  static_cast<uint32_t>(index) * 7919u) %
                                              5) - 2;
        f[i] = static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v);
      }
      return f;
    }
    case Kind::kNoise:
      return samples::EncodeBmp24(w, h, [&](int32_t x, int32_t y) {
        const uint32_t r = Hash(static_cast<uint32_t>(x) * 73856093u ^
                               static_cast<uint32_t>(y) * 19349663u ^
                               static_cast<uint32_t>(index) * 83492791u ^ seed);
        return samples::Rgb{static_cast<uint8_t>(r), static_cast<uint8_t>(r >> 8),
                            static_cast<uint8_t>(r >> 16)};
      });
  }
  return {};
}

struct MemoryJob {
  std::vector<std::vector<uint8_t>> bytes;  // [frame number]
  std::vector<LoadedFrame> frames;          // [frame number]
  std::vector<ColourHistogram> histograms;  // [frame number]
  JobSettings settings;
  std::unique_ptr<DistanceTable> table = std::make_unique<DistanceTable>();

  MemoryJob(Kind kind, int32_t count, int32_t mode, int32_t threshold,
            int32_t w = 256, int32_t h = 212, uint32_t seed = 1)
      : bytes(static_cast<size_t>(count)),
        frames(static_cast<size_t>(count)),
        histograms(static_cast<size_t>(count)) {
    settings.startNumber = 0;
    settings.endNumber = count - 1;
    settings.ColourMode = mode;
    settings.SequenceThreshold = threshold;
    settings.IntermediateColours = 1;
    auto grid = std::make_unique<PixelGrid>();
    for (int32_t n = 0; n < count; ++n) {
      bytes[n] = MakeFrame(kind, n, w, h, seed);
      frames[n] = LoadedFrame{bytes[n].data(), static_cast<int32_t>(bytes[n].size())};
      FrameSize size;
      ReadFrameSize(frames[n], &size);
      DecodeFrame(frames[n], size, *grid);
      CountColours(size, *grid, histograms[n]);
    }
    BuildDistanceTable(mode, *table);
  }
  FrameStoreView store() const { return {frames.data(), histograms.data()}; }
};

}  // namespace velmira::bench
