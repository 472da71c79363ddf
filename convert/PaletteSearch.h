// The palette search: slots 1..15 chosen to minimise the sum over all 512
// colours of weight x distance to the nearest slot, by passes of coordinate
// descent (a greedy pass 0, then each slot re-chosen with the others fixed)
// until a pass changes nothing, 16 passes at most. Candidates are taken in
// increasing code order and replace the best only when strictly cheaper, so
// ties go to the lowest code.
#pragma once

#include "convert/DistanceTable.h"
#include "convert/FrameTypes.h"
#include "convert/Palette.h"

namespace velmira {

// With the palette reset, sets code, r3, g3, b3 of slots 1..15.
//
// Instead of summing 512 terms per candidate, each slot keeps for every
// weighted colour a its distance to the nearest other considered slot; a
// candidate d then only matters to the colours it is nearer to than that,
// and the cost of d is the common base minus what those colours gain. The
// sums are exact integers, so the arg-min (lowest code on ties) is the one
// the term-by-term search finds.
void SearchPalette(const AccumulatedHistogram& weights,
                   const DistanceTable& table, Palette& palette);

// The same with a chosen path for the distances to the nearest other slot:
// a scalar loop per weighted colour, or AVX2 minima along the table's rows
// (which needs a processor that has it). For the tests.
enum class SearchPath { kBest, kScalar, kAvx2 };
void SearchPaletteWith(SearchPath path, const AccumulatedHistogram& weights,
                       const DistanceTable& table, Palette& palette);

// r8 = r3 * 255 / 7 and likewise, for all 16 slots.
void ExpandPalette(Palette& palette);

}  // namespace velmira
