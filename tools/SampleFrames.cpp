#include "tools/SampleFrames.h"

#include <cmath>
#include <cstdio>

namespace velmira::samples {
namespace {

void Put32(std::vector<uint8_t>& v, size_t at, uint32_t x) {
  for (int i = 0; i < 4; ++i) v[at + i] = static_cast<uint8_t>(x >> (8 * i));
}

uint8_t Clamp(double v) {
  return static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v);
}

}  // namespace

uint32_t Hash(uint32_t x) {
  x ^= x >> 16;
  x *= 0x7feb352dU;
  x ^= x >> 15;
  x *= 0x846ca68bU;
  x ^= x >> 16;
  return x;
}

std::vector<uint8_t> EncodeBmp24(int32_t width, int32_t height,
                                 const std::function<Rgb(int32_t, int32_t)>& pixel) {
  const int32_t stride = (3 * width + 3) & ~3;
  std::vector<uint8_t> out(54 + static_cast<size_t>(stride) * height, 0);
  out[0] = 'B';
  out[1] = 'M';
  Put32(out, 2, static_cast<uint32_t>(out.size()));
  Put32(out, 10, 54);
  Put32(out, 14, 40);
  Put32(out, 18, static_cast<uint32_t>(width));
  Put32(out, 22, static_cast<uint32_t>(height));
  out[26] = 1;
  out[28] = 24;
  Put32(out, 34, static_cast<uint32_t>(stride * height));
  Put32(out, 38, 2835);
  Put32(out, 42, 2835);
  for (int32_t y = 0; y < height; ++y) {
    uint8_t* row = out.data() + 54 + static_cast<size_t>(height - 1 - y) * stride;
    for (int32_t x = 0; x < width; ++x) {
      const Rgb c = pixel(x, y);
      row[3 * x] = c.b;
      row[3 * x + 1] = c.g;
      row[3 * x + 2] = c.r;
    }
  }
  return out;
}

std::vector<uint8_t> AnimationFrame(int32_t index, int32_t width,
                                    int32_t height, uint32_t seed,
                                    int32_t sceneLength) {
  const int32_t scene = sceneLength > 0 ? index / sceneLength : 0;
  const uint32_t sceneSeed = Hash(seed * 7919u + static_cast<uint32_t>(scene));
  const double hue = (sceneSeed % 360) * M_PI / 180.0;
  const double t = index * 0.15;
  return EncodeBmp24(width, height, [&](int32_t x, int32_t y) {
    const double fx = x / 256.0, fy = y / 212.0;
    // Sky-like gradient tinted per scene.
    double r = 60 + 120 * fy + 50 * std::cos(hue);
    double g = 80 + 90 * fx + 50 * std::cos(hue + 2.1);
    double b = 150 - 80 * fy + 50 * std::cos(hue + 4.2);
    // A sun that drifts, and a bobbing ball.
    const double sx = 0.3 + 0.2 * std::sin(t * 0.3), sy = 0.3;
    const double d1 = std::hypot(fx - sx, fy - sy);
    if (d1 < 0.12) {
      r = 250 - 300 * d1;
      g = 220 - 400 * d1;
      b = 80;
    }
    const double bx = 0.65 + 0.15 * std::cos(t), by = 0.6 + 0.2 * std::sin(t * 1.3);
    if (std::hypot(fx - bx, (fy - by) * 1.2) < 0.09) {
      r = 200 * fx;
      g = 40;
      b = 120 + 100 * fy;
    }
    // Ground with stripes.
    if (fy > 0.8) {
      const double s = std::sin(fx * 40 + t) > 0 ? 30 : 0;
      r = 70 + s;
      g = 120 + s;
      b = 50;
    }
    // Sensor noise, different in every frame.
    const uint32_t n = Hash(static_cast<uint32_t>(x) * 73856093u ^
                            static_cast<uint32_t>(y) * 19349663u ^
                            static_cast<uint32_t>(index) * 83492791u ^ seed);
    const double noise = static_cast<int32_t>(n % 9) - 4;
    return Rgb{Clamp(r + noise), Clamp(g + noise), Clamp(b + noise)};
  });
}

bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return false;
  const bool ok = bytes.empty() ||
                  std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

bool WriteAnimation(const std::string& prefix, int32_t first, int32_t last,
                    int32_t width, int32_t height, uint32_t seed,
                    int32_t sceneLength) {
  for (int32_t i = first; i <= last; ++i) {
    char digits[8];
    std::snprintf(digits, sizeof digits, "%04d", i);
    if (!WriteFile(prefix + digits + ".bmp",
                   AnimationFrame(i, width, height, seed, sceneLength))) {
      return false;
    }
  }
  return true;
}

}  // namespace velmira::samples
