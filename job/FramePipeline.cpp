#include "job/FramePipeline.h"

#include "convert/FlatnessMap.h"
#include "convert/PaletteSearch.h"
#include "convert/SourceFrame.h"
#include "convert/reference/LiteralStages.h"

namespace velmira {
namespace {

template <typename Search, typename Judge>
std::string Convert(const JobContext& job, Judge& judge, int32_t m,
                    FrameWork& work, Search search) {
  const JobSettings& s = *job.settings;
  const LoadedFrame& frame = job.store.frames[m];
  // The canvas and the index image hold their exact sizes; clearing them
  // whole leaves nothing of an earlier, larger frame.
  for (auto& row : work.canvas) row.fill(0);
  for (auto& row : work.index) row.fill(0);
  work.preview.fill(0);
  StartPreviewBitmap(frame, work.preview);
  work.palette.Reset();
  if (std::string m1 = ReadFrameSize(frame, &work.size); !m1.empty()) {
    return m1;
  }
  DecodeFrame(frame, work.size, work.grid);
  BuildFlatnessMap(work.size, work.grid, s.IntermediateColours, work.flatness);
  BuildAccumulatedHistogram(job.store, judge, m, s.startNumber, s.endNumber,
                            s.SequenceThreshold, work.size, work.weights);
  ApplyColourMode(s.ColourMode, work.weights);
  search(work.weights, *job.table, work.palette);
  ExpandPalette(work.palette);
  DitherPairs(work.size, work.grid, work.flatness, work.palette, work.index);
  PaintPreviewCanvas(work.size, work.index, work.palette, work.canvas);
  EncodeScreen5Image(work.index, work.palette, work.image);
  work.previewLength = FinishPreviewBitmap(work.size, work.canvas, work.preview);
  return {};
}

}  // namespace

std::string ConvertFrame(const JobContext& job, NeighbourJudge& judge,
                         int32_t m, FrameWork& work) {
  return Convert(job, judge, m, work, SearchPalette);
}

std::string ConvertFrameLiteral(const JobContext& job, int32_t m,
                                FrameWork& work) {
  reference::LiteralNeighbourJudge judge(job.store);
  return Convert(job, judge, m, work, reference::SearchPaletteLiteral);
}

}  // namespace velmira
