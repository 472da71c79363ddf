#include "convert/FlatnessMap.h"

#include <algorithm>
#include <cmath>

namespace velmira {
namespace {

// Channel weights: green counts most, then blue, then red.
constexpr int32_t kRedWeight = 2;
constexpr int32_t kGreenWeight = 4;
constexpr int32_t kBlueWeight = 3;

inline int32_t Square(int32_t x) { return x * x; }

// sqrt(S * weight / 5 + 1) * 3, truncated and capped at 511. S sums the four
// direct squares and the four diagonal squares each divided by 4 on its own.
inline int32_t Strength(int32_t direct, int32_t diagonalQuarters,
                        int32_t weight) {
  const int32_t s = direct + diagonalQuarters;
  const int32_t scaled = s * weight / 5 + 1;
  const auto strength =
      static_cast<int32_t>(std::sqrt(static_cast<double>(scaled)) * 3.0);
  return std::min(strength, 511);
}

}  // namespace

void BuildFlatnessMap(const FrameSize& size, const PixelGrid& grid,
                      int32_t intermediateColours, FlatnessMap& map) {
  const int32_t w = size.width;
  const int32_t h = size.height;
  if (intermediateColours == 0) {
    for (int32_t t = 0; t < h; ++t) {
      std::fill_n(map[t].begin(), w, 0);
    }
    return;
  }
  for (int32_t t = 0; t < h; ++t) {
    const int32_t up = std::max(t - 1, 0);
    const int32_t down = std::min(t + 1, h - 1);
    for (int32_t u = 0; u < w; ++u) {
      const int32_t left = std::max(u - 1, 0);
      const int32_t right = std::min(u + 1, w - 1);
      const GridPixel& p = grid[t][u];
      const GridPixel* direct[4] = {&grid[up][u], &grid[down][u],
                                    &grid[t][left], &grid[t][right]};
      const GridPixel* diagonal[4] = {&grid[up][left], &grid[up][right],
                                      &grid[down][left], &grid[down][right]};
      int32_t dr = 0, dg = 0, db = 0, qr = 0, qg = 0, qb = 0;
      for (const GridPixel* q : direct) {
        dr += Square(p.r - q->r);
        dg += Square(p.g - q->g);
        db += Square(p.b - q->b);
      }
      for (const GridPixel* q : diagonal) {
        qr += Square(p.r - q->r) / 4;
        qg += Square(p.g - q->g) / 4;
        qb += Square(p.b - q->b) / 4;
      }
      const int32_t average = (Strength(dr, qr, kRedWeight) +
                               Strength(dg, qg, kGreenWeight) +
                               Strength(db, qb, kBlueWeight)) /
                              3;
      map[t][u] = 255 - average / 2;
    }
  }
}

}  // namespace velmira
