// The shared neighbour judge (pair bounds kept for the whole job) against
// the literal byte-by-byte difference: every decision and every
// accumulated histogram, for all thresholds, in scan order, in random order
// and from two threads at once.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "convert/SourceFrame.h"
#include "convert/TemporalStats.h"
#include "convert/reference/LiteralStages.h"

namespace velmira::speedtest {
namespace {

constexpr int32_t kW = 16, kH = 6, kBytes = 3 * kW * kH;

std::vector<uint8_t> Header(int32_t w, int32_t h, size_t length) {
  std::vector<uint8_t> f(length, 0);
  WriteInt32LE(f.data() + 18, w);
  WriteInt32LE(f.data() + 22, h);
  return f;
}

// A job's frames with everything the judge must tell apart: still runs
// with noise of several strengths, exact repeats, slow drift, scene cuts,
// a neighbour exactly at the limit and one a single step above it, and
// frames of other sizes (a shorter file, and a wider one that holds more
// than the picture of its neighbours).
struct Sequence {
  int32_t start = 3;
  std::vector<std::vector<uint8_t>> bytes;
  std::vector<LoadedFrame> frames;
  std::vector<ColourHistogram> histograms;

  Sequence(uint32_t seed, int32_t count, int32_t threshold) {
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> byte(0, 150), pick(0, 99);
    bytes.resize(static_cast<size_t>(start + count));
    std::vector<uint8_t> base(kBytes);
    for (uint8_t& b : base) b = static_cast<uint8_t>(byte(rng));
    const int32_t limitStep = 16 * threshold;  // per byte, exactly the limit
    for (int32_t i = 0; i < count; ++i) {
      std::vector<uint8_t> f = Header(kW, kH, 54 + kBytes);
      const int r = pick(rng);
      if (r < 4) {  // scene cut
        for (uint8_t& b : base) b = static_cast<uint8_t>(byte(rng));
      }
      int amplitude = r < 30 ? 0 : r < 60 ? 1 : r < 85 ? 3 : r < 95 ? 12 : 40;
      std::uniform_int_distribution<int> noise(-amplitude, amplitude);
      for (int32_t k = 0; k < kBytes; ++k) {
        f[54 + k] = static_cast<uint8_t>(std::clamp(base[k] + noise(rng), 0, 255));
      }
      if (r >= 96) {  // a slow drift of the scene itself
        for (uint8_t& b : base) b = static_cast<uint8_t>(std::min(255, b + 1));
      }
      bytes[start + i] = std::move(f);
    }
    // Exactly at the limit of the frame before, then one step above it.
    for (int32_t at : {count / 3, 2 * count / 3}) {
      if (at + 2 >= count) continue;
      std::vector<uint8_t>& before = bytes[start + at];
      std::vector<uint8_t> equal = before, above = before;
      for (int32_t k = 0; k < kBytes; ++k) {
        equal[54 + k] = static_cast<uint8_t>(before[54 + k] + limitStep);
        above[54 + k] = equal[54 + k];
      }
      above[54] = static_cast<uint8_t>(above[54] + 1);
      bytes[start + at + 1] = equal;
      bytes[start + at + 2] = above;
    }
    // Other sizes: a smaller frame (its file is too short for the others'
    // pictures) and a wider one (its file holds more than they read).
    if (count > 10) {
      std::vector<uint8_t> small = Header(kW, kH - 2, 54 + 3 * kW * (kH - 2));
      std::copy(bytes[start + 8].begin() + 54, bytes[start + 8].begin() + 54 + 3 * kW * (kH - 2),
                small.begin() + 54);
      bytes[start + 9] = small;
      std::vector<uint8_t> wide = Header(kW + 4, kH, 54 + 3 * (kW + 4) * kH);
      std::copy(bytes[start + 10].begin() + 54, bytes[start + 10].end(), wide.begin() + 54);
      bytes[start + 11] = wide;
    }
    frames.resize(bytes.size());
    histograms.resize(bytes.size());
    PixelGrid grid{};
    for (int32_t n = start; n < start + count; ++n) {
      frames[n] = LoadedFrame{bytes[n].data(), static_cast<int32_t>(bytes[n].size())};
      FrameSize size;
      EXPECT_TRUE(ReadFrameSize(frames[n], &size).empty());
      DecodeFrame(frames[n], size, grid);
      CountColours(size, grid, histograms[n]);
    }
  }
  int32_t end() const { return static_cast<int32_t>(bytes.size()) - 1; }
  FrameStoreView store() const { return {frames.data(), histograms.data()}; }
  FrameSize SizeOf(int32_t n) const {
    FrameSize s;
    ReadFrameSize(frames[n], &s);
    return s;
  }
};

const int32_t kThresholds[] = {0, 1, 2, 4};

TEST(SharedNeighbourJudge, AccumulatedHistogramsEqualLiteralForEveryFrame) {
  for (int32_t k : kThresholds) {
    for (uint32_t seed : {1u, 2u, 3u}) {
      const Sequence seq(seed * 10 + static_cast<uint32_t>(k), 300, k);
      SharedNeighbourJudge shared(seq.store(), seq.start, seq.end());
      reference::LiteralNeighbourJudge literal(seq.store());
      for (int32_t n = seq.start; n <= seq.end(); ++n) {
        AccumulatedHistogram a{}, b{};
        const FrameSize size = seq.SizeOf(n);
        BuildAccumulatedHistogram(seq.store(), shared, n, seq.start, seq.end(), k, size, a);
        BuildAccumulatedHistogram(seq.store(), literal, n, seq.start, seq.end(), k, size, b);
        ASSERT_EQ(a, b) << "k " << k << " seed " << seed << " frame " << n;
      }
    }
  }
}

// Every pair within reach, asked in a random order (the bounds then come
// from whatever was learnt before), against the literal decision.
TEST(SharedNeighbourJudge, DecisionsEqualLiteralInAnyOrder) {
  for (int32_t k : kThresholds) {
    const Sequence seq(100 + static_cast<uint32_t>(k), 160, k);
    std::vector<std::pair<int32_t, int32_t>> pairs;
    for (int32_t n = seq.start; n <= seq.end(); ++n) {
      for (int32_t m = std::max(seq.start, n - kMaxNeighbours);
           m <= std::min(seq.end(), n + kMaxNeighbours); ++m) {
        if (m != n) pairs.emplace_back(n, m);
      }
    }
    std::mt19937 rng(7);
    std::shuffle(pairs.begin(), pairs.end(), rng);
    SharedNeighbourJudge shared(seq.store(), seq.start, seq.end());
    reference::LiteralNeighbourJudge literal(seq.store());
    for (const auto& [n, m] : pairs) {
      const FrameSize size = seq.SizeOf(n);
      const int32_t limit = DifferenceLimit(size, k);
      ASSERT_EQ(shared.Qualifies(n, m, size, limit), literal.Qualifies(n, m, size, limit))
          << "k " << k << " pair " << n << ", " << m;
    }
  }
}

TEST(SharedNeighbourJudge, TwoThreadsSharingOneJudgeGetLiteralHistograms) {
  for (int32_t k : {1, 4}) {
    const Sequence seq(500 + static_cast<uint32_t>(k), 260, k);
    SharedNeighbourJudge shared(seq.store(), seq.start, seq.end());
    std::vector<AccumulatedHistogram> got(seq.bytes.size());
    auto work = [&](int32_t first) {
      for (int32_t n = seq.start + first; n <= seq.end(); n += 2) {
        BuildAccumulatedHistogram(seq.store(), shared, n, seq.start, seq.end(), k,
                                  seq.SizeOf(n), got[n]);
      }
    };
    std::thread other(work, 1);
    work(0);
    other.join();
    reference::LiteralNeighbourJudge literal(seq.store());
    for (int32_t n = seq.start; n <= seq.end(); ++n) {
      AccumulatedHistogram want{};
      BuildAccumulatedHistogram(seq.store(), literal, n, seq.start, seq.end(), k,
                                seq.SizeOf(n), want);
      ASSERT_EQ(got[n], want) << "k " << k << " frame " << n;
    }
  }
}

// The plain SIMD difference with its early exit, on picture sizes whose
// byte counts are not multiples of the 16-byte step, at the limit itself.
TEST(WithinDifference, AgreesWithLiteralDifferenceAroundTheLimit) {
  std::mt19937 rng(9);
  std::uniform_int_distribution<int> byte(0, 255);
  for (int32_t w : {4, 8, 20, 100, 256}) {
    for (int32_t h : {1, 3, 212}) {
      const size_t length = 54 + static_cast<size_t>(3 * w * h);
      std::vector<uint8_t> a = Header(w, h, length), b = Header(w, h, length);
      for (size_t i = 54; i < length; ++i) {
        a[i] = static_cast<uint8_t>(byte(rng));
        b[i] = static_cast<uint8_t>(byte(rng));
      }
      const LoadedFrame fa{a.data(), static_cast<int32_t>(length)};
      const LoadedFrame fb{b.data(), static_cast<int32_t>(length)};
      const FrameSize size{w, h, 3 * w};
      const int32_t d = reference::FrameDifferenceLiteral(fa, fb, size);
      ASSERT_EQ(FrameDifference(fa, fb, size), d);
      for (int32_t limit : {0, d - 1, d, d + 1}) {
        if (limit < 0) continue;
        EXPECT_EQ(WithinDifference(fa, fb, size, limit), d <= limit)
            << w << "x" << h << " limit " << limit;
      }
    }
  }
}

}  // namespace
}  // namespace velmira::speedtest
