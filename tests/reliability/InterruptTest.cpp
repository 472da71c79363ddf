// Ctrl-C and SIGTERM on velmira-cli: the first asks for a cancel, seen at a
// progress point; a second ends the process at once. Either way the job
// ends with 中止しました and status 130, and no partial or temporary file
// remains.
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "Child.h"
#include "cli/Interrupts.h"
#include "job/Messages.h"
#include "platform/FileSystem.h"
#include "support/TempDir.h"
#include "tools/SampleFrames.h"

namespace velmira {
namespace {

using reliability::Child;
using reliability::CliPath;
using testing::FileExists;
using testing::ReadFileBytes;
using testing::TempDir;

const std::string kCancelledLine = std::string(messages::kCancelled) + "\n";

// `count` frame numbers of 256 x 212 frames: ten distinct pictures, linked
// under the other numbers so that the sequence costs little disk.
void WriteLongSequence(const TempDir& dir, int count) {
  ::mkdir((dir / "frames").c_str(), 0755);
  ::mkdir((dir / "out").c_str(), 0755);
  ASSERT_TRUE(samples::WriteAnimation(dir / "frames/f", 0, 9, 256, 212, 11, 0));
  for (int i = 10; i < count; ++i) {
    const std::string from = dir / ("frames/f000" + std::to_string(i % 10) + ".bmp");
    char to[64];
    std::snprintf(to, sizeof to, "frames/f%04d.bmp", i);
    ASSERT_EQ(::link(from.c_str(), (dir / to).c_str()), 0);
  }
}

bool WaitForFile(const std::string& path, int timeoutMs) {
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (std::chrono::steady_clock::now() < deadline) {
    if (FileExists(path)) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return false;
}

// What an interrupted job may leave: complete images and previews only.
void ExpectOnlyCompleteOutputs(const std::string& out, bool inPairs,
                               int frameCount) {
  int images = 0;
  for (const auto& name : TempDir::List(out)) {
    EXPECT_EQ(name.find(".tmp"), std::string::npos) << "temporary file " << name;
    const size_t size = ReadFileBytes(out + "/" + name).size();
    if (name.size() == 8 && name.substr(4) == ".S05") {
      ++images;
      EXPECT_EQ(size, 30375u) << name;
      if (inPairs) {
        EXPECT_TRUE(FileExists(out + "/TES_" + name.substr(0, 4) + ".bmp")) << name;
      }
    } else if (name.rfind("TES_", 0) == 0) {
      EXPECT_EQ(size, 54u + 512 * 424 * 3) << name;
      if (inPairs) {
        EXPECT_TRUE(FileExists(out + "/" + name.substr(4, 4) + ".S05")) << name;
      }
    } else {
      ADD_FAILURE() << "unexpected " << name;
    }
  }
  EXPECT_LT(images, frameCount) << "the job was stopped before its end";
}

struct SignalCase {
  const char* name;
  std::vector<int> signals;  // sent one right after another
};

class InterruptedJob : public ::testing::TestWithParam<SignalCase> {};

TEST_P(InterruptedJob, EndsCancelledWithOnlyCompleteFiles) {
  const SignalCase& c = GetParam();
  constexpr int kFrames = 300;
  TempDir dir;
  WriteLongSequence(dir, kFrames);
  ASSERT_FALSE(HasFatalFailure());
  Child cli({CliPath(), dir / "frames/f0000.bmp", "--end", std::to_string(kFrames - 1),
             "--output-dir", dir / "out", "--quiet"});
  // Pass 2 is under way once the first image is there.
  ASSERT_TRUE(WaitForFile(dir / "out/0000.S05", 60000));
  for (int sig : c.signals) cli.Signal(sig);
  const auto r = cli.Wait(60000);

  ASSERT_TRUE(r.exited) << "ended by signal " << r.signal
                        << (r.timedOut ? " (still running)" : "");
  EXPECT_EQ(r.status, 130);
  EXPECT_EQ(r.stderrText, kCancelledLine);
  ExpectOnlyCompleteOutputs(dir / "out", c.signals.size() == 1, kFrames);
}

INSTANTIATE_TEST_SUITE_P(
    Signals, InterruptedJob,
    ::testing::Values(SignalCase{"ctrl_c", {SIGINT}},
                      SignalCase{"sigterm", {SIGTERM}},
                      SignalCase{"ctrl_c_twice", {SIGINT, SIGINT}},
                      SignalCase{"sigterm_twice", {SIGTERM, SIGTERM}},
                      SignalCase{"ctrl_c_then_sigterm", {SIGINT, SIGTERM}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(InterruptWhileLoading, EndsCancelledBeforeAnyOutput) {
  constexpr int kFrames = 600;  // loading takes a good part of a second
  TempDir dir;
  WriteLongSequence(dir, kFrames);
  ASSERT_FALSE(HasFatalFailure());
  Child cli({CliPath(), dir / "frames/f0000.bmp", "--end", std::to_string(kFrames - 1),
             "--output-dir", dir / "out", "--quiet"});
  ASSERT_TRUE(cli.WaitUntilCatching(SIGINT, 10000));
  cli.Signal(SIGINT);
  const auto r = cli.Wait(60000);
  ASSERT_TRUE(r.exited) << "ended by signal " << r.signal;
  EXPECT_EQ(r.status, 130);
  EXPECT_EQ(r.stderrText, kCancelledLine);
  EXPECT_TRUE(TempDir::List(dir / "out").empty());
}

// A closed pipe as stderr (the reader went away) costs the message only:
// the job still writes every output and ends normally.
TEST(UnreadStderr, DoesNotStopTheJob) {
  TempDir dir;
  ::mkdir((dir / "out").c_str(), 0755);
  ASSERT_TRUE(samples::WriteAnimation(dir / "f", 0, 2, 16, 12, 3, 0));
  reliability::ChildOptions options;
  options.stderrUnread = true;
  const auto r = reliability::RunChild(
      {CliPath(), dir / "f0000.bmp", "--end", "2", "--output-dir", dir / "out"},
      options);
  ASSERT_TRUE(r.exited) << "ended by signal " << r.signal;
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(TempDir::List(dir / "out").size(), 6u);
}

// The second signal in the middle of an output's write, made certain: the
// write itself sends both, after half the bytes. The real handlers and the
// command line's table of temporary files are in place, as in velmira-cli.
class SignalsHalfwayThrough : public platform::FileSystem {
 public:
  explicit SignalsHalfwayThrough(std::vector<int> signals) : signals_(std::move(signals)) {}

 protected:
  int64_t WriteUpTo(int fd, const void* data, int64_t n) override {
    const int64_t half = FileSystem::WriteUpTo(fd, data, n / 2);
    for (int sig : signals_) ::kill(::getpid(), sig);  // delivered before kill returns
    return half;
  }

 private:
  std::vector<int> signals_;
};

class SecondSignalDuringAWrite : public ::testing::TestWithParam<SignalCase> {};

TEST_P(SecondSignalDuringAWrite, RemovesTheHalfWrittenFileAndKeepsTheOldOne) {
  TempDir dir;
  const std::vector<uint8_t> old = {'o', 'l', 'd'};
  ASSERT_TRUE(samples::WriteFile(dir / "0001.S05", old));
  const std::vector<uint8_t> image(30375, 0x11);
  const std::string errPath = dir.path() + ".stderr";

  const pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ::dup2(err, STDERR_FILENO);
    cli::InstallInterruptHandlers();
    SignalsHalfwayThrough fs(GetParam().signals);
    fs.ReplaceFile(dir / "0001.S05", image.data(), 30375, &cli::TempTable());
    ::_exit(3);  // the handler should have ended the process already
  }
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
  EXPECT_EQ(WEXITSTATUS(status), 130);
  const std::vector<uint8_t> err = ReadFileBytes(errPath);
  ::unlink(errPath.c_str());
  EXPECT_EQ(std::string(err.begin(), err.end()), kCancelledLine);
  EXPECT_EQ(ReadFileBytes(dir / "0001.S05"), old);
  EXPECT_EQ(dir.List(), std::vector<std::string>{"0001.S05"});
}

INSTANTIATE_TEST_SUITE_P(
    Signals, SecondSignalDuringAWrite,
    ::testing::Values(SignalCase{"ctrl_c_twice", {SIGINT, SIGINT}},
                      SignalCase{"sigterm_twice", {SIGTERM, SIGTERM}},
                      SignalCase{"sigterm_then_ctrl_c", {SIGTERM, SIGINT}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace velmira
