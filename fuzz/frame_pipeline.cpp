// Any bytes through the whole conversion of pass 2, as the batch driver runs
// it: up to four frames made from the input go through pass 1's checks and
// counting, then each accepted range is converted frame by frame (neighbour
// scans, palette search, dithering, both encoders) under every option.
//
// Input: byte 0 chooses the options and the number of frames; bytes 1-3
// say how each further frame differs from the first (cut short, or every
// pixel byte changed); the rest is the first frame's file.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "convert/DistanceTable.h"
#include "convert/FrameTypes.h"
#include "fuzz/Check.h"
#include "convert/SourceFrame.h"
#include "convert/TemporalStats.h"
#include "job/FramePipeline.h"
#include "job/JobSettings.h"
#include "output/PreviewBitmap.h"
#include "output/Screen5Image.h"

namespace {

using namespace velmira;
using fuzz::Check;

constexpr int kMaxFrames = 4;
constexpr int32_t kThresholds[4] = {0, 1, 2, 4};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4) return 0;
  const uint8_t options = data[0];
  JobSettings settings;
  settings.startNumber = 0;
  settings.endNumber = options >> 6;  // 1 to 4 frames
  settings.outputOffset = 0;
  settings.ColourMode = options & 3;
  settings.SequenceThreshold = kThresholds[(options >> 2) & 3];
  settings.IntermediateColours = (options >> 4) & 1;

  // Every frame is its own block, exactly as long as its file, so that
  // AddressSanitizer sees any read past its end.
  std::vector<std::vector<uint8_t>> files;
  files.emplace_back(data + 4, data + size);
  for (int i = 1; i <= settings.endNumber; ++i) {
    std::vector<uint8_t> file = files[0];
    const uint8_t how = data[i];
    if (how & 0x80) {
      for (size_t b = kPixelDataOffset; b < file.size(); ++b) file[b] ^= how;
    } else {
      file.resize(file.size() - std::min<size_t>(file.size(), how));
    }
    files.push_back(std::move(file));
  }
  std::vector<std::unique_ptr<uint8_t[]>> blocks;
  LoadedFrame frames[kMaxFrames];
  for (size_t i = 0; i < files.size(); ++i) {
    blocks.push_back(std::make_unique<uint8_t[]>(files[i].size()));
    std::copy(files[i].begin(), files[i].end(), blocks.back().get());
    frames[i] = LoadedFrame{blocks.back().get(),
                            static_cast<int32_t>(files[i].size())};
  }

  static auto work = std::make_unique<FrameWork>();
  static ColourHistogram histograms[kMaxFrames];
  static std::unique_ptr<DistanceTable> tables[4];

  // Pass 1: the first refused frame ends the job before any conversion.
  for (int32_t n = 0; n <= settings.endNumber; ++n) {
    if (frames[n].length == 0) return 0;  // loading refuses an empty file
    FrameSize fs;
    if (!ReadFrameSize(frames[n], &fs).empty()) return 0;
    DecodeFrame(frames[n], fs, work->grid);
    CountColours(fs, work->grid, histograms[n]);
  }

  auto& table = tables[settings.ColourMode];
  if (!table) {
    table = std::make_unique<DistanceTable>();
    BuildDistanceTable(settings.ColourMode, *table);
  }
  const JobContext job{FrameStoreView{frames, histograms}, &settings,
                       table.get()};
  PlainNeighbourJudge judge(job.store);
  for (int32_t m = 0; m <= settings.endNumber; ++m) {
    Check(ConvertFrame(job, judge, m, *work).empty(),
          "a frame pass 1 accepted converts");
    const FrameSize& fs = work->size;
    Check(work->previewLength ==
              kPixelDataOffset + 2 * fs.height * ((6 * fs.width + 3) & ~3),
          "the preview holds its own rows");
    Check(work->previewLength <= kPreviewBufferSize,
          "the preview fits its buffer");
    Check(work->image[0] == 0xFE, "the image starts with the BSAVE mark");
    for (int s = 0; s < 16; ++s) {
      const uint8_t rb = work->image[kScreen5PaletteOffset + 2 * s];
      const uint8_t g = work->image[kScreen5PaletteOffset + 2 * s + 1];
      Check((rb & 0x88) == 0 && (g & 0xF8) == 0,
            "palette entries hold 3-bit components");
    }
  }
  return 0;
}
