#include "convert/PaletteSearch.h"

#include <immintrin.h>

#include <algorithm>
#include <array>

namespace velmira {
namespace {

// For every colour a, the distance to the nearest considered slot other
// than w. The table is symmetric, so row(code of s)[a] is the distance
// from a to slot s, and the minimum runs along rows, 8 colours at a time.
// Measured on noise frames (all 512 colours weighted): this step was half
// of the search.
__attribute__((target("avx2"))) void NearestOtherAvx2(
    const DistanceTable& table, const std::array<int32_t, kSlotCount>& codes,
    int32_t considered, int32_t w, uint32_t* out) {
  const uint32_t* rows[kSlotCount];
  int32_t count = 0;
  for (int32_t s = 0; s < considered; ++s) {
    if (s != w) rows[count++] = table.row(codes[s]);
  }
  for (int32_t a = 0; a < kColourCount; a += 8) {
    __m256i m = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(rows[0] + a));
    for (int32_t k = 1; k < count; ++k) {
      m = _mm256_min_epu32(
          m, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(rows[k] + a)));
    }
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + a), m);
  }
}

bool HasAvx2() {
  static const bool has = __builtin_cpu_supports("avx2");
  return has;
}

}  // namespace

void SearchPalette(const AccumulatedHistogram& weights,
                   const DistanceTable& table, Palette& palette) {
  SearchPaletteWith(SearchPath::kBest, weights, table, palette);
}

void SearchPaletteWith(SearchPath path, const AccumulatedHistogram& weights,
                       const DistanceTable& table, Palette& palette) {
  const bool avx2 =
      path == SearchPath::kAvx2 || (path == SearchPath::kBest && HasAvx2());
  alignas(32) uint32_t nearestOther[kColourCount];
  std::array<int32_t, kSlotCount> codes{};
  for (int32_t s = 0; s < kSlotCount; ++s) codes[s] = palette.slots[s].code;

  // Colours of weight 0 add nothing to any cost.
  std::array<int16_t, kColourCount> weighted{};
  int32_t weightedCount = 0;
  for (int32_t a = 0; a < kColourCount; ++a) {
    if (weights[a] > 0) weighted[weightedCount++] = static_cast<int16_t>(a);
  }

  std::array<int64_t, kColourCount> gain{};
  for (int32_t pass = 0; pass < 16; ++pass) {
    for (int32_t w = 1; w < kSlotCount; ++w) {
      const int32_t considered = pass == 0 ? w + 1 : kSlotCount;
      gain.fill(0);
      // The row minima cover all 512 colours: worth it once 64 or more
      // are weighted (photographic frames often weight fewer).
      const bool rows = avx2 && (weightedCount >= 64 || path == SearchPath::kAvx2);
      if (rows) NearestOtherAvx2(table, codes, considered, w, nearestOther);
      for (int32_t i = 0; i < weightedCount; ++i) {
        const int32_t a = weighted[i];
        uint32_t nearest = UINT32_MAX;
        if (rows) {
          nearest = nearestOther[a];
        } else {
          const uint32_t* row = table.row(a);
          for (int32_t s = 0; s < considered; ++s) {
            if (s != w) nearest = std::min(nearest, row[codes[s]]);
          }
        }
        if (nearest == 0) continue;
        const int64_t weight = weights[a];
        const DistanceTable::Neighbour* nb = table.byDistance(a);
        for (int32_t k = 0; k < kColourCount && nb[k].distance < nearest; ++k) {
          gain[nb[k].code] += weight * (nearest - nb[k].distance);
        }
      }
      int32_t best = 0;
      for (int32_t d = 1; d < kColourCount; ++d) {
        if (gain[d] > gain[best]) best = d;
      }
      codes[w] = best;
    }
    bool unchanged = true;
    for (int32_t s = 1; s < kSlotCount; ++s) {
      unchanged = unchanged && codes[s] == palette.previousPass[s];
    }
    if (unchanged) break;
    for (int32_t s = 1; s < kSlotCount; ++s) palette.previousPass[s] = codes[s];
  }

  for (int32_t s = 1; s < kSlotCount; ++s) {
    PaletteSlot& slot = palette.slots[s];
    slot.code = codes[s];
    slot.r3 = RedOf(codes[s]);
    slot.g3 = GreenOf(codes[s]);
    slot.b3 = BlueOf(codes[s]);
  }
}

void ExpandPalette(Palette& palette) {
  for (PaletteSlot& s : palette.slots) {
    s.r8 = s.r3 * 255 / 7;
    s.g8 = s.g3 * 255 / 7;
    s.b8 = s.b3 * 255 / 7;
  }
}

}  // namespace velmira
