#include "convert/PairDither.h"

#include <emmintrin.h>
#include <immintrin.h>

namespace velmira {
namespace {

// A row's pairs as arrays, padded so that the vector loops may run over a
// whole number of 8-pair blocks; colours packed as (r, g) and (b, 0) in the
// two 16-bit halves of a 32-bit lane, the form pmaddwd squares and adds.
constexpr int32_t kPairsPadded = kMaxWidth / 2 + 8;

struct RowPairs {
  alignas(32) int32_t firstRG[kPairsPadded];
  alignas(32) int32_t firstB[kPairsPadded];
  alignas(32) int32_t partnerR[kPairsPadded];
  alignas(32) int32_t partnerG[kPairsPadded];
  alignas(32) int32_t partnerB[kPairsPadded];
  alignas(32) int32_t weight[kPairsPadded];
  alignas(32) int32_t slotRG[kPairsPadded];  // the first pixel's slot colour
  alignas(32) int32_t slotB[kPairsPadded];
  alignas(32) int32_t adjustedRG[kPairsPadded];
  alignas(32) int32_t adjustedB[kPairsPadded];
  alignas(32) int32_t firstSlot[kPairsPadded];
  alignas(32) int32_t partnerSlot[kPairsPadded];
};

struct PackedSlots {
  int32_t rg[kSlotCount];
  int32_t b[kSlotCount];
};

int32_t PackRG(int32_t r, int32_t g) {
  return static_cast<int32_t>((static_cast<uint32_t>(r) & 0xFFFF) |
                              (static_cast<uint32_t>(g) << 16));
}
int32_t PackB(int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(b) & 0xFFFF);
}

// Nearest slot by the key 16 * distance + slot: its minimum is the nearest
// slot, the lowest one among equally near slots, as with the strictly-
// smaller rule over slots 0..15. Every component difference lies within
// +-508 (adjusted partners range over -253..508), so 16 bits hold it and
// pmaddwd forms the squared distance exactly; 16 * 774,192 fits in 31 bits.
void NearestSse2(const int32_t* rg, const int32_t* b, int32_t n,
                 const PackedSlots& slots, int32_t* out) {
  for (int32_t i = 0; i < n; i += 4) {
    const __m128i prg = _mm_load_si128(reinterpret_cast<const __m128i*>(rg + i));
    const __m128i pb = _mm_load_si128(reinterpret_cast<const __m128i*>(b + i));
    __m128i best = _mm_set1_epi32(0x7FFFFFFF);
    for (int32_t s = 0; s < kSlotCount; ++s) {
      const __m128i drg = _mm_sub_epi16(prg, _mm_set1_epi32(slots.rg[s]));
      const __m128i db = _mm_sub_epi16(pb, _mm_set1_epi32(slots.b[s]));
      const __m128i d =
          _mm_add_epi32(_mm_madd_epi16(drg, drg), _mm_madd_epi16(db, db));
      const __m128i key = _mm_or_si128(_mm_slli_epi32(d, 4), _mm_set1_epi32(s));
      const __m128i less = _mm_cmplt_epi32(key, best);
      best = _mm_or_si128(_mm_and_si128(less, key), _mm_andnot_si128(less, best));
    }
    _mm_store_si128(reinterpret_cast<__m128i*>(out + i),
                    _mm_and_si128(best, _mm_set1_epi32(15)));
  }
}

__attribute__((target("avx2"))) void NearestAvx2(const int32_t* rg,
                                                 const int32_t* b, int32_t n,
                                                 const PackedSlots& slots,
                                                 int32_t* out) {
  for (int32_t i = 0; i < n; i += 8) {
    const __m256i prg = _mm256_load_si256(reinterpret_cast<const __m256i*>(rg + i));
    const __m256i pb = _mm256_load_si256(reinterpret_cast<const __m256i*>(b + i));
    __m256i best = _mm256_set1_epi32(0x7FFFFFFF);
    for (int32_t s = 0; s < kSlotCount; ++s) {
      const __m256i drg = _mm256_sub_epi16(prg, _mm256_set1_epi32(slots.rg[s]));
      const __m256i db = _mm256_sub_epi16(pb, _mm256_set1_epi32(slots.b[s]));
      const __m256i d =
          _mm256_add_epi32(_mm256_madd_epi16(drg, drg), _mm256_madd_epi16(db, db));
      best = _mm256_min_epi32(
          best, _mm256_or_si256(_mm256_slli_epi32(d, 4), _mm256_set1_epi32(s)));
    }
    _mm256_store_si256(reinterpret_cast<__m256i*>(out + i),
                       _mm256_and_si256(best, _mm256_set1_epi32(15)));
  }
}

// error = (first - slot) * weight / 256, truncated toward zero (an
// arithmetic shift alone would take -15.875 to -16), added to the partner.
void AdjustPartnersSse2(RowPairs& row, int32_t n) {
  const __m128i low16 = _mm_set1_epi32(0xFFFF);
  const __m128i round = _mm_set1_epi32(255);
  auto truncDiv256 = [&](__m128i x) {
    return _mm_srai_epi32(
        _mm_add_epi32(x, _mm_and_si128(_mm_srai_epi32(x, 31), round)), 8);
  };
  for (int32_t i = 0; i < n; i += 4) {
    auto load = [&](const int32_t* p) {
      return _mm_load_si128(reinterpret_cast<const __m128i*>(p + i));
    };
    const __m128i drg = _mm_sub_epi16(load(row.firstRG), load(row.slotRG));
    const __m128i db = _mm_sub_epi16(load(row.firstB), load(row.slotB));
    const __m128i w = load(row.weight);  // 0..254, as (w, 0)
    const __m128i er = truncDiv256(_mm_madd_epi16(drg, w));
    const __m128i eg = truncDiv256(_mm_madd_epi16(drg, _mm_slli_epi32(w, 16)));
    const __m128i eb = truncDiv256(_mm_madd_epi16(db, w));
    const __m128i ar = _mm_add_epi32(load(row.partnerR), er);
    const __m128i ag = _mm_add_epi32(load(row.partnerG), eg);
    const __m128i ab = _mm_add_epi32(load(row.partnerB), eb);
    _mm_store_si128(reinterpret_cast<__m128i*>(row.adjustedRG + i),
                    _mm_or_si128(_mm_and_si128(ar, low16), _mm_slli_epi32(ag, 16)));
    _mm_store_si128(reinterpret_cast<__m128i*>(row.adjustedB + i),
                    _mm_and_si128(ab, low16));
  }
}

bool HasAvx2() {
  static const bool has = __builtin_cpu_supports("avx2");
  return has;
}

}  // namespace

int32_t NearestSlot(const Palette& palette, int32_t r, int32_t g, int32_t b) {
  int32_t best = 0;
  int32_t bestDistance = 0x7FFFFFFF;
  for (int32_t s = 0; s < kSlotCount; ++s) {
    const PaletteSlot& p = palette.slots[s];
    const int32_t dr = r - p.r8, dg = g - p.g8, db = b - p.b8;
    const int32_t d = dr * dr + dg * dg + db * db;
    if (d < bestDistance) {
      bestDistance = d;
      best = s;
    }
  }
  return best;
}

void DitherPairsWith(DitherPath path, const FrameSize& size,
                     const PixelGrid& grid, const FlatnessMap& flatness,
                     const Palette& palette, IndexImage& index) {
  const bool avx2 =
      path == DitherPath::kAvx2 || (path == DitherPath::kBest && HasAvx2());
  PackedSlots slots;
  for (int32_t s = 0; s < kSlotCount; ++s) {
    slots.rg[s] = PackRG(palette.slots[s].r8, palette.slots[s].g8);
    slots.b[s] = PackB(palette.slots[s].b8);
  }
  RowPairs row{};
  const int32_t pairs = size.width / 2;
  const int32_t blocks = (pairs + 7) & ~7;
  for (int32_t y = 0; y < size.height; ++y) {
    const int32_t odd = y & 1;
    for (int32_t i = 0; i < pairs; ++i) {
      const int32_t first = odd ^ (2 * i);
      const GridPixel& p = grid[y][first];
      const GridPixel& q = grid[y][first ^ 1];
      row.firstRG[i] = PackRG(p.r, p.g);
      row.firstB[i] = PackB(p.b);
      row.partnerR[i] = q.r;
      row.partnerG[i] = q.g;
      row.partnerB[i] = q.b;
      row.weight[i] = flatness[y][first ^ 1];
    }
    if (avx2) {
      NearestAvx2(row.firstRG, row.firstB, blocks, slots, row.firstSlot);
    } else {
      NearestSse2(row.firstRG, row.firstB, blocks, slots, row.firstSlot);
    }
    for (int32_t i = 0; i < blocks; ++i) {
      row.slotRG[i] = slots.rg[row.firstSlot[i]];
      row.slotB[i] = slots.b[row.firstSlot[i]];
    }
    AdjustPartnersSse2(row, blocks);
    if (avx2) {
      NearestAvx2(row.adjustedRG, row.adjustedB, blocks, slots, row.partnerSlot);
    } else {
      NearestSse2(row.adjustedRG, row.adjustedB, blocks, slots, row.partnerSlot);
    }
    uint8_t* out = index[y].data();
    for (int32_t i = 0; i < pairs; ++i) {
      const int32_t first = odd ^ (2 * i);
      out[first] = static_cast<uint8_t>(row.firstSlot[i]);
      out[first ^ 1] = static_cast<uint8_t>(row.partnerSlot[i]);
    }
  }
}

void DitherPairs(const FrameSize& size, const PixelGrid& grid,
                 const FlatnessMap& flatness, const Palette& palette,
                 IndexImage& index) {
  DitherPairsWith(DitherPath::kBest, size, grid, flatness, palette, index);
}

}  // namespace velmira
