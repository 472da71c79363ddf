// Any bytes as a frame file, through what pass 1 does with it: the bytes are
// written to a real file, loaded whole, checked, decoded and counted, and
// the preview header is taken over from them. Either the frame is accepted
// and every one of its pixels is counted once, or the job would end with one
// of its own messages; nothing is read outside the loaded bytes.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "convert/FrameTypes.h"
#include "fuzz/Check.h"
#include "convert/SourceFrame.h"
#include "job/Messages.h"
#include "job/WholeFile.h"
#include "output/PreviewBitmap.h"
#include "platform/FileSystem.h"

namespace {

using namespace velmira;
using fuzz::Check;

std::string folder;
std::string framePath;

void RemoveFolder() {
  ::unlink(framePath.c_str());
  ::rmdir(folder.c_str());
}

const std::string& FramePath() {
  if (framePath.empty()) {
    char pattern[] = "/tmp/velmira-fuzz-XXXXXX";
    if (::mkdtemp(pattern) == nullptr) std::abort();
    folder = pattern;
    framePath = folder + "/f0000.bmp";
    std::atexit(RemoveFolder);
  }
  return framePath;
}

bool IsLoadMessage(const std::string& m) {
  return m == messages::kFileNotFound || m == messages::kCannotOpen ||
         m == messages::kNoMemory || m == messages::kReadError;
}

bool IsSizeMessage(const std::string& m) {
  return m == messages::kWidthNotMultipleOf4 || m == messages::kPictureTooLarge;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string& path = FramePath();
  FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) std::abort();
  if (size > 0 && std::fwrite(data, 1, size, f) != size) std::abort();
  std::fclose(f);

  static AllocationRegistry registry;
  static auto grid = std::make_unique<PixelGrid>();
  static auto preview = std::make_unique<PreviewBitmap>();
  static ColourHistogram histogram;

  void* block = nullptr;
  int32_t length = -1;
  const std::string loaded = ReadWholeFile(
      registry, platform::RealFileSystem(), &block, &length, 0, path);
  if (!loaded.empty()) {
    Check(IsLoadMessage(loaded), "a loading failure has a loading message");
    Check(size == 0, "only an empty file fails to load");
    registry.TrackedAlloc(0);
    return 0;
  }
  Check(length == static_cast<int32_t>(size), "the whole file is loaded");

  const LoadedFrame frame{static_cast<const uint8_t*>(block), length};
  StartPreviewBitmap(frame, *preview);
  FrameSize fs;
  const std::string checked = ReadFrameSize(frame, &fs);
  if (checked.empty()) {
    Check(fs.width >= 0 && fs.width <= kMaxWidth && fs.width % 4 == 0,
          "an accepted width fits the screen");
    Check(fs.height >= 0 && fs.height <= kMaxHeight,
          "an accepted height fits the screen");
    DecodeFrame(frame, fs, *grid);
    CountColours(fs, *grid, histogram);
    int64_t counted = 0;
    for (int32_t c : histogram) counted += c;
    Check(counted == int64_t{fs.width} * fs.height,
          "every pixel is counted once");
  } else {
    Check(IsSizeMessage(checked), "a refused frame has a size message");
  }
  registry.TrackedAlloc(0);
  return 0;
}
