// Synthetic animations for the sample job, the tests and the benchmark:
// 24-bit BMP files made in memory, deterministically from a seed.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace velmira::samples {

struct Rgb {
  uint8_t r, g, b;
};

// A plain bottom-up 24-bit BMP with a 54-byte header; (x, y) with y = 0 at
// the top of the picture. Rows are padded to 4 bytes as BMP requires.
std::vector<uint8_t> EncodeBmp24(int32_t width, int32_t height,
                                 const std::function<Rgb(int32_t x, int32_t y)>& pixel);

// Frame `index` of a photographic-looking animation: soft gradients, a few
// moving shapes and sensor noise; consecutive frames are similar, and a
// scene change comes every `sceneLength` frames (0: never).
std::vector<uint8_t> AnimationFrame(int32_t index, int32_t width,
                                    int32_t height, uint32_t seed,
                                    int32_t sceneLength);

// Writes frames first..last as prefix + four digits + ".bmp".
bool WriteAnimation(const std::string& prefix, int32_t first, int32_t last,
                    int32_t width, int32_t height, uint32_t seed,
                    int32_t sceneLength);

bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes);

// A well-mixed 32-bit hash, for noise that is the same on every run.
uint32_t Hash(uint32_t x);

}  // namespace velmira::samples
