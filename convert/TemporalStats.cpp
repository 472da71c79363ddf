#include "convert/TemporalStats.h"

#include <emmintrin.h>

#include <algorithm>

#include <cmath>
#include <cstdlib>

#include "convert/SourceFrame.h"

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

SharedNeighbourJudge::SharedNeighbourJudge(FrameStoreView store,
                                           int32_t startNumber,
                                           int32_t endNumber)
    : store_(store), start_(startNumber), end_(endNumber) {
  const int32_t count = std::max(0, endNumber - startNumber + 1);
  sizes_.resize(static_cast<size_t>(count));
  for (int32_t i = 0; i < count; ++i) {
    FrameSize size;
    if (ReadFrameSize(store.frames[startNumber + i], &size).empty()) {
      sizes_[i] = size;
    } else {
      sizes_[i] = FrameSize{-1, -1, -1};
    }
  }
  const size_t entries = static_cast<size_t>(count) * kMaxNeighbours;
  bounds_ = std::make_unique<std::atomic<uint64_t>[]>(entries);
  const uint64_t unknown = uint64_t{static_cast<uint32_t>(kUnknownUpper)};
  for (size_t i = 0; i < entries; ++i) {
    bounds_[i].store(unknown, std::memory_order_relaxed);
  }
}

bool SharedNeighbourJudge::Comparable(int32_t a, int32_t b,
                                      const FrameSize& sizeOfA) const {
  if (a < start_ || a > end_ || b < start_ || b > end_) return false;
  const FrameSize& x = sizes_[a - start_];
  const FrameSize& y = sizes_[b - start_];
  return x.width >= 0 && x.width == sizeOfA.width &&
         x.height == sizeOfA.height && x.stride == sizeOfA.stride &&
         y.width == x.width && y.height == x.height && y.stride == x.stride;
}

SharedNeighbourJudge::Bounds SharedNeighbourJudge::Load(int32_t lo,
                                                        int32_t hi) const {
  const uint64_t v =
      bounds_[static_cast<size_t>(lo - start_) * kMaxNeighbours + (hi - lo - 1)]
          .load(std::memory_order_relaxed);
  return Bounds{static_cast<int32_t>(v >> 32), static_cast<int32_t>(v)};
}

void SharedNeighbourJudge::Store(int32_t lo, int32_t hi, Bounds b) {
  std::atomic<uint64_t>& slot =
      bounds_[static_cast<size_t>(lo - start_) * kMaxNeighbours + (hi - lo - 1)];
  uint64_t old = slot.load(std::memory_order_relaxed);
  for (;;) {
    // Both the stored and the new bounds are true; keep the tighter ones.
    const Bounds was{static_cast<int32_t>(old >> 32), static_cast<int32_t>(old)};
    const Bounds now{std::max(was.lower, b.lower), std::min(was.upper, b.upper)};
    const uint64_t v = uint64_t{static_cast<uint32_t>(now.lower)} << 32 |
                       uint64_t{static_cast<uint32_t>(now.upper)};
    if (v == old ||
        slot.compare_exchange_weak(old, v, std::memory_order_relaxed)) {
      return;
    }
  }
}

bool SharedNeighbourJudge::Qualifies(int32_t n, int32_t m,
                                     const FrameSize& sizeOfN, int32_t limit) {
  const int32_t lo = std::min(n, m);
  const int32_t hi = std::max(n, m);
  if (limit < 0 || hi - lo > kMaxNeighbours || lo == hi ||
      !Comparable(n, m, sizeOfN)) {
    return WithinDifference(store_.frames[n], store_.frames[m], sizeOfN, limit);
  }
  const Bounds own = Load(lo, hi);
  if (own.upper <= limit) return true;
  if (own.lower > limit) return false;
  // Through any frame c within reach of both: d(lo, hi) is at most
  // U(lo, c) + U(c, hi) and at least L(lo, c) - U(c, hi) and
  // L(c, hi) - U(lo, c). Reading the bounds of 240 pairs costs far less
  // than one difference of 162,816 bytes.
  const int32_t first = std::max(start_, hi - kMaxNeighbours);
  const int32_t last = std::min(end_, lo + kMaxNeighbours);
  for (int32_t c = first; c <= last; ++c) {
    if (c == lo || c == hi || !Comparable(c, lo, sizeOfN)) continue;
    const Bounds x = c < lo ? Load(c, lo) : Load(lo, c);
    const Bounds y = c < hi ? Load(c, hi) : Load(hi, c);
    if (x.upper != kUnknownUpper && y.upper != kUnknownUpper &&
        int64_t{x.upper} + y.upper <= limit) {
      Store(lo, hi, Bounds{own.lower, x.upper + y.upper});
      return true;
    }
    if ((y.upper != kUnknownUpper && int64_t{x.lower} - y.upper > limit) ||
        (x.upper != kUnknownUpper && int64_t{y.lower} - x.upper > limit)) {
      return false;
    }
  }
  sums_.fetch_add(1, std::memory_order_relaxed);
  const int32_t bytes = sizeOfN.height * sizeOfN.stride;
  const int64_t sum = SumAbsDiff(store_.frames[n].data + kPixelDataOffset,
                                 store_.frames[m].data + kPixelDataOffset,
                                 bytes, limit);
  // Run to the end, the sum is exact; stopped early, it is a lower bound.
  if (sum <= limit) {
    Store(lo, hi, Bounds{static_cast<int32_t>(sum), static_cast<int32_t>(sum)});
    return true;
  }
  Store(lo, hi, Bounds{static_cast<int32_t>(sum), kUnknownUpper});
  return false;
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
