#include "convert/FlatnessMap.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace velmira {
namespace {

struct Picture {
  FrameSize size;
  std::unique_ptr<PixelGrid> grid = std::make_unique<PixelGrid>();
  std::unique_ptr<FlatnessMap> map = std::make_unique<FlatnessMap>();

  Picture(int32_t w, int32_t h, const std::function<GridPixel(int32_t, int32_t)>& f)
      : size{w, h, 3 * w} {
    for (int32_t t = 0; t < h; ++t) {
      for (int32_t u = 0; u < w; ++u) (*grid)[t][u] = f(t, u);
    }
  }
  int32_t Weight(int32_t t, int32_t u, int32_t intermediate = 1) {
    BuildFlatnessMap(size, *grid, intermediate, *map);
    return (*map)[t][u];
  }
};

GridPixel Grey(int32_t v) { return GridPixel{v, v, v}; }

TEST(FlatnessMap, WeightsFollowTheEdgeStrength) {
  Picture flat(8, 8, [](int32_t, int32_t) { return Grey(100); });
  EXPECT_EQ(flat.Weight(3, 3), 254);  // strengths 3: edge 1, never 255
  EXPECT_EQ(flat.Weight(0, 0), 254);

  Picture edge(8, 4, [](int32_t, int32_t u) { return Grey(u < 4 ? 0 : 255); });
  EXPECT_EQ(edge.Weight(1, 3), 0);
  EXPECT_EQ(edge.Weight(1, 4), 0);

  Picture ramp(16, 4, [](int32_t, int32_t u) { return Grey(8 * u); });
  EXPECT_EQ(ramp.Weight(1, 5), 240);  // strengths 26, 37, 32
  EXPECT_EQ(ramp.Weight(1, 0), 244);  // left neighbour clamped: 18, 26, 22

  // Green counts double red.
  Picture red(8, 4, [](int32_t, int32_t u) {
    return GridPixel{u < 4 ? 100 : 132, 100, 100};
  });
  EXPECT_EQ(red.Weight(1, 3), 242);  // 74, 3, 3
  Picture green(8, 4, [](int32_t, int32_t u) {
    return GridPixel{100, u < 4 ? 100 : 132, 100};
  });
  EXPECT_EQ(green.Weight(1, 3), 237);  // 3, 105, 3
}

TEST(FlatnessMap, ASingleWhitePixelMarksItsDirectAndDiagonalNeighbours) {
  Picture dot(8, 8, [](int32_t t, int32_t u) {
    return Grey(t == 4 && u == 4 ? 255 : 0);
  });
  EXPECT_EQ(dot.Weight(4, 4), 0);
  for (auto [t, u] : {std::pair{3, 4}, {5, 4}, {4, 3}, {4, 5}}) {
    EXPECT_EQ(dot.Weight(t, u), 5) << t << "," << u;  // 483, 511, 511
  }
  for (auto [t, u] : {std::pair{3, 3}, {3, 5}, {5, 3}, {5, 5}}) {
    EXPECT_EQ(dot.Weight(t, u), 109) << t << "," << u;  // 241, 342, 296
  }
  EXPECT_EQ(dot.Weight(0, 0), 254);
}

TEST(FlatnessMap, AOneRowPictureCountsItsSideDifferencesAgainDiagonally) {
  // Row of one: up and down are the row itself. For the pixel at column 1
  // of 0, 40, 40: S = 40^2 + 0 + 2 * (40^2 / 4) = 2400 per channel, so the
  // strengths are trunc(3 sqrt(2400*w/5 + 1)): 93, 131, 113, average 112,
  // edge 56.
  Picture row(4, 1, [](int32_t, int32_t u) { return Grey(u == 0 ? 0 : 40); });
  EXPECT_EQ(row.Weight(0, 1), 255 - 56);
}

TEST(FlatnessMap, IsAllZeroWithIntermediateColoursOff) {
  Picture dot(8, 8, [](int32_t t, int32_t u) { return Grey((t * 37 + u * 91) % 256); });
  BuildFlatnessMap(dot.size, *dot.grid, 0, *dot.map);
  for (int32_t t = 0; t < 8; ++t) {
    for (int32_t u = 0; u < 8; ++u) EXPECT_EQ((*dot.map)[t][u], 0);
  }
}

}  // namespace
}  // namespace velmira
