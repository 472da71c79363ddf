#include "convert/reference/LiteralStages.h"

#include <cstdlib>
#include <limits>

namespace velmira::reference {

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
