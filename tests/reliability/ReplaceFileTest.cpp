// Every output goes to a temporary name in its folder and is renamed over
// the old file only when complete; whatever a plain truncating open would
// refuse is refused before anything is touched.
#include "platform/FileSystem.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "Child.h"
#include "support/TempDir.h"
#include "tools/SampleFrames.h"

namespace velmira {
namespace {

using testing::FileExists;
using testing::ReadFileBytes;
using testing::TempDir;

const std::vector<uint8_t> kOld = {'o', 'l', 'd', ' ', 'f', 'i', 'l', 'e'};
const std::vector<uint8_t> kNew(30375, 0x5A);

bool Replace(platform::FileSystem& fs, const std::string& path,
             platform::TempFileWatcher* watcher = nullptr) {
  return fs.ReplaceFile(path, kNew.data(), static_cast<int64_t>(kNew.size()),
                        watcher);
}

// Records what the folder looked like whenever a temporary name came and
// went.
class Watcher : public platform::TempFileWatcher {
 public:
  void TempCreated(const std::string& path) override {
    announced.push_back(path);
    existedWhenAnnounced = existedWhenAnnounced || FileExists(path);
  }
  void TempGone(const std::string& path) override {
    gone.push_back(path);
    existedWhenGone = existedWhenGone || FileExists(path);
  }
  std::vector<std::string> announced, gone;
  bool existedWhenAnnounced = false, existedWhenGone = false;
};

struct TargetCase {
  const char* name;
  // Makes dir/target; returns what the test later checks is untouched
  // (nothing for the replaced ones).
  std::function<void(const TempDir& dir)> make;
  bool replaced;
};

const TargetCase kTargets[] = {
    {"absent", [](const TempDir&) {}, true},
    {"regular", [](const TempDir& d) { samples::WriteFile(d / "target", kOld); }, true},
    {"longer_regular",
     [](const TempDir& d) { samples::WriteFile(d / "target", std::vector<uint8_t>(100000, 1)); },
     true},
    {"directory", [](const TempDir& d) { ::mkdir((d / "target").c_str(), 0755); }, false},
    {"fifo", [](const TempDir& d) { ::mkfifo((d / "target").c_str(), 0644); }, false},
    {"full_device", [](const TempDir& d) { reliability::MakeFullDevice(d / "target"); }, false},
    {"link_to_a_full_device",
     [](const TempDir& d) {
       reliability::MakeFullDevice(d / "full");
       ::symlink("full", (d / "target").c_str());
     },
     false},
    {"link_loop", [](const TempDir& d) { ::symlink("target", (d / "target").c_str()); }, false},
    {"inside_a_missing_folder", [](const TempDir&) {}, false},
};

class ReplaceTarget : public ::testing::TestWithParam<TargetCase> {};

TEST_P(ReplaceTarget, ReplacesWholeOrRefusesWithoutATrace) {
  const TargetCase& c = GetParam();
  TempDir dir;
  c.make(dir);
  const std::string path = std::string(c.name) == "inside_a_missing_folder"
                               ? dir / "missing/target"
                               : dir / "target";
  const std::vector<std::string> before = dir.List();
  Watcher watcher;
  EXPECT_EQ(Replace(platform::RealFileSystem(), path, &watcher), c.replaced);
  if (c.replaced) {
    EXPECT_EQ(ReadFileBytes(path), kNew);
    EXPECT_EQ(dir.List(), std::vector<std::string>{"target"});
  } else {
    EXPECT_EQ(dir.List(), before) << "nothing added, nothing taken away";
  }
  EXPECT_FALSE(watcher.existedWhenAnnounced) << "announced before it exists";
  EXPECT_FALSE(watcher.existedWhenGone) << "gone when reported gone";
  EXPECT_EQ(watcher.announced, watcher.gone);
}

INSTANTIATE_TEST_SUITE_P(Kinds, ReplaceTarget, ::testing::ValuesIn(kTargets),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ReplaceFile, KeepsLinksAndWritesTheFileTheyName) {
  TempDir dir;
  ::mkdir((dir / "real").c_str(), 0755);
  ASSERT_TRUE(samples::WriteFile(dir / "real/a", kOld));
  ASSERT_EQ(::symlink("real/a", (dir / "link").c_str()), 0);
  ASSERT_EQ(::symlink("real/b", (dir / "dangling").c_str()), 0);

  ASSERT_TRUE(Replace(platform::RealFileSystem(), dir / "link"));
  ASSERT_TRUE(Replace(platform::RealFileSystem(), dir / "dangling"));

  struct stat st {};
  ASSERT_EQ(::lstat((dir / "link").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  ASSERT_EQ(::lstat((dir / "dangling").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  EXPECT_EQ(ReadFileBytes(dir / "real/a"), kNew);
  EXPECT_EQ(ReadFileBytes(dir / "real/b"), kNew);
  EXPECT_EQ(TempDir::List(dir / "real"), (std::vector<std::string>{"a", "b"}));
}

TEST(ReplaceFile, KeepsTheEarlierFilesPermissions) {
  TempDir dir;
  ASSERT_TRUE(samples::WriteFile(dir / "target", kOld));
  ASSERT_EQ(::chmod((dir / "target").c_str(), 0640), 0);
  ASSERT_TRUE(Replace(platform::RealFileSystem(), dir / "target"));
  struct stat st {};
  ASSERT_EQ(::stat((dir / "target").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
}

TEST(ReplaceFile, RefusesAFileAnotherProgramHoldsExclusively) {
  TempDir dir;
  ASSERT_TRUE(samples::WriteFile(dir / "target", kOld));
  const int holder = ::open((dir / "target").c_str(), O_RDONLY);
  ASSERT_EQ(::flock(holder, LOCK_EX), 0);
  EXPECT_FALSE(Replace(platform::RealFileSystem(), dir / "target"));
  ::close(holder);
  EXPECT_EQ(ReadFileBytes(dir / "target"), kOld);
  EXPECT_EQ(dir.List(), std::vector<std::string>{"target"});
}

// What an ordinary user may not write stays refused: the rename must not
// get past what the plain open would have refused.
struct PermissionCase {
  const char* name;
  mode_t fileMode;
  mode_t folderMode;
};

class ReplaceWithoutPermission : public ::testing::TestWithParam<PermissionCase> {};

TEST_P(ReplaceWithoutPermission, IsRefusedAndTheFileKept) {
  const PermissionCase& c = GetParam();
  TempDir dir;
  ::chmod(dir.path().c_str(), 0755);
  ::mkdir((dir / "out").c_str(), 0755);
  ASSERT_TRUE(samples::WriteFile(dir / "out/target", kOld));
  reliability::GiveToUnprivileged(dir / "out/target");
  reliability::GiveToUnprivileged(dir / "out");
  ::chmod((dir / "out/target").c_str(), c.fileMode);
  ::chmod((dir / "out").c_str(), c.folderMode);

  const std::string target = dir / "out/target";
  const int status = reliability::RunUnprivileged(
      [&] { return Replace(platform::RealFileSystem(), target) ? 1 : 0; });
  ::chmod((dir / "out").c_str(), 0755);
  EXPECT_EQ(status, 0) << "refused";
  EXPECT_EQ(ReadFileBytes(target), kOld);
  EXPECT_EQ(TempDir::List(dir / "out"), std::vector<std::string>{"target"});
}

INSTANTIATE_TEST_SUITE_P(Modes, ReplaceWithoutPermission,
                         ::testing::Values(PermissionCase{"read_only_file", 0444, 0755},
                                           PermissionCase{"no_access_file", 0000, 0755},
                                           PermissionCase{"read_only_folder", 0644, 0555}),
                         [](const auto& info) { return std::string(info.param.name); });

// A write that stops halfway, by a failing step or an exception from it:
// while it runs the old file is whole and the new bytes go to a hidden name
// beside it; afterwards the old file is still whole and the hidden one gone.
class Interrupted : public platform::FileSystem {
 public:
  Interrupted(std::string target, bool throws) : target_(std::move(target)), throws_(throws) {}
  std::vector<uint8_t> oldDuringWrite;
  std::vector<std::string> folderDuringWrite;

 protected:
  int64_t WriteUpTo(int fd, const void* data, int64_t n) override {
    const int64_t half = FileSystem::WriteUpTo(fd, data, n / 2);
    oldDuringWrite = ReadFileBytes(target_);
    folderDuringWrite = TempDir::List(target_.substr(0, target_.rfind('/')));
    if (throws_) throw std::runtime_error("device gone");
    return half;
  }

 private:
  std::string target_;
  bool throws_;
};

class StoppedWrite : public ::testing::TestWithParam<bool> {};

TEST_P(StoppedWrite, LeavesTheOldFileWholeAndNoTemporary) {
  TempDir dir;
  ASSERT_TRUE(samples::WriteFile(dir / "0001.S05", kOld));
  Interrupted fs(dir / "0001.S05", GetParam());
  Watcher watcher;
  bool replaced = true;
  try {
    replaced = Replace(fs, dir / "0001.S05", &watcher);
  } catch (const std::runtime_error&) {
    replaced = false;
  }
  EXPECT_FALSE(replaced);
  EXPECT_EQ(fs.oldDuringWrite, kOld);
  ASSERT_EQ(fs.folderDuringWrite.size(), 2u);
  EXPECT_EQ(fs.folderDuringWrite[0].rfind(".0001.S05.tmp", 0), 0u)
      << fs.folderDuringWrite[0];
  EXPECT_EQ(ReadFileBytes(dir / "0001.S05"), kOld);
  EXPECT_EQ(dir.List(), std::vector<std::string>{"0001.S05"});
  EXPECT_EQ(watcher.announced, watcher.gone);
  EXPECT_FALSE(watcher.existedWhenGone);
}

INSTANTIATE_TEST_SUITE_P(Ways, StoppedWrite, ::testing::Values(false, true),
                         [](const auto& info) {
                           return std::string(info.param ? "by_exception" : "short_write");
                         });

}  // namespace
}  // namespace velmira
