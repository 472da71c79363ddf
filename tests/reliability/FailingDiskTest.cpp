// Disks that fail: a write, close or rename that goes wrong, a read
// error while loading, a full file system, an output folder that is missing
// or may not be written, an output name taken by something else. Each ends
// the job with its message; the frames finished before stay on disk; a frame
// whose image write failed has no new file, one whose preview write failed
// has its complete image; no earlier file is destroyed and no temporary
// file remains.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "Child.h"
#include "job/BatchDriver.h"
#include "job/Messages.h"
#include "platform/FileSystem.h"
#include "platform/HeadlessHost.h"
#include "support/TempDir.h"
#include "tools/SampleFrames.h"

namespace velmira {
namespace {

using platform::HeadlessHost;
using reliability::CliPath;
using testing::FileExists;
using testing::ReadFileBytes;
using testing::TempDir;

// The six outputs of frames 0-2, in the order the job writes them.
const std::vector<std::string> kOutputs = {"0000.S05", "TES_0000.bmp",
                                           "0001.S05", "TES_0001.bmp",
                                           "0002.S05", "TES_0002.bmp"};

std::vector<uint8_t> OldBytes(const std::string& name) {
  const std::string text = "the earlier " + name + " that must survive";
  return std::vector<uint8_t>(text.begin(), text.end());
}

std::vector<std::string> Temporaries(const std::string& folder) {
  std::vector<std::string> temps;
  for (const auto& name : TempDir::List(folder)) {
    if (name.find(".tmp") != std::string::npos) temps.push_back(name);
  }
  return temps;
}

// The real file system with one step of one operation made to fail.
class FaultyFileSystem : public platform::FileSystem {
 public:
  enum class Step { kNone, kShortWrite, kClose, kRename, kShortRead, kLength };
  FaultyFileSystem(Step step, int which) : step_(step), which_(which) {}

  bool ReplaceFile(const std::string& path, const void* data, int64_t length,
                   platform::TempFileWatcher* watcher) override {
    ++writes_;
    return FileSystem::ReplaceFile(path, data, length, watcher);
  }
  platform::OpenStatus OpenForRead(const std::string& path, int* fd) override {
    ++reads_;
    return FileSystem::OpenForRead(path, fd);
  }
  bool FileLength(int fd, int64_t* length) override {
    if (Hit(Step::kLength, reads_)) return false;
    return FileSystem::FileLength(fd, length);
  }
  int64_t ReadUpTo(int fd, void* buffer, int64_t n) override {
    // A device error halfway: half the bytes arrive.
    if (Hit(Step::kShortRead, reads_)) return FileSystem::ReadUpTo(fd, buffer, n / 2);
    return FileSystem::ReadUpTo(fd, buffer, n);
  }

 protected:
  int64_t WriteUpTo(int fd, const void* data, int64_t n) override {
    // The disk fills halfway: half the bytes are really written.
    if (Hit(Step::kShortWrite, writes_)) return FileSystem::WriteUpTo(fd, data, n / 2);
    return FileSystem::WriteUpTo(fd, data, n);
  }
  bool CloseWritten(int fd) override {
    const bool closed = FileSystem::CloseWritten(fd);
    return closed && !Hit(Step::kClose, writes_);
  }
  bool RenameOver(const std::string& from, const std::string& to) override {
    if (Hit(Step::kRename, writes_)) return false;
    return FileSystem::RenameOver(from, to);
  }

 private:
  bool Hit(Step s, int count) const { return step_ == s && count == which_; }
  Step step_;
  int which_;
  int writes_ = 0;
  int reads_ = 0;
};

using Step = FaultyFileSystem::Step;

// Frames 0-2 of a small animation; a clean job's outputs in dir/ref.
class FailingDisk : public ::testing::Test {
 protected:
  void SetUp() override {
    ::mkdir((dir / "frames").c_str(), 0755);
    ::mkdir((dir / "out").c_str(), 0755);
    ::mkdir((dir / "ref").c_str(), 0755);
    ASSERT_TRUE(samples::WriteAnimation(dir / "frames/f", 0, 2, 16, 12, 4, 0));
    platform::FileSystem& real = platform::RealFileSystem();
    ASSERT_EQ(Convert(real, dir / "ref"), messages::kFinished);
  }

  std::string Convert(platform::FileSystem& fs, const std::string& out) {
    Session session;
    session.fileSystem = &fs;
    session.outputDirectory = out;
    HeadlessHost host(session.state);
    host.SetText(platform::kPathBox, dir / "frames/f0000.bmp");
    host.SetText(platform::kStartBox, "0");
    host.SetText(platform::kEndBox, "2");
    RunConversion(host, session);
    EXPECT_EQ(host.boxes.size(), 1u);
    EXPECT_EQ(session.registry.count(), 0) << "every block freed";
    EXPECT_EQ(session.state.busyFlag, 0);
    if (host.boxes.empty()) return {};
    flags = host.boxes.back().flags;
    return host.boxes.back().text;
  }

  void PlaceOldFiles() {
    for (const auto& name : kOutputs) {
      ASSERT_TRUE(samples::WriteFile(dir / ("out/" + name), OldBytes(name)));
    }
  }

  // Outputs before `firstFailed` (an index into kOutputs) are the clean
  // job's; that one and all after it are what was there before.
  void ExpectOutputsUpTo(size_t firstFailed, bool hadOldFiles) {
    for (size_t i = 0; i < kOutputs.size(); ++i) {
      const std::string path = dir / ("out/" + kOutputs[i]);
      if (i < firstFailed) {
        EXPECT_EQ(ReadFileBytes(path), ReadFileBytes(dir / ("ref/" + kOutputs[i])))
            << kOutputs[i] << " is the finished output";
      } else if (hadOldFiles) {
        EXPECT_EQ(ReadFileBytes(path), OldBytes(kOutputs[i]))
            << kOutputs[i] << " is still the earlier file";
      } else {
        EXPECT_FALSE(FileExists(path)) << kOutputs[i] << " must not exist";
      }
    }
    EXPECT_TRUE(Temporaries(dir / "out").empty());
  }

  TempDir dir;
  unsigned flags = 99;
};

struct WriteFault {
  const char* name;
  Step step;
  int file;  // 1-based, in the order of kOutputs
  bool oldFiles;
};

class FailedWrite : public FailingDisk,
                    public ::testing::WithParamInterface<WriteFault> {};

TEST_P(FailedWrite, EndsTheJobAndKeepsWhatWasFinishedAndWhatWasThere) {
  const WriteFault& f = GetParam();
  if (f.oldFiles) PlaceOldFiles();
  FaultyFileSystem faulty(f.step, f.file);
  EXPECT_EQ(Convert(faulty, dir / "out"), messages::kCannotCreate);
  EXPECT_EQ(flags, platform::kPlainBox);
  ExpectOutputsUpTo(static_cast<size_t>(f.file - 1), f.oldFiles);
}

INSTANTIATE_TEST_SUITE_P(
    Steps, FailedWrite,
    ::testing::Values(
        WriteFault{"first_image_short", Step::kShortWrite, 1, false},
        WriteFault{"image_short_new", Step::kShortWrite, 3, false},
        WriteFault{"image_short_over_old", Step::kShortWrite, 3, true},
        WriteFault{"preview_short_new", Step::kShortWrite, 4, false},
        WriteFault{"preview_short_over_old", Step::kShortWrite, 4, true},
        WriteFault{"image_close_new", Step::kClose, 3, false},
        WriteFault{"preview_close_over_old", Step::kClose, 4, true},
        WriteFault{"image_rename_over_old", Step::kRename, 3, true},
        WriteFault{"preview_rename_new", Step::kRename, 4, false},
        WriteFault{"last_preview_rename_over_old", Step::kRename, 6, true}),
    [](const auto& info) { return std::string(info.param.name); });

struct ReadFault {
  const char* name;
  Step step;
  int frame;  // 1-based
};

class FailedRead : public FailingDisk,
                   public ::testing::WithParamInterface<ReadFault> {};

TEST_P(FailedRead, EndsPass1WithTheReadErrorBeforeAnyOutput) {
  const ReadFault& f = GetParam();
  FaultyFileSystem faulty(f.step, f.frame);
  EXPECT_EQ(Convert(faulty, dir / "out"), messages::kReadError);
  EXPECT_EQ(flags, platform::kWarningBox);
  EXPECT_TRUE(TempDir::List(dir / "out").empty());
}

INSTANTIATE_TEST_SUITE_P(
    Steps, FailedRead,
    ::testing::Values(ReadFault{"first_frame_short", Step::kShortRead, 1},
                      ReadFault{"last_frame_short", Step::kShortRead, 3},
                      ReadFault{"length_unknown", Step::kLength, 2}),
    [](const auto& info) { return std::string(info.param.name); });

// --- the real thing, through velmira-cli -------------------------------

struct DiskCase {
  const char* name;
  // Prepares dir/out (given to the unprivileged user already); returns the
  // output folder to name on the command line.
  std::string (*prepare)(const TempDir& dir);
  size_t firstFailed;  // index into kOutputs
  bool oldFiles;       // the outputs from firstFailed on were there before
};

void MakeOld(const TempDir& dir, const std::string& name, mode_t mode) {
  const std::string path = dir / ("out/" + name);
  ASSERT_TRUE(samples::WriteFile(path, OldBytes(name)));
  reliability::GiveToUnprivileged(path);
  ::chmod(path.c_str(), mode);
}

const DiskCase kDiskCases[] = {
    {"missing_output_folder",
     [](const TempDir& dir) { return dir / "out/not-there"; }, 0, false},
    {"unwritable_output_folder",
     [](const TempDir& dir) {
       ::chmod((dir / "out").c_str(), 0555);
       return dir / "out";
     }, 0, false},
    {"image_name_taken_by_a_folder",
     [](const TempDir& dir) {
       ::mkdir((dir / "out/0001.S05").c_str(), 0755);
       return dir / "out";
     }, 2, false},
    {"read_only_earlier_preview",
     [](const TempDir& dir) {
       for (size_t i = 3; i < kOutputs.size(); ++i) MakeOld(dir, kOutputs[i], 0644);
       ::chmod((dir / "out/TES_0001.bmp").c_str(), 0444);
       return dir / "out";
     }, 3, true},
    {"image_name_a_full_device",
     [](const TempDir& dir) {
       reliability::MakeFullDevice(dir / "out/0000.S05");
       return dir / "out";
     }, 0, false},
};

class DiskRefusal : public FailingDisk,
                    public ::testing::WithParamInterface<DiskCase> {};

TEST_P(DiskRefusal, EndsWithTheCreateMessageAndLosesNothing) {
  const DiskCase& c = GetParam();
  // Permissions only hold for an ordinary user: the job runs as nobody.
  ::chmod(dir.path().c_str(), 0755);
  reliability::GiveToUnprivileged(dir / "out");
  const std::string out = c.prepare(dir);
  const auto r = reliability::RunChild(
      {CliPath(), dir / "frames/f0000.bmp", "--end", "2", "--output-dir", out,
       "--quiet"},
      reliability::ChildOptions::Unprivileged());
  ASSERT_TRUE(r.exited) << "ended by signal " << r.signal;
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.stderrText, std::string(messages::kCannotCreate) + "\n");

  for (size_t i = 0; i < kOutputs.size(); ++i) {
    const std::string path = dir / ("out/" + kOutputs[i]);
    struct stat st {};
    const bool there = ::lstat(path.c_str(), &st) == 0;
    if (i < c.firstFailed) {
      EXPECT_EQ(ReadFileBytes(path), ReadFileBytes(dir / ("ref/" + kOutputs[i])))
          << kOutputs[i] << " is the finished output";
    } else if (c.oldFiles) {
      EXPECT_EQ(ReadFileBytes(path), OldBytes(kOutputs[i]))
          << kOutputs[i] << " is still the earlier file";
    } else if (there) {
      EXPECT_FALSE(S_ISREG(st.st_mode))
          << kOutputs[i] << ": only what stood in the way is there";
    }
  }
  EXPECT_TRUE(Temporaries(dir / "out").empty());
  if (std::string(c.name) == "read_only_earlier_preview") {
    struct stat st {};
    ASSERT_EQ(::stat((dir / "out/TES_0001.bmp").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0444u) << "the refused file is left as it was";
  }
}

INSTANTIATE_TEST_SUITE_P(Outputs, DiskRefusal, ::testing::ValuesIn(kDiskCases),
                         [](const auto& info) { return std::string(info.param.name); });

// A real full disk: a small tmpfs mounted in a private mount namespace, so
// that nothing outside the test sees it. The earlier 0001.S05 and
// TES_0001.bmp take room on it from the start.
struct FullDiskCase {
  const char* name;
  int sizeKiB;
  size_t firstFailed;
};

class FullDisk : public FailingDisk,
                 public ::testing::WithParamInterface<FullDiskCase> {};

TEST_P(FullDisk, EndsWithTheCreateMessageAndKeepsTheEarlierFiles) {
  const FullDiskCase& c = GetParam();
  if (::geteuid() != 0) GTEST_SKIP() << "mounting a tmpfs needs root";
  // 64 x 48 frames: an image takes 8 pages, a preview 10.
  ASSERT_TRUE(samples::WriteAnimation(dir / "frames/g", 0, 2, 64, 48, 4, 0));
  ::mkdir((dir / "old").c_str(), 0755);
  ::mkdir((dir / "snapshot").c_str(), 0755);
  for (const char* name : {"0001.S05", "TES_0001.bmp"}) {
    std::vector<uint8_t> old = OldBytes(name);
    old.resize(name[0] == 'T' ? 36918 : 30375, 'o');
    ASSERT_TRUE(samples::WriteFile(dir / ("old/" + std::string(name)), old));
  }
  const std::string script =
      "mount -t tmpfs -o size=" + std::to_string(c.sizeKiB) + "k tmpfs '" +
      dir / "out" + "' || exit 99\n" +
      "cp '" + dir / "old" + "'/* '" + dir / "out" + "'/ || exit 98\n" +
      "'" + CliPath() + "' '" + dir / "frames/g0000.bmp" +
      "' --end 2 --quiet --output-dir '" + dir / "out" + "'\n" +
      "status=$?\n" +
      "cp -a '" + dir / "out" + "'/. '" + dir / "snapshot" + "'/\n" +
      "exit $status\n";
  const auto r = reliability::RunChild({"/usr/bin/unshare", "-m", "/bin/sh", "-c", script});
  if (r.exited && (r.status == 99 || r.stderrText.rfind("unshare:", 0) == 0)) {
    GTEST_SKIP() << "no private tmpfs here: " << r.stderrText;
  }
  ASSERT_TRUE(r.exited) << "ended by signal " << r.signal;
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.stderrText, std::string(messages::kCannotCreate) + "\n");

  // A clean job of the same frames, for comparison.
  const auto ref = reliability::RunChild({CliPath(), dir / "frames/g0000.bmp", "--end",
                                     "2", "--quiet", "--output-dir", dir / "ref"});
  ASSERT_EQ(ref.status, 0);
  for (size_t i = 0; i < kOutputs.size(); ++i) {
    const std::string path = dir / ("snapshot/" + kOutputs[i]);
    const std::string old = dir / ("old/" + kOutputs[i]);
    if (i < c.firstFailed) {
      EXPECT_EQ(ReadFileBytes(path), ReadFileBytes(dir / ("ref/" + kOutputs[i])))
          << kOutputs[i] << " is the finished output";
    } else if (FileExists(old)) {
      EXPECT_EQ(ReadFileBytes(path), ReadFileBytes(old))
          << kOutputs[i] << " is still the earlier file";
    } else {
      EXPECT_FALSE(FileExists(path)) << kOutputs[i];
    }
  }
  EXPECT_TRUE(Temporaries(dir / "snapshot").empty());
}

INSTANTIATE_TEST_SUITE_P(
    Tmpfs, FullDisk,
    ::testing::Values(FullDiskCase{"first_preview_does_not_fit", 104, 1},
                      FullDiskCase{"second_image_does_not_fit", 168, 2},
                      FullDiskCase{"second_preview_does_not_fit", 176, 3}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace velmira
