// The edge map: for every pixel, how strongly it differs from its eight
// neighbours, folded into the weight 255 - edge (0..254) that says how much
// of its partner's colour error the pair dithering may hand it. All zero with
// intermediate colours off.
#pragma once

#include "convert/FrameTypes.h"

namespace velmira {

void BuildFlatnessMap(const FrameSize& size, const PixelGrid& grid,
                      int32_t intermediateColours, FlatnessMap& map);

}  // namespace velmira
