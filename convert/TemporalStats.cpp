#include "convert/TemporalStats.h"

#include <emmintrin.h>

#include <algorithm>

#include <cmath>
#include <cstdlib>

namespace velmira {
namespace {

bool HoldsPicture(const LoadedFrame& f, const FrameSize& size) {
  return int64_t{f.length} >=
         int64_t{kPixelDataOffset} + int64_t{size.height} * size.stride;
}

// Sums |a - b| over n bytes; SSE2's psadbw does 16 at a time. Stops once the
// sum passes the limit (a negative limit never stops it).
int64_t SumAbsDiff(const uint8_t* a, const uint8_t* b, int32_t n,
                   int64_t limit) {
  int64_t sum = 0;
  int32_t i = 0;
  constexpr int32_t kBlock = 1024;  // check the limit once per block
  while (i + 16 <= n) {
    __m128i acc = _mm_setzero_si128();
    const int32_t blockEnd = std::min(n & ~15, i + kBlock);
    for (; i < blockEnd; i += 16) {
      const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + i));
      const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + i));
      acc = _mm_add_epi64(acc, _mm_sad_epu8(x, y));
    }
    sum += _mm_cvtsi128_si64(acc) + _mm_cvtsi128_si64(_mm_unpackhi_epi64(acc, acc));
    if (limit >= 0 && sum > limit) return sum;
  }
  for (; i < n; ++i) sum += std::abs(int32_t{a[i]} - int32_t{b[i]});
  return sum;
}

}  // namespace

int32_t DifferenceLimit(const FrameSize& size, int32_t sequenceThreshold) {
  return size.width * size.height * 3 * sequenceThreshold * 16;
}

int32_t FrameDifference(const LoadedFrame& n, const LoadedFrame& m,
                        const FrameSize& sizeOfN) {
  if (!HoldsPicture(m, sizeOfN)) return -1;
  // Rows carry no padding (stride == 3W), so the picture is one run of bytes.
  const int32_t bytes = sizeOfN.height * sizeOfN.stride;
  return static_cast<int32_t>(SumAbsDiff(n.data + kPixelDataOffset,
                                         m.data + kPixelDataOffset, bytes, -1));
}

bool WithinDifference(const LoadedFrame& n, const LoadedFrame& m,
                      const FrameSize& sizeOfN, int32_t limit) {
  if (!HoldsPicture(m, sizeOfN)) return false;
  const int32_t bytes = sizeOfN.height * sizeOfN.stride;
  return SumAbsDiff(n.data + kPixelDataOffset, m.data + kPixelDataOffset,
                    bytes, limit) <= limit;
}

void BuildAccumulatedHistogram(FrameStoreView store, NeighbourJudge& judge,
                               int32_t n, int32_t startNumber,
                               int32_t endNumber, int32_t sequenceThreshold,
                               const FrameSize& sizeOfN,
                               AccumulatedHistogram& weights) {
  weights = store.histograms[n];
  const int32_t limit = DifferenceLimit(sizeOfN, sequenceThreshold);
  for (int direction : {+1, -1}) {
    for (int32_t j = 1; j <= kMaxNeighbours; ++j) {
      const int32_t m = n + direction * j;
      if (m > endNumber || m < startNumber) break;
      if (!judge.Qualifies(n, m, sizeOfN, limit)) break;
      const ColourHistogram& counts = store.histograms[m];
      const int32_t share = 241 - j;
      for (int32_t a = 0; a < kColourCount; ++a) {
        weights[a] += share * counts[a] / 240;
      }
    }
  }
}

void ApplyColourMode(int32_t colourMode, AccumulatedHistogram& weights) {
  if (colourMode == 1) {
    for (int32_t& e : weights) {
      const double h = e;
      const double fifth = h * h * h * h * h;  // left to right, in double
      e = static_cast<int32_t>(std::log(fifth + 1.0) * 100.0);
    }
  } else if (colourMode == 2) {
    for (int32_t& e : weights) {
      e = static_cast<int32_t>(std::sqrt(static_cast<double>(e)) * 100.0);
    }
  }
}

}  // namespace velmira
