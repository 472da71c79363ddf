// Each fast stage against its literal twin in convert/reference, on seeded
// random inputs of many shapes and on decoded sample frames.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "convert/DistanceTable.h"
#include "convert/FlatnessMap.h"
#include "convert/PairDither.h"
#include "convert/PaletteSearch.h"
#include "convert/TemporalStats.h"
#include "convert/reference/LiteralStages.h"
#include "speed/Inputs.h"

namespace velmira::speedtest {
namespace {

const FrameSize kSizes[] = {{4, 1, 12},     {4, 2, 12},     {8, 3, 24},
                            {12, 1, 36},    {20, 7, 60},    {36, 5, 108},
                            {256, 1, 768},  {4, 212, 12},   {100, 33, 300},
                            {256, 212, 768}};
const Style kStyles[] = {Style::kNoise, Style::kExtremes, Style::kLevels,
                         Style::kRamp};

struct Buffers {
  PixelGrid grid{};
  FlatnessMap fast{};
  FlatnessMap literal{};
  IndexImage indexFast{};
  IndexImage indexLiteral{};
};

// The picture's area of two maps, or of two index images, is the same.
template <typename Rows>
void ExpectSameArea(const Rows& a, const Rows& b, const FrameSize& size,
                    const std::string& what) {
  for (int32_t t = 0; t < size.height; ++t) {
    for (int32_t u = 0; u < size.width; ++u) {
      ASSERT_EQ(a[t][u], b[t][u]) << what << " at row " << t << ", column " << u;
    }
  }
}

TEST(FastFlatnessMap, MatchesLiteralOnRandomPicturesOfEveryShape) {
  auto buf = std::make_unique<Buffers>();
  std::mt19937 rng(11);
  for (const FrameSize& size : kSizes) {
    for (Style style : kStyles) {
      FillGrid(rng, style, size, buf->grid);
      for (int32_t on : {1, 0}) {
        BuildFlatnessMap(size, buf->grid, on, buf->fast);
        reference::BuildFlatnessMapLiteral(size, buf->grid, on, buf->literal);
        ExpectSameArea(buf->fast, buf->literal, size,
                       std::to_string(size.width) + "x" + std::to_string(size.height) +
                           " style " + std::to_string(static_cast<int>(style)));
      }
    }
  }
}

TEST(FastFlatnessMap, MatchesLiteralOnSampleFrames) {
  auto buf = std::make_unique<Buffers>();
  for (int32_t index : {0, 5, 9}) {
    FrameSize size;
    DecodeSample(index, 256, 212, buf->grid, &size);
    BuildFlatnessMap(size, buf->grid, 1, buf->fast);
    reference::BuildFlatnessMapLiteral(size, buf->grid, 1, buf->literal);
    ExpectSameArea(buf->fast, buf->literal, size, "frame " + std::to_string(index));
  }
}

std::vector<DitherPath> DitherPaths() {
  std::vector<DitherPath> paths{DitherPath::kSse2, DitherPath::kBest};
  if (__builtin_cpu_supports("avx2")) paths.push_back(DitherPath::kAvx2);
  return paths;
}

// Flatness weights from the real edge map, all 254 (the largest error
// hand-over), all 0, or random.
enum class Weights { kEdgeMap, kFlat, kZero, kRandom };

TEST(FastDither, EveryPathMatchesLiteralOnRandomPicturesAndPalettes) {
  auto buf = std::make_unique<Buffers>();
  std::mt19937 rng(23);
  std::uniform_int_distribution<int> weight(0, 254);
  int32_t round = 0;
  for (const FrameSize& size : kSizes) {
    for (Style style : kStyles) {
      for (Weights weights : {Weights::kEdgeMap, Weights::kFlat, Weights::kZero,
                              Weights::kRandom}) {
        FillGrid(rng, style, size, buf->grid);
        reference::BuildFlatnessMapLiteral(size, buf->grid, 1, buf->literal);
        for (int32_t t = 0; t < size.height; ++t) {
          for (int32_t u = 0; u < size.width; ++u) {
            int32_t& w = buf->literal[t][u];
            if (weights == Weights::kFlat) w = 254;
            if (weights == Weights::kZero) w = 0;
            if (weights == Weights::kRandom) w = weight(rng);
          }
        }
        // From one colour in all 15 slots (every tie) to 15 different ones.
        const Palette palette = RandomPalette(rng, 1 + round++ % 15);
        reference::DitherPairsLiteral(size, buf->grid, buf->literal, palette,
                                      buf->indexLiteral);
        for (DitherPath path : DitherPaths()) {
          DitherPairsWith(path, size, buf->grid, buf->literal, palette, buf->indexFast);
          ExpectSameArea(buf->indexFast, buf->indexLiteral, size,
                         "path " + std::to_string(static_cast<int>(path)));
        }
      }
    }
  }
}

// Errors truncate toward zero, in each channel: a first pixel at 33 on
// slot 1 (36) hands -3 * 254 / 256 = -2.98, that is -2, to a partner at 17,
// which at 15 is nearer slot 2 (28) than black; an arithmetic shift (-3)
// would leave it at 14, equally far from both, so black.
TEST(FastDither, NegativeErrorsTruncateTowardZeroOnEveryPath) {
  auto buf = std::make_unique<Buffers>();
  const FrameSize size{8, 2, 24};
  for (int32_t channel = 0; channel < 3; ++channel) {
    auto only = [&](int32_t v) {
      return GridPixel{channel == 0 ? v : 0, channel == 1 ? v : 0, channel == 2 ? v : 0};
    };
    for (int32_t t = 0; t < 2; ++t) {
      for (int32_t u = 0; u < 8; ++u) {
        const int32_t first = (t & 1) ^ (u & ~1);
        buf->grid[t][u] = only(u == first ? 33 : 17);
        buf->literal[t][u] = 254;
      }
    }
    Palette palette;
    for (int32_t s : {1, 2}) {
      const GridPixel c = only(s == 1 ? 36 : 28);
      palette.slots[s].r8 = c.r;
      palette.slots[s].g8 = c.g;
      palette.slots[s].b8 = c.b;
    }
    reference::DitherPairsLiteral(size, buf->grid, buf->literal, palette, buf->indexLiteral);
    EXPECT_EQ(buf->indexLiteral[0][0], 1);
    EXPECT_EQ(buf->indexLiteral[0][1], 2);
    EXPECT_EQ(buf->indexLiteral[1][1], 1);
    EXPECT_EQ(buf->indexLiteral[1][0], 2);
    for (DitherPath path : DitherPaths()) {
      DitherPairsWith(path, size, buf->grid, buf->literal, palette, buf->indexFast);
      ExpectSameArea(buf->indexFast, buf->indexLiteral, size,
                     "channel " + std::to_string(channel));
    }
  }
}

TEST(FastDither, MatchesLiteralOnSampleFrames) {
  auto buf = std::make_unique<Buffers>();
  std::mt19937 rng(5);
  for (int32_t index : {1, 8}) {
    FrameSize size;
    DecodeSample(index, 256, 212, buf->grid, &size);
    reference::BuildFlatnessMapLiteral(size, buf->grid, 1, buf->literal);
    const Palette palette = RandomPalette(rng, 15);
    reference::DitherPairsLiteral(size, buf->grid, buf->literal, palette, buf->indexLiteral);
    for (DitherPath path : DitherPaths()) {
      DitherPairsWith(path, size, buf->grid, buf->literal, palette, buf->indexFast);
      ExpectSameArea(buf->indexFast, buf->indexLiteral, size, "sample");
    }
  }
}

// Weight vectors that stress the search: the literal search takes about
// 0.1 s each, so every kind appears a few times in every mode.
enum class WeightKind { kSparse, kDense, kAll512, kTies, kZeros, kHuge, kBlackOnly };

AccumulatedHistogram MakeWeights(std::mt19937& rng, WeightKind kind) {
  AccumulatedHistogram w{};
  std::uniform_int_distribution<int> code(0, 511), small(0, 3), count(0, 54272);
  std::uniform_int_distribution<int> huge(9'000'000, 9'850'256);
  switch (kind) {
    case WeightKind::kSparse:
      for (int i = 0; i < 12; ++i) w[code(rng)] = count(rng);
      break;
    case WeightKind::kDense:
      for (int i = 0; i < 200; ++i) w[code(rng)] = count(rng) / 50;
      break;
    case WeightKind::kAll512:
      for (int32_t& x : w) x = 1 + count(rng) / 100;
      break;
    case WeightKind::kTies:  // few values, symmetric placements: equal costs
      for (int i = 0; i < 40; ++i) {
        const int c = code(rng);
        w[c] = w[511 - c] = 1 + small(rng);
      }
      break;
    case WeightKind::kZeros:
      break;
    case WeightKind::kHuge:
      for (int i = 0; i < 20; ++i) w[code(rng)] = huge(rng);
      w[511] = 9'850'256;
      break;
    case WeightKind::kBlackOnly:
      w[0] = 54272;
      break;
  }
  return w;
}

std::vector<SearchPath> SearchPaths() {
  std::vector<SearchPath> paths{SearchPath::kScalar, SearchPath::kBest};
  if (__builtin_cpu_supports("avx2")) paths.push_back(SearchPath::kAvx2);
  return paths;
}

TEST(FastPaletteSearch, MatchesLiteralInEveryModeOnEveryKindOfWeights) {
  auto table = std::make_unique<DistanceTable>();
  std::mt19937 rng(41);
  const WeightKind kinds[] = {WeightKind::kSparse, WeightKind::kDense,
                              WeightKind::kAll512, WeightKind::kTies,
                              WeightKind::kZeros,  WeightKind::kHuge,
                              WeightKind::kBlackOnly};
  for (int32_t mode = 0; mode < 4; ++mode) {
    BuildDistanceTable(mode, *table);
    for (WeightKind kind : kinds) {
      const bool cheap = kind == WeightKind::kSparse || kind == WeightKind::kTies;
      const int repeats = cheap ? 2 : 1;
      for (int r = 0; r < repeats; ++r) {
        AccumulatedHistogram w = MakeWeights(rng, kind);
        ApplyColourMode(mode, w);
        Palette literal;
        reference::SearchPaletteLiteral(w, *table, literal);
        for (SearchPath path : SearchPaths()) {
          Palette fast;
          SearchPaletteWith(path, w, *table, fast);
          for (int32_t s = 0; s < kSlotCount; ++s) {
            ASSERT_EQ(fast.slots[s].code, literal.slots[s].code)
                << "mode " << mode << " kind " << static_cast<int>(kind) << " slot " << s
                << " path " << static_cast<int>(path);
            ASSERT_EQ(fast.slots[s].r3, literal.slots[s].r3);
            ASSERT_EQ(fast.slots[s].g3, literal.slots[s].g3);
            ASSERT_EQ(fast.slots[s].b3, literal.slots[s].b3);
          }
        }
      }
    }
  }
}

TEST(FastPaletteSearch, MatchesLiteralOnSampleFrameWeights) {
  auto table = std::make_unique<DistanceTable>();
  auto grid = std::make_unique<PixelGrid>();
  for (int32_t mode = 0; mode < 4; ++mode) {
    BuildDistanceTable(mode, *table);
    FrameSize size;
    DecodeSample(2 + mode, 256, 212, *grid, &size);
    AccumulatedHistogram w{};
    CountColours(size, *grid, w);
    ApplyColourMode(mode, w);
    Palette literal;
    reference::SearchPaletteLiteral(w, *table, literal);
    for (SearchPath path : SearchPaths()) {
      Palette fast;
      SearchPaletteWith(path, w, *table, fast);
      for (int32_t s = 0; s < kSlotCount; ++s) {
        ASSERT_EQ(fast.slots[s].code, literal.slots[s].code) << "mode " << mode;
      }
    }
  }
}

TEST(DistanceTableBuild, FastTableEqualsLiteralTableInEveryMode) {
  auto fast = std::make_unique<DistanceTable>();
  auto literal = std::make_unique<DistanceTable>();
  for (int32_t mode = 0; mode < 4; ++mode) {
    BuildDistanceTable(mode, *fast);
    reference::BuildDistanceTableLiteral(mode, *literal);
    for (int32_t a = 0; a < kColourCount; ++a) {
      for (int32_t b = 0; b < kColourCount; ++b) {
        ASSERT_EQ(fast->at(a, b), literal->at(a, b));
      }
      // The search's neighbour lists: every colour once, by distance, then
      // by code.
      const DistanceTable::Neighbour* list = fast->byDistance(a);
      for (int32_t k = 0; k < kColourCount; ++k) {
        ASSERT_EQ(list[k].distance, literal->at(a, list[k].code));
        if (k > 0) {
          ASSERT_LT((uint32_t{list[k - 1].distance} << 16) | list[k - 1].code,
                    (uint32_t{list[k].distance} << 16) | list[k].code);
        }
      }
    }
  }
}

}  // namespace
}  // namespace velmira::speedtest

namespace velmira::speedtest {
namespace {

TEST(FastColourCount, CountingFromTheBytesEqualsDecodingThenCounting) {
  auto grid = std::make_unique<PixelGrid>();
  std::mt19937 rng(3);
  std::uniform_int_distribution<int> byte(0, 255);
  for (const FrameSize& size : kSizes) {
    std::vector<uint8_t> bytes(54 + static_cast<size_t>(size.height * size.stride));
    for (size_t i = 54; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(byte(rng));
    const LoadedFrame frame{bytes.data(), static_cast<int32_t>(bytes.size())};
    ColourHistogram fast{}, plain{};
    fast.fill(-1);
    CountFrameColours(frame, size, fast);
    DecodeFrame(frame, size, *grid);
    CountColours(size, *grid, plain);
    EXPECT_EQ(fast, plain) << size.width << "x" << size.height;
  }
}

// Every S' the edge map can produce, against trunc(sqrt(S') * 3.0) capped
// at 511 in double precision.
TEST(FastFlatnessMap, StrengthEqualsTheDoubleRootForEveryPossibleValue) {
  constexpr int32_t kLargest = 260'100;
  std::vector<int32_t> scaled(kLargest), got(kLargest);
  for (int32_t i = 0; i < kLargest; ++i) scaled[i] = i + 1;
  EdgeStrengths(scaled.data(), kLargest, got.data());
  for (int32_t i = 0; i < kLargest; ++i) {
    const auto want = std::min(
        511, static_cast<int32_t>(std::sqrt(static_cast<double>(scaled[i])) * 3.0));
    ASSERT_EQ(got[i], want) << "S' = " << scaled[i];
  }
}

}  // namespace
}  // namespace velmira::speedtest
