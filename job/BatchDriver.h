// The 変換 operation: a whole batch job from the dialog's settings to its
// one final message.
//
//   Session session;                 // lives as long as the program
//   MyHost host(session.state);      // a platform::Host
//   RunConversion(host, session);    // returns when the job's box is closed
//
// Pass 1 loads every frame of the range and counts its colours; the first
// failure ends the job before any output exists. Pass 2 converts and writes
// the frames in order, with a progress point (cancel test, refresh, pump) at
// most every 100 ms, after frames whose two files are written.
//
// Pass 2 may convert several frames at once (Session::workerCount), but
// files are written, progress points reached and messages shown strictly in
// frame order, exactly as when one frame is converted at a time.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "convert/FrameTypes.h"
#include "job/JobSettings.h"
#include "job/WholeFile.h"
#include "platform/Host.h"

namespace velmira {

namespace platform {
class FileSystem;
class TempFileWatcher;
}  // namespace platform

inline constexpr int32_t kFrameNumbers = 10000;

// Everything that lives as long as the program: the flags shared with the
// front end, the option values, the tracked memory and every frame number's
// colour histogram.
struct Session {
  Session();

  platform::SharedJobState state;
  JobOptions options;
  AllocationRegistry registry;
  std::vector<ColourHistogram> histograms;  // [frame number]

  // Where outputs go: empty for the current directory.
  std::string outputDirectory;
  platform::FileSystem* fileSystem;
  platform::TempFileWatcher* tempWatcher = nullptr;
  // Frames converted at once in pass 2; 1 converts on the calling thread.
  int32_t workerCount = 1;
  // Benchmark only: every stage in its literal form, one frame at a time.
  bool literalStages = false;
};

void RunConversion(platform::Host& host, Session& session);

// The number of pass-2 workers to use by default: one per core.
int32_t DefaultWorkerCount();

}  // namespace velmira
