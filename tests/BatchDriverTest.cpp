#include "job/BatchDriver.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <set>

#include "job/Messages.h"
#include "platform/HeadlessHost.h"
#include "support/TempDir.h"
#include "tools/SampleFrames.h"

namespace velmira {
namespace {

using platform::HeadlessHost;
using Event = HeadlessHost::Event;
using testing::FileExists;
using testing::ReadFileBytes;
using testing::TempDir;

// A clock that passes 100 ms exactly after the given frames (counted from
// 0), so that those frames, and only they, reach a progress point.
std::vector<int32_t> ClockWithPointsAfter(int32_t frames, std::set<int32_t> points) {
  std::vector<int32_t> script{0};  // pass 2 begins
  int32_t t = 0;
  for (int32_t i = 0; i < frames; ++i) {
    if (points.count(i) != 0) {
      t += 101;
      script.push_back(t);  // the test after the frame
      script.push_back(t);  // the stamp after the pump
    } else {
      script.push_back(t);
    }
  }
  return script;
}

// Frames 0..count-1 of a small animation in dir/frames, outputs in dir/out.
class BatchDriverTest : public ::testing::TestWithParam<int32_t> {
 protected:
  void SetUp() override {
    ::mkdir((dir / "frames").c_str(), 0755);
    ::mkdir((dir / "out").c_str(), 0755);
    session.outputDirectory = dir / "out";
    session.workerCount = GetParam();
    host.SetText(platform::kPathBox, dir / "frames/run0000.bmp");
    host.onConvert = [this] { RunConversion(host, session); };
  }
  void WriteFrames(int32_t count, int32_t w = 16, int32_t h = 8) {
    ASSERT_TRUE(samples::WriteAnimation(dir / "frames/run", 0, count - 1, w, h, 3, 4));
  }
  void Range(int32_t start, int32_t end, int32_t offset = 0) {
    host.SetText(platform::kStartBox, std::to_string(start));
    host.SetText(platform::kEndBox, std::to_string(end));
    host.SetText(platform::kOffsetBox, std::to_string(offset));
  }
  void Run() { RunConversion(host, session); }
  bool HasOutputs(int32_t k) {
    const std::string d = FourDigits(k);
    return FileExists(dir / ("out/" + d + ".S05")) &&
           FileExists(dir / ("out/TES_" + d + ".bmp"));
  }
  std::vector<std::string> Outputs() {
    return TempDir::List(dir / "out");
  }
  void ExpectOneBox(std::string_view text, unsigned flags) {
    ASSERT_EQ(host.boxes.size(), 1u);
    EXPECT_EQ(host.boxes[0].text, text);
    EXPECT_EQ(host.boxes[0].caption, "Velmira");
    EXPECT_EQ(host.boxes[0].flags, flags);
    EXPECT_FALSE(host.boxes[0].progressWindowAlive);
  }
  void ExpectIdle() {
    EXPECT_EQ(session.state.busyFlag, 0);
    EXPECT_EQ(session.state.progressWindow, nullptr);
    EXPECT_EQ(session.registry.count(), 0);
  }

  TempDir dir;
  Session session;
  HeadlessHost host{session.state};
};

TEST_P(BatchDriverTest, ProgressCountsTheFramesBeforeTheOneJustWritten) {
  WriteFrames(10);
  Range(0, 9);
  host.clockScript = ClockWithPointsAfter(10, {0, 5, 9});
  Run();
  EXPECT_EQ(host.progressTexts, (std::vector<std::string>{
                                    "進行度0.0000%", "進行度50.0000%", "進行度90.0000%"}));
  ASSERT_EQ(host.progressPoints.size(), 3u);
  EXPECT_EQ(host.progressPoints[1].framesWritten, 6);
  EXPECT_EQ(host.progressPoints[1].frameCount, 10);
  ExpectOneBox(messages::kFinished, platform::kPlainBox);
  EXPECT_EQ(host.boxes[0].busyFlag, 1) << "busy until the box is closed";
  ExpectIdle();
  EXPECT_EQ(host.windowsCreated, 1);
  EXPECT_EQ(Outputs().size(), 20u);
}

TEST_P(BatchDriverTest, WithoutAPassing100msThereIsNoProgressPoint) {
  WriteFrames(3);
  Range(0, 2);
  host.clockScript = {0, 100};  // never strictly more than 100 ms
  host.eventsAtPump[1] = {Event::kClickCancel};
  Run();
  EXPECT_TRUE(host.progressTexts.empty());
  EXPECT_EQ(host.pumps, 0);
  ExpectOneBox(messages::kFinished, platform::kPlainBox);
}

TEST_P(BatchDriverTest, ACancelIsSeenAtTheNextProgressPoint) {
  WriteFrames(10);
  Range(0, 9, 20);
  for (Event how : {Event::kClickCancel, Event::kCloseProgress,
                    Event::kOtherCommand, Event::kClickExit,
                    Event::kDestroyDialog}) {
    for (const auto& n : Outputs()) ASSERT_EQ(::unlink((dir / ("out/" + n)).c_str()), 0);
    HeadlessHost h(session.state);
    h.texts = host.texts;
    h.clockScript = ClockWithPointsAfter(10, {0, 5, 9});
    h.eventsAtPump[1] = {how};
    RunConversion(h, session);
    ASSERT_EQ(h.boxes.size(), 1u);
    EXPECT_EQ(h.boxes[0].text, messages::kCancelled);
    EXPECT_EQ(h.boxes[0].flags, platform::kPlainBox);
    EXPECT_FALSE(h.windowAlive) << "the window went at once";
    EXPECT_EQ(h.progressTexts.size(), 1u) << "no refresh after the cancel";
    // The request waits for the point after frame 5, whose files are there.
    for (int32_t k = 20; k <= 25; ++k) EXPECT_TRUE(HasOutputs(k)) << k;
    EXPECT_EQ(Outputs().size(), 12u);
    EXPECT_FALSE(h.dialogEnded);
    ExpectIdle();
  }
}

TEST_P(BatchDriverTest, ACancelThatNoLaterPointSeesEndsAsFinished) {
  WriteFrames(10);
  Range(0, 9);
  host.clockScript = ClockWithPointsAfter(10, {0, 9});
  host.eventsAtPump[2] = {Event::kClickCancel};  // at the last point
  Run();
  ExpectOneBox(messages::kFinished, platform::kPlainBox);
  EXPECT_EQ(Outputs().size(), 20u);
  // The next job starts with the request cleared.
  host.boxes.clear();
  host.clockScript = {0};
  host.clockCalls = 0;
  Run();
  ExpectOneBox(messages::kFinished, platform::kPlainBox);
}

TEST_P(BatchDriverTest, ClosingTheDialogCancelsAndEndsItAfterTheJob) {
  WriteFrames(10);
  Range(0, 9);
  host.clockScript = ClockWithPointsAfter(10, {0, 5});
  host.eventsAtPump[1] = {Event::kCloseDialog};
  Run();
  ExpectOneBox(messages::kCancelled, platform::kPlainBox);
  EXPECT_TRUE(host.dialogEnded);
}

TEST_P(BatchDriverTest, ASecondConvertAndAQuitMessageDoNotDisturbTheJob) {
  WriteFrames(10);
  Range(0, 9);
  host.clockScript = ClockWithPointsAfter(10, {0, 5, 9});
  host.eventsAtPump[1] = {Event::kClickConvert, Event::kQuit, Event::kClickExit};
  Run();
  // The quit message ends the first pump before Exit is dispatched; Exit
  // waits for the next point, and the cancel it asks for is seen at the
  // point after that, the last frame's.
  EXPECT_TRUE(host.quitPending) << "posted again for after the job";
  ASSERT_EQ(host.boxes.size(), 1u) << "the second 変換 showed nothing";
  EXPECT_EQ(host.boxes[0].text, messages::kCancelled);
  for (int32_t k = 0; k <= 9; ++k) EXPECT_TRUE(HasOutputs(k));
}

TEST_P(BatchDriverTest, WithoutAProgressWindowTheJobRunsAndCanBeCancelled) {
  WriteFrames(10);
  Range(0, 9);
  host.failProgressWindowCreation = true;
  host.clockScript = ClockWithPointsAfter(10, {0, 5});
  host.eventsAtPump[1] = {Event::kClickExit};
  Run();
  EXPECT_TRUE(host.progressTexts.empty());
  ExpectOneBox(messages::kCancelled, platform::kPlainBox);
  for (int32_t k = 0; k <= 5; ++k) EXPECT_TRUE(HasOutputs(k));
  EXPECT_FALSE(HasOutputs(6));
}

TEST_P(BatchDriverTest, RefusalsBeforePass2WriteNothingAndOpenNoWindow) {
  WriteFrames(6);
  // Frame 4 is missing; frame 2 of a second sequence is 258 pixels wide.
  ASSERT_EQ(::unlink((dir / "frames/run0004.bmp").c_str()), 0);
  ASSERT_TRUE(samples::WriteAnimation(dir / "frames/wide", 0, 3, 16, 8, 1, 0));
  ASSERT_TRUE(samples::WriteFile(dir / "frames/wide0002.bmp",
                                 samples::AnimationFrame(0, 258, 4, 1, 0)));
  const struct {
    std::string path;
    int32_t start, end, offset;
    std::string_view message;
  } cases[] = {
      {dir / "frames/run0000.bmp", 5, 3, 0, messages::kBadRange},
      {dir / "frames/run0000.bmp", 0, 3, 7997, messages::kBadOffset},
      {dir / "frames/run0000.png", 0, 3, 0, messages::kNotBmp},
      {"a.bmp", 0, 3, 0, messages::kBadFileName},
      {dir / "frames/run0000.bmp", 0, 5, 0, messages::kFileNotFound},
      {dir / "frames/wide0000.bmp", 0, 3, 0, messages::kWidthNotMultipleOf4},
  };
  for (const auto& c : cases) {
    host.boxes.clear();
    host.SetText(platform::kPathBox, c.path);
    Range(c.start, c.end, c.offset);
    Run();
    ExpectOneBox(c.message, platform::kWarningBox);
    EXPECT_EQ(host.windowsCreated, 0);
    EXPECT_TRUE(Outputs().empty());
    ExpectIdle();
  }
}

TEST_P(BatchDriverTest, AFailedWriteEndsTheJobAndKeepsTheFramesBefore) {
  WriteFrames(5);
  Range(0, 4);
  ASSERT_EQ(::mkdir((dir / "out/0002.S05").c_str(), 0755), 0);
  Run();
  ExpectOneBox(messages::kCannotCreate, platform::kPlainBox);
  EXPECT_TRUE(HasOutputs(0));
  EXPECT_TRUE(HasOutputs(1));
  EXPECT_FALSE(FileExists(dir / "out/TES_0002.bmp"));
  EXPECT_FALSE(FileExists(dir / "out/0003.S05"));
  ExpectIdle();

  // A preview that cannot be written leaves its frame's image complete.
  ASSERT_EQ(::rmdir((dir / "out/0002.S05").c_str()), 0);
  ASSERT_EQ(::mkdir((dir / "out/TES_0003.bmp").c_str(), 0755), 0);
  host.boxes.clear();
  Run();
  ExpectOneBox(messages::kCannotCreate, platform::kPlainBox);
  EXPECT_EQ(ReadFileBytes(dir / "out/0003.S05").size(), 30375u);
  EXPECT_FALSE(FileExists(dir / "out/0004.S05"));

  // A missing output folder fails at the first write.
  session.outputDirectory = dir / "nowhere";
  host.boxes.clear();
  Run();
  ExpectOneBox(messages::kCannotCreate, platform::kPlainBox);
}

TEST_P(BatchDriverTest, OutputsAreNumberedFromTheOffset) {
  WriteFrames(6);
  Range(3, 5, 100);
  Run();
  ExpectOneBox(messages::kFinished, platform::kPlainBox);
  EXPECT_EQ(Outputs(), (std::vector<std::string>{"0100.S05", "0101.S05", "0102.S05",
                                                 "TES_0100.bmp", "TES_0101.bmp",
                                                 "TES_0102.bmp"}));
}

TEST_P(BatchDriverTest, AnInterruptWhileLoadingEndsTheJobBeforeAnyOutput) {
  WriteFrames(4);
  Range(0, 3);
  host.interruptWhileLoading = true;
  Run();
  ExpectOneBox(messages::kCancelled, platform::kPlainBox);
  EXPECT_EQ(host.windowsCreated, 0);
  EXPECT_TRUE(Outputs().empty());
  ExpectIdle();
}

INSTANTIATE_TEST_SUITE_P(Workers, BatchDriverTest, ::testing::Values(1, 2),
                         [](const auto& info) {
                           return "workers" + std::to_string(info.param);
                         });

TEST(BatchDriver, EveryWorkerCountWritesTheSameBytes) {
  TempDir dir;
  ASSERT_TRUE(samples::WriteAnimation(dir / "run", 0, 11, 64, 40, 9, 5));
  std::vector<std::vector<uint8_t>> first;
  for (int32_t workers : {1, 2, 3}) {
    const std::string out = dir / ("out" + std::to_string(workers));
    ::mkdir(out.c_str(), 0755);
    Session session;
    session.outputDirectory = out;
    session.workerCount = workers;
    HeadlessHost host(session.state);
    host.SetText(platform::kPathBox, dir / "run0000.bmp");
    host.SetText(platform::kEndBox, "11");
    host.Check(platform::kThreshold2);
    RunConversion(host, session);
    ASSERT_EQ(host.boxes.back().text, messages::kFinished);
    std::vector<std::vector<uint8_t>> files;
    for (const auto& n : TempDir::List(out)) files.push_back(ReadFileBytes(out + "/" + n));
    ASSERT_EQ(files.size(), 24u);
    if (first.empty()) {
      first = files;
    } else {
      EXPECT_TRUE(files == first) << workers << " workers";
    }
  }
}

}  // namespace
}  // namespace velmira
