// Whole jobs through the batch driver: the fast pipeline on one worker, on
// several, and the literal pipeline write the same files, byte for byte.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>
#include <vector>

#include "job/BatchDriver.h"
#include "job/Messages.h"
#include "platform/HeadlessHost.h"
#include "support/TempDir.h"
#include "tools/SampleFrames.h"

namespace velmira::speedtest {
namespace {

using platform::HeadlessHost;
using velmira::testing::ReadFileBytes;
using velmira::testing::TempDir;

struct JobCase {
  int32_t mode;
  int32_t threshold;
  int32_t intermediate;
  int32_t width, height;
  int32_t frames;
  int32_t sceneLength;
  bool withLiteral;  // the literal search takes ~0.1 s per frame
  bool mixedSizes;   // frames 4 and 5 smaller and larger than the rest
};

// The files a job wrote, by name.
std::vector<std::pair<std::string, std::vector<uint8_t>>> RunJob(
    const TempDir& dir, const JobCase& c, int32_t workers, bool literal,
    const std::string& outName) {
  const std::string out = dir / outName;
  ::mkdir(out.c_str(), 0755);
  Session session;
  session.outputDirectory = out;
  session.workerCount = workers;
  session.literalStages = literal;
  HeadlessHost host(session.state);
  host.SetText(platform::kPathBox, dir / "frames/f0000.bmp");
  host.SetText(platform::kStartBox, "2");
  host.SetText(platform::kEndBox, std::to_string(2 + c.frames - 1));
  host.SetText(platform::kOffsetBox, "10");
  host.Check(platform::kModeA + c.mode);
  host.Check(c.threshold == 0   ? platform::kThreshold0
             : c.threshold == 1 ? platform::kThreshold1
             : c.threshold == 2 ? platform::kThreshold2
                                : platform::kThreshold4);
  host.Check(c.intermediate ? platform::kIntermediateOn : platform::kIntermediateOff);
  host.clockScript = {0, 50, 101, 300, 301, 450};  // a few progress points
  RunConversion(host, session);
  EXPECT_EQ(host.boxes.size(), 1u);
  if (!host.boxes.empty()) {
    EXPECT_EQ(host.boxes.back().text, messages::kFinished);
  }
  std::vector<std::pair<std::string, std::vector<uint8_t>>> files;
  for (const std::string& name : TempDir::List(out)) {
    files.emplace_back(name, ReadFileBytes(out + "/" + name));
  }
  return files;
}

TEST(WholeJob, FastOnOneAndSeveralWorkersAndLiteralWriteTheSameBytes) {
  const JobCase cases[] = {
      {0, 1, 1, 64, 40, 6, 3, true, false},     // the goal's settings
      {3, 4, 0, 32, 16, 5, 0, true, false},     // mode D, long still scene
      {0, 4, 1, 64, 40, 6, 0, true, true},      // sizes change mid-job
      {1, 0, 1, 48, 20, 10, 3, false, false},   // mode B, exact repeats only
      {2, 2, 1, 256, 212, 5, 2, false, false},  // mode C, full size
      {0, 4, 1, 20, 8, 30, 11, false, false},   // many neighbours each side
      {2, 1, 0, 128, 60, 12, 0, false, true},
  };
  for (const JobCase& c : cases) {
    TempDir dir;
    ::mkdir((dir / "frames").c_str(), 0755);
    ASSERT_TRUE(samples::WriteAnimation(dir / "frames/f", 2, 2 + c.frames - 1,
                                        c.width, c.height, 17, c.sceneLength));
    if (c.mixedSizes) {
      ASSERT_TRUE(samples::WriteFile(dir / "frames/f0004.bmp",
                                     samples::AnimationFrame(4, c.width / 2, c.height / 2, 17, 0)));
      ASSERT_TRUE(samples::WriteFile(dir / "frames/f0005.bmp",
                                     samples::AnimationFrame(5, c.width + 4, c.height + 8, 17, 0)));
    }
    const auto one = RunJob(dir, c, 1, false, "one");
    ASSERT_EQ(one.size(), static_cast<size_t>(2 * c.frames));
    EXPECT_EQ(RunJob(dir, c, 3, false, "three"), one) << "mode " << c.mode;
    if (c.withLiteral) {
      EXPECT_EQ(RunJob(dir, c, 1, true, "literal"), one) << "mode " << c.mode;
    }
  }
}

}  // namespace
}  // namespace velmira::speedtest
