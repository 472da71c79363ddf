// One frame of pass 2, from its loaded bytes to the two encoded files, in
// the driver's order. Everything it changes lives in a FrameWork, so several
// frames can be converted at once, each in its own.
#pragma once

#include <memory>
#include <string>

#include "convert/DistanceTable.h"
#include "convert/FrameTypes.h"
#include "convert/Palette.h"
#include "convert/PairDither.h"
#include "convert/TemporalStats.h"
#include "job/JobSettings.h"
#include "output/PreviewBitmap.h"
#include "output/Screen5Image.h"

namespace velmira {

// The fixed work areas of one frame's conversion, sized for the largest
// picture (about 2.4 MB). Allocate once per worker and reuse.
struct FrameWork {
  PixelGrid grid{};
  FlatnessMap flatness{};
  AccumulatedHistogram weights{};
  Palette palette{};
  IndexImage index{};
  PreviewCanvas canvas{};
  PreviewBitmap preview{};
  Screen5Image image{};
  FrameSize size{};
  int32_t previewLength = 0;  // bytes of `preview` to write
};

// What stays fixed for all frames of one job.
struct JobContext {
  FrameStoreView store;
  const JobSettings* settings = nullptr;
  const DistanceTable* table = nullptr;
};

// Converts frame m into work.image and work.preview. Returns the size
// message if the frame's header is refused (empty otherwise).
std::string ConvertFrame(const JobContext& job, NeighbourJudge& judge,
                         int32_t m, FrameWork& work);

// For the reference converter used by tests and the benchmark: the same
// pipeline with every stage in its plain, literal form.
std::string ConvertFrameLiteral(const JobContext& job, int32_t m,
                                FrameWork& work);

}  // namespace velmira
