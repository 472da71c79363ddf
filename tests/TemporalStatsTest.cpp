#include "convert/TemporalStats.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "convert/reference/LiteralStages.h"

namespace velmira {
namespace {

// A small job's frame store: every frame a 4 x 1 picture unless told
// otherwise, every histogram chosen by the test.
class Store {
 public:
  explicit Store(int32_t count)
      : files_(count, Picture(4, 1, 0)), frames_(count), histograms_(count) {
    for (auto& h : histograms_) h.fill(0);
  }
  static std::vector<uint8_t> Picture(int32_t w, int32_t h, uint8_t fill) {
    std::vector<uint8_t> f(54 + static_cast<size_t>(3 * w * h), fill);
    WriteInt32LE(f.data() + 18, w);
    WriteInt32LE(f.data() + 22, h);
    return f;
  }
  std::vector<uint8_t>& file(int32_t n) { return files_[n]; }
  ColourHistogram& histogram(int32_t n) { return histograms_[n]; }

  FrameStoreView View() {
    for (size_t i = 0; i < files_.size(); ++i) {
      frames_[i] = {files_[i].data(), static_cast<int32_t>(files_[i].size())};
    }
    return FrameStoreView{frames_.data(), histograms_.data()};
  }

  AccumulatedHistogram Accumulate(int32_t n, int32_t start, int32_t end,
                                  int32_t k, FrameSize size = {4, 1, 12}) {
    const FrameStoreView view = View();
    AccumulatedHistogram fast, literal;
    PlainNeighbourJudge plain(view);
    reference::LiteralNeighbourJudge reference(view);
    BuildAccumulatedHistogram(view, plain, n, start, end, k, size, fast);
    BuildAccumulatedHistogram(view, reference, n, start, end, k, size, literal);
    EXPECT_EQ(fast, literal) << "frame " << n;
    return fast;
  }

 private:
  std::vector<std::vector<uint8_t>> files_;
  std::vector<LoadedFrame> frames_;
  std::vector<ColourHistogram> histograms_;
};

TEST(AccumulatedHistogram, NearerNeighboursWeighMore) {
  Store store(5);
  for (int32_t n = 0; n < 5; ++n) store.histogram(n)[7] = 100;
  // 100 + 2 * (100 + 23,900 / 240)
  EXPECT_EQ(store.Accumulate(2, 0, 4, 1)[7], 498);
  // A single-frame job: the frame's own counts.
  EXPECT_EQ(store.Accumulate(2, 2, 2, 1)[7], 100);
}

TEST(AccumulatedHistogram, SharesAreTruncatedPerBin) {
  Store store(4);
  store.histogram(1)[3] = 1;    // distance 1 from frame 0: adds 1
  store.histogram(2)[3] = 1;    // distance 2: 239/240 truncates to 0
  store.histogram(3)[9] = 240;  // distance 3: adds 241 - 3
  const auto w = store.Accumulate(0, 0, 3, 1);
  EXPECT_EQ(w[3], 1);
  EXPECT_EQ(w[9], 238);
}

TEST(AccumulatedHistogram, ScansReachAt120NeighboursAndStayInTheRange) {
  Store store(300);
  for (int32_t n = 0; n < 300; ++n) store.histogram(n)[1] = 240;
  // 240 + sum over j = 1..120 of (241 - j), once or twice.
  const int32_t oneSide = 120 * 241 - 120 * 121 / 2;
  EXPECT_EQ(store.Accumulate(150, 0, 299, 0)[1], 240 + 2 * oneSide);
  EXPECT_EQ(store.Accumulate(0, 0, 299, 0)[1], 240 + oneSide);
  EXPECT_EQ(store.Accumulate(299, 0, 299, 0)[1], 240 + oneSide);
  // Frames outside the job's range are never taken, even when identical.
  EXPECT_EQ(store.Accumulate(10, 10, 11, 0)[1], 480);
}

TEST(AccumulatedHistogram, TheFirstDissimilarNeighbourEndsItsDirection) {
  Store store(7);
  for (int32_t n = 0; n < 7; ++n) store.histogram(n)[n] = 240;
  store.file(4)[54] = 1;  // one byte off: too much for k = 0
  const auto w = store.Accumulate(3, 0, 6, 0);
  EXPECT_EQ(w[4], 0);
  EXPECT_EQ(w[5], 0) << "frame 5 equals frame 3 but lies beyond frame 4";
  EXPECT_EQ(w[2], 240);
  EXPECT_EQ(w[1], 239);
  EXPECT_EQ(w[0], 238);
}

TEST(AccumulatedHistogram, ANeighbourExactlyAtTheLimitQualifies) {
  // 4 x 1 with k = 1: the limit is 4 * 1 * 3 * 1 * 16 = 192.
  Store store(3);
  for (int32_t n = 0; n < 3; ++n) store.histogram(n)[n] = 240;
  for (int i = 0; i < 12; ++i) store.file(1)[54 + i] = 16;  // difference 192
  for (int i = 0; i < 11; ++i) store.file(2)[54 + i] = 16;
  store.file(2)[54 + 11] = 17;                               // 193
  const auto w = store.Accumulate(0, 0, 1, 1);
  EXPECT_EQ(DifferenceLimit({4, 1, 12}, 1), 192);
  EXPECT_EQ(w[1], 240);
  // From frame 2, frame 1 is 1 away and qualifies; frame 0 is 193 away.
  const auto fromTwo = store.Accumulate(2, 0, 2, 1);
  EXPECT_EQ(fromTwo[1], 240);
  EXPECT_EQ(fromTwo[0], 0) << "193 is one too many";
}

TEST(AccumulatedHistogram, NeighboursOfAnotherSizeAreReadAtTheFramesOffsets) {
  Store store(4);
  for (int32_t n = 0; n < 4; ++n) store.histogram(n)[n] = 240;
  // Frame 1 says 8 x 1 but its first 12 picture bytes match frame 0: it is
  // compared there and qualifies. Frame 3 is too short for frame 0's
  // picture: it ends the scan instead of being read past its end.
  store.file(1) = Store::Picture(8, 1, 0);
  store.file(3).resize(54 + 11);
  const auto w = store.Accumulate(0, 0, 3, 0);
  EXPECT_EQ(w[1], 240);
  EXPECT_EQ(w[2], 239);
  EXPECT_EQ(w[3], 0);
  // From frame 2 backwards: frame 1 qualifies, and so does frame 0.
  EXPECT_EQ(store.Accumulate(2, 0, 3, 0)[0], 239);
}

TEST(FrameDifference, MatchesTheByteByByteSum) {
  std::mt19937 rng(7);
  for (const auto& [w, h] : {std::pair{4, 1}, {8, 3}, {256, 212}, {100, 7}}) {
    auto a = Store::Picture(w, h, 0);
    auto b = Store::Picture(w, h, 0);
    for (size_t i = 54; i < a.size(); ++i) {
      a[i] = static_cast<uint8_t>(rng());
      b[i] = static_cast<uint8_t>(rng());
    }
    const LoadedFrame fa{a.data(), static_cast<int32_t>(a.size())};
    const LoadedFrame fb{b.data(), static_cast<int32_t>(b.size())};
    const FrameSize size{w, h, 3 * w};
    const int32_t literal = reference::FrameDifferenceLiteral(fa, fb, size);
    EXPECT_EQ(FrameDifference(fa, fb, size), literal) << w << "x" << h;
    EXPECT_TRUE(WithinDifference(fa, fb, size, literal));
    EXPECT_FALSE(WithinDifference(fa, fb, size, literal - 1));
  }
}

TEST(ApplyColourMode, ReshapesWeightsForModesBAndC) {
  const int32_t h[] = {0, 1, 2, 3, 4, 10, 100, 1000, 54272, 9850256};
  const int32_t modeB[] = {0, 69, 349, 549, 693, 1151, 2302, 3453, 5450, 8051};
  const int32_t modeC[] = {0, 100, 141, 173, 200, 316, 1000, 3162, 23296, 313851};
  for (int32_t mode = 0; mode < 4; ++mode) {
    AccumulatedHistogram w{};
    for (int i = 0; i < 10; ++i) w[i] = h[i];
    ApplyColourMode(mode, w);
    for (int i = 0; i < 10; ++i) {
      const int32_t expected = mode == 1 ? modeB[i] : mode == 2 ? modeC[i] : h[i];
      EXPECT_EQ(w[i], expected) << "mode " << mode << " h " << h[i];
    }
  }
}

}  // namespace
}  // namespace velmira
