#include "convert/reference/LiteralStages.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace velmira::reference {

void BuildDistanceTableLiteral(int32_t colourMode, DistanceTable& table) {
  for (int32_t a = 0; a < kColourCount; ++a) {
    uint32_t* row = table.mutableRow(a);
    for (int32_t b = 0; b < kColourCount; ++b) {
      const int32_t dr = RedOf(a) - RedOf(b);
      const int32_t dg = GreenOf(a) - GreenOf(b);
      const int32_t db = BlueOf(a) - BlueOf(b);
      int32_t d;
      if (colourMode == 3) {
        d = std::abs(dr) + std::abs(dg) + std::abs(db);
      } else {
        d = dr * dr * dr * dr + dg * dg * dg * dg + db * db * db * db;
      }
      row[b] = static_cast<uint32_t>(d);
    }
  }
}

void SearchPaletteLiteral(const AccumulatedHistogram& weights,
                          const DistanceTable& table, Palette& palette) {
  auto& slots = palette.slots;
  for (int32_t pass = 0; pass <= 15; ++pass) {
    for (int32_t w = 1; w <= 15; ++w) {
      const int32_t considered = pass == 0 ? w + 1 : kSlotCount;
      int64_t bestCost = std::numeric_limits<int64_t>::max();
      int32_t bestCandidate = 0;
      for (int32_t d = 0; d < kColourCount; ++d) {
        slots[w].code = d;
        int64_t running = 0;
        bool abandoned = false;
        const uint32_t* row = table.row(0);
        for (int32_t a = 0; a < kColourCount; ++a, row += kColourCount) {
          uint32_t m = row[slots[0].code];
          for (int32_t s = 1; s < considered; ++s) {
            if (row[slots[s].code] < m) m = row[slots[s].code];
          }
          running += int64_t{weights[a]} * static_cast<int32_t>(m);
          if (running > bestCost) {
            abandoned = true;
            break;
          }
        }
        if (!abandoned && running < bestCost) {
          bestCost = running;
          bestCandidate = d;
        }
      }
      slots[w].code = bestCandidate;
      slots[w].r3 = RedOf(bestCandidate);
      slots[w].g3 = GreenOf(bestCandidate);
      slots[w].b3 = BlueOf(bestCandidate);
    }
    bool unchanged = true;
    for (int32_t s = 1; s <= 15; ++s) {
      if (slots[s].code != palette.previousPass[s]) unchanged = false;
    }
    if (unchanged) break;
    for (int32_t s = 1; s <= 15; ++s) palette.previousPass[s] = slots[s].code;
  }
}

int32_t FrameDifferenceLiteral(const LoadedFrame& n, const LoadedFrame& m,
                               const FrameSize& size) {
  if (int64_t{m.length} <
      int64_t{kPixelDataOffset} + int64_t{size.height} * size.stride) {
    return -1;
  }
  int32_t sum = 0;
  for (int32_t t = 0; t < size.height; ++t) {
    const int32_t rowStart =
        kPixelDataOffset + (size.height - 1 - t) * size.stride;
    for (int32_t i = 0; i < 3 * size.width; ++i) {
      sum += std::abs(int32_t{n.data[rowStart + i]} -
                      int32_t{m.data[rowStart + i]});
    }
  }
  return sum;
}

bool LiteralNeighbourJudge::Qualifies(int32_t n, int32_t m,
                                      const FrameSize& sizeOfN,
                                      int32_t limit) {
  const int32_t d =
      FrameDifferenceLiteral(store_.frames[n], store_.frames[m], sizeOfN);
  return d >= 0 && d <= limit;
}

}  // namespace velmira::reference

namespace velmira::reference {
namespace {

int32_t Square(int32_t x) { return x * x; }

int32_t ChannelStrength(int32_t s, int32_t weight) {
  const int32_t scaled = s * weight / 5 + 1;
  const auto strength =
      static_cast<int32_t>(std::sqrt(static_cast<double>(scaled)) * 3.0);
  return strength > 511 ? 511 : strength;
}

int32_t NearestSlotLiteral(const Palette& palette, int32_t r, int32_t g,
                           int32_t b) {
  int32_t best = 0;
  int32_t bestDistance = 0x7FFFFFFF;
  for (int32_t s = 0; s < kSlotCount; ++s) {
    const PaletteSlot& p = palette.slots[s];
    const int32_t d =
        Square(r - p.r8) + Square(g - p.g8) + Square(b - p.b8);
    if (d < bestDistance) {
      bestDistance = d;
      best = s;
    }
  }
  return best;
}

}  // namespace

void BuildFlatnessMapLiteral(const FrameSize& size, const PixelGrid& grid,
                             int32_t intermediateColours, FlatnessMap& map) {
  const int32_t w = size.width;
  const int32_t h = size.height;
  constexpr int32_t kWeights[3] = {2, 4, 3};  // red, green, blue
  for (int32_t t = 0; t < h; ++t) {
    for (int32_t u = 0; u < w; ++u) {
      const int32_t up = std::max(t - 1, 0);
      const int32_t down = std::min(t + 1, h - 1);
      const int32_t left = std::max(u - 1, 0);
      const int32_t right = std::min(u + 1, w - 1);
      int32_t strengths = 0;
      for (int32_t c = 0; c < 3; ++c) {
        auto at = [&](int32_t row, int32_t col) {
          const GridPixel& q = grid[row][col];
          return c == 0 ? q.r : c == 1 ? q.g : q.b;
        };
        const int32_t p = at(t, u);
        auto d = [&](int32_t row, int32_t col) { return p - at(row, col); };
        int32_t s = Square(d(up, u)) + Square(d(down, u)) +
                    Square(d(t, left)) + Square(d(t, right));
        s += Square(d(up, left)) / 4;
        s += Square(d(up, right)) / 4;
        s += Square(d(down, left)) / 4;
        s += Square(d(down, right)) / 4;
        strengths += ChannelStrength(s, kWeights[c]);
      }
      const int32_t average = strengths / 3;
      const int32_t edge = average / 2;
      map[t][u] = intermediateColours != 0 ? 255 - edge : 0;
    }
  }
}

void DitherPairsLiteral(const FrameSize& size, const PixelGrid& grid,
                        const FlatnessMap& flatness, const Palette& palette,
                        IndexImage& index) {
  for (int32_t y = 0; y < size.height; ++y) {
    for (int32_t x = 0; x < size.width; x += 2) {
      const int32_t first = (y & 1) ^ x;
      const int32_t partner = first ^ 1;
      const GridPixel& p = grid[y][first];
      const int32_t s1 = NearestSlotLiteral(palette, p.r, p.g, p.b);
      const int32_t w = flatness[y][partner];
      const PaletteSlot& c = palette.slots[s1];
      const int32_t er = (p.r - c.r8) * w / 256;
      const int32_t eg = (p.g - c.g8) * w / 256;
      const int32_t eb = (p.b - c.b8) * w / 256;
      const GridPixel& q = grid[y][partner];
      const int32_t s2 = NearestSlotLiteral(palette, q.r + er, q.g + eg, q.b + eb);
      index[y][first] = static_cast<uint8_t>(s1);
      index[y][partner] = static_cast<uint8_t>(s2);
    }
  }
}

}  // namespace velmira::reference
