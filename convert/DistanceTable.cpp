#include "convert/DistanceTable.h"

#include <algorithm>
#include <cstdlib>

namespace velmira {

void BuildDistanceTable(int32_t colourMode, DistanceTable& table) {
  for (int32_t a = 0; a < kColourCount; ++a) {
    uint32_t* row = table.mutableRow(a);
    for (int32_t b = 0; b < kColourCount; ++b) {
      const int32_t dr = RedOf(a) - RedOf(b);
      const int32_t dg = GreenOf(a) - GreenOf(b);
      const int32_t db = BlueOf(a) - BlueOf(b);
      const int32_t d = colourMode == 3
                            ? std::abs(dr) + std::abs(dg) + std::abs(db)
                            : dr * dr * dr * dr + dg * dg * dg * dg +
                                  db * db * db * db;
      row[b] = static_cast<uint32_t>(d);
    }
  }
  table.neighbours_.resize(static_cast<size_t>(kColourCount) * kColourCount);
  for (int32_t a = 0; a < kColourCount; ++a) {
    DistanceTable::Neighbour* list =
        table.neighbours_.data() + static_cast<size_t>(a) * kColourCount;
    for (int32_t b = 0; b < kColourCount; ++b) {
      list[b] = {static_cast<uint16_t>(b),
                 static_cast<uint16_t>(table.at(a, b))};
    }
    std::stable_sort(list, list + kColourCount,
                     [](const auto& x, const auto& y) {
                       return x.distance < y.distance;
                     });
  }
}

}  // namespace velmira
