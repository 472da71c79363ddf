// The edge map: for every pixel, how strongly it differs from its eight
// neighbours, folded into the weight 255 - edge (0..254) that says how much
// of its partner's colour error the pair dithering may hand it. All zero with
// intermediate colours off.
#pragma once

#include "convert/FrameTypes.h"

namespace velmira {

// Eight pixels at a time in 16-bit lanes: the squares by pmaddwd, the
// divisions by multiply and shift, the root in single precision (see
// FlatnessMap.cpp for why each is exact).
void BuildFlatnessMap(const FrameSize& size, const PixelGrid& grid,
                      int32_t intermediateColours, FlatnessMap& map);

// The channel strength the map uses, for S' = S * weight / 5 + 1 (1 to
// 260,100): trunc(sqrt(S') * 3.0), at most 511. For the tests.
void EdgeStrengths(const int32_t* scaled, int32_t n, int32_t* out);

}  // namespace velmira
