#include "job/FramePipeline.h"

#include <algorithm>

#include "convert/FlatnessMap.h"
#include "convert/PaletteSearch.h"
#include "convert/SourceFrame.h"
#include "convert/reference/LiteralStages.h"

namespace velmira {
namespace {

template <bool kLiteral>
std::string Convert(const JobContext& job, NeighbourJudge& judge, int32_t m,
                    FrameWork& work) {
  const JobSettings& s = *job.settings;
  const LoadedFrame& frame = job.store.frames[m];
  if constexpr (kLiteral) {
    for (auto& row : work.canvas) row.fill(0);
    for (auto& row : work.index) row.fill(0);
    work.preview.fill(0);
  } else {
    // Only what reaches a file needs clearing: the index image outside the
    // picture (the SCREEN 5 image packs all 256 x 212) and the preview's
    // header. The painting covers the whole picture area of the canvas, and
    // the preview file is its header and exactly those rows. Saves 1.3 MB
    // of stores per frame.
    for (auto& row : work.index) row.fill(0);
    std::fill_n(work.preview.begin(), kPixelDataOffset, uint8_t{0});
  }
  StartPreviewBitmap(frame, work.preview);
  work.palette.Reset();
  if (std::string m1 = ReadFrameSize(frame, &work.size); !m1.empty()) {
    return m1;
  }
  DecodeFrame(frame, work.size, work.grid);
  if constexpr (kLiteral) {
    reference::BuildFlatnessMapLiteral(work.size, work.grid,
                                       s.IntermediateColours, work.flatness);
  } else {
    BuildFlatnessMap(work.size, work.grid, s.IntermediateColours, work.flatness);
  }
  BuildAccumulatedHistogram(job.store, judge, m, s.startNumber, s.endNumber,
                            s.SequenceThreshold, work.size, work.weights);
  if constexpr (kLiteral) {
    // Rebuilt for every frame, as the frame's steps are written.
    thread_local auto table = std::make_unique<DistanceTable>();
    reference::BuildDistanceTableLiteral(s.ColourMode, *table);
    ApplyColourMode(s.ColourMode, work.weights);
    reference::SearchPaletteLiteral(work.weights, *table, work.palette);
  } else {
    ApplyColourMode(s.ColourMode, work.weights);
    SearchPalette(work.weights, *job.table, work.palette);
  }
  ExpandPalette(work.palette);
  if constexpr (kLiteral) {
    reference::DitherPairsLiteral(work.size, work.grid, work.flatness,
                                  work.palette, work.index);
  } else {
    DitherPairs(work.size, work.grid, work.flatness, work.palette, work.index);
  }
  PaintPreviewCanvas(work.size, work.index, work.palette, work.canvas);
  EncodeScreen5Image(work.index, work.palette, work.image);
  work.previewLength = FinishPreviewBitmap(work.size, work.canvas, work.preview);
  return {};
}

}  // namespace

std::string ConvertFrame(const JobContext& job, NeighbourJudge& judge,
                         int32_t m, FrameWork& work) {
  return Convert<false>(job, judge, m, work);
}

std::string ConvertFrameLiteral(const JobContext& job, int32_t m,
                                FrameWork& work) {
  reference::LiteralNeighbourJudge judge(job.store);
  return Convert<true>(job, judge, m, work);
}

}  // namespace velmira
