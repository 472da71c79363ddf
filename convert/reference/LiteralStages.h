// Plain, term-by-term versions of the stages that have faster twins. They
// follow the algorithm step by step, with no shortcut, and exist so that
// tests can hold every fast path against them and the benchmark can measure
// how far the fast paths have come. Not used by the converter.
#pragma once

#include "convert/DistanceTable.h"
#include "convert/FrameTypes.h"
#include "convert/PairDither.h"
#include "convert/Palette.h"
#include "convert/TemporalStats.h"

namespace velmira::reference {

// The table's entries, every pair computed anew (the sorted neighbour lists
// of the fast search are left alone).
void BuildDistanceTableLiteral(int32_t colourMode, DistanceTable& table);

// The search exactly as described: every candidate's cost summed colour by
// colour, the minimum over the considered slots looked up per term, and the
// candidate abandoned once its running cost passes the best.
void SearchPaletteLiteral(const AccumulatedHistogram& weights,
                          const DistanceTable& table, Palette& palette);

// The frame difference summed byte by byte over the whole picture, then
// compared; the too-short neighbour check is the same as the fast one's.
int32_t FrameDifferenceLiteral(const LoadedFrame& n, const LoadedFrame& m,
                               const FrameSize& sizeOfN);

class LiteralNeighbourJudge final : public NeighbourJudge {
 public:
  explicit LiteralNeighbourJudge(FrameStoreView store) : store_(store) {}
  bool Qualifies(int32_t n, int32_t m, const FrameSize& sizeOfN,
                 int32_t limit) override;

 private:
  FrameStoreView store_;
};

// The edge map pixel by pixel: eight clamped neighbours per channel, the
// diagonal squares divided by 4 one by one, sqrt in double per channel.
void BuildFlatnessMapLiteral(const FrameSize& size, const PixelGrid& grid,
                             int32_t intermediateColours, FlatnessMap& map);

// The pair dithering pair by pair, each pixel's slot found by trying all 16
// slots in order.
void DitherPairsLiteral(const FrameSize& size, const PixelGrid& grid,
                        const FlatnessMap& flatness, const Palette& palette,
                        IndexImage& index);

}  // namespace velmira::reference
