// Temporal colour statistics: a frame's palette weights are its own colour
// counts plus those of similar neighbouring frames (up to 120 on each side,
// nearer ones weighing more), then reshaped for colour modes B and C.
//
// The neighbour scan stops at the first dissimilar frame in each direction:
// a frame beyond it is never reached, even when it resembles the frame again.
#pragma once

#include <cstdint>
#include <vector>

#include "convert/FrameTypes.h"

namespace velmira {

inline constexpr int32_t kMaxNeighbours = 120;

// What pass 1 leaves for pass 2: every frame's bytes and histogram, both
// indexed by source frame number. Read-only during pass 2.
struct FrameStoreView {
  const LoadedFrame* frames = nullptr;          // [frame number]
  const ColourHistogram* histograms = nullptr;  // [frame number]
};

// Limit of the consecutive-image judgement: 48 * W * H * k.
int32_t DifferenceLimit(const FrameSize& size, int32_t sequenceThreshold);

// Sum of absolute byte differences over the picture bytes of frame n,
// both files read at frame n's offsets. A neighbour whose file is too short
// for frame n's picture reports -1: it can never qualify.
int32_t FrameDifference(const LoadedFrame& n, const LoadedFrame& m,
                        const FrameSize& sizeOfN);

// True when the neighbour qualifies: its difference is at most the limit.
// Stops summing as soon as the limit is passed.
bool WithinDifference(const LoadedFrame& n, const LoadedFrame& m,
                      const FrameSize& sizeOfN, int32_t limit);

// Decides for frame n which neighbours qualify in each direction. The fast
// judge shares work between frames of a job; the plain one compares every
// pair from scratch. Both give the same decisions.
class NeighbourJudge {
 public:
  virtual ~NeighbourJudge() = default;
  virtual bool Qualifies(int32_t n, int32_t m, const FrameSize& sizeOfN,
                         int32_t limit) = 0;
};

class PlainNeighbourJudge final : public NeighbourJudge {
 public:
  explicit PlainNeighbourJudge(FrameStoreView store) : store_(store) {}
  bool Qualifies(int32_t n, int32_t m, const FrameSize& sizeOfN,
                 int32_t limit) override {
    return WithinDifference(store_.frames[n], store_.frames[m], sizeOfN,
                            limit);
  }

 private:
  FrameStoreView store_;
};

void BuildAccumulatedHistogram(FrameStoreView store, NeighbourJudge& judge,
                               int32_t n, int32_t startNumber,
                               int32_t endNumber, int32_t sequenceThreshold,
                               const FrameSize& sizeOfN,
                               AccumulatedHistogram& weights);

// Mode B: trunc(ln(h^5 + 1) * 100), h^5 multiplied left to right in double.
// Mode C: trunc(sqrt(h) * 100). Modes A and D: unchanged.
void ApplyColourMode(int32_t colourMode, AccumulatedHistogram& weights);

}  // namespace velmira
