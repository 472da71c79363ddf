// Distances between the 512 colours of the 3-bit-per-channel space under a
// job's colour mode: the sum of fourth powers of the component differences
// (modes A, B, C) or of their absolute values (mode D).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "convert/FrameTypes.h"

namespace velmira {

class DistanceTable {
 public:
  DistanceTable() : entries_(kColourCount * kColourCount, 0) {}

  // Row a: distances from colour a (a weight's colour) to every colour b.
  uint32_t at(int32_t a, int32_t b) const {
    return entries_[static_cast<size_t>(a) * kColourCount + b];
  }
  const uint32_t* row(int32_t a) const {
    return entries_.data() + static_cast<size_t>(a) * kColourCount;
  }
  uint32_t* mutableRow(int32_t a) {
    return entries_.data() + static_cast<size_t>(a) * kColourCount;
  }

  // For colour a, every colour ordered by distance from a (ties by code),
  // so that the colours nearer than some bound are a prefix.
  struct Neighbour {
    uint16_t code;
    uint16_t distance;
  };
  const Neighbour* byDistance(int32_t a) const {
    return neighbours_.data() + static_cast<size_t>(a) * kColourCount;
  }

 private:
  friend void BuildDistanceTable(int32_t colourMode, DistanceTable& table);
  std::vector<uint32_t> entries_;
  std::vector<Neighbour> neighbours_;
};

void BuildDistanceTable(int32_t colourMode, DistanceTable& table);

}  // namespace velmira
