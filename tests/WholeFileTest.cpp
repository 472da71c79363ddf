#include "job/WholeFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstring>

#include "job/Messages.h"
#include "platform/FileSystem.h"
#include "support/TempDir.h"
#include "tools/SampleFrames.h"

namespace velmira {
namespace {

using testing::ReadFileBytes;
using testing::TempDir;

class WholeFileTest : public ::testing::Test {
 protected:
  std::string Read(const std::string& name, int32_t extra = 0) {
    return ReadWholeFile(registry, platform::RealFileSystem(), &block, &length,
                         extra, name);
  }
  TempDir dir;
  AllocationRegistry registry;
  void* block = nullptr;
  int32_t length = -1;
};

TEST_F(WholeFileTest, OpenFailuresTellMissingFileFromEverythingElse) {
  ASSERT_EQ(::mkdir((dir / "folder").c_str(), 0755), 0);
  const struct {
    std::string name;
    std::string_view message;
  } cases[] = {
      {dir / "absent.bmp", messages::kFileNotFound},
      {dir / "no-such-folder/a.bmp", messages::kCannotOpen},
      {dir / "folder", messages::kCannotOpen},
      {"/dev/zero", messages::kCannotOpen},
  };
  for (const auto& c : cases) {
    block = reinterpret_cast<void*>(0x1);
    length = 77;
    EXPECT_EQ(Read(c.name), c.message) << c.name;
    EXPECT_EQ(block, reinterpret_cast<void*>(0x1)) << "outputs left unchanged";
    EXPECT_EQ(length, 77);
  }
  EXPECT_EQ(registry.count(), 0);
}

TEST_F(WholeFileTest, AFileHeldExclusivelyByAnotherProgramCannotBeOpened) {
  ASSERT_TRUE(samples::WriteFile(dir / "held.bmp", {1, 2, 3}));
  const int other = ::open((dir / "held.bmp").c_str(), O_RDONLY);
  ASSERT_GE(other, 0);
  ASSERT_EQ(::flock(other, LOCK_EX), 0);
  EXPECT_EQ(Read(dir / "held.bmp"), messages::kCannotOpen);
  ::close(other);
  EXPECT_EQ(Read(dir / "held.bmp"), "");
}

TEST_F(WholeFileTest, ExtraBytesFollowTheDataAsZeros) {
  ASSERT_TRUE(samples::WriteFile(dir / "ten", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
  ASSERT_EQ(Read(dir / "ten", 2), "");
  EXPECT_EQ(length, 10);
  const auto* bytes = static_cast<const uint8_t*>(block);
  const uint8_t expected[12] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 0, 0};
  EXPECT_EQ(std::memcmp(bytes, expected, 12), 0);
  EXPECT_EQ(registry.count(), 1);
}

TEST_F(WholeFileTest, AnEmptyFileIsANoMemoryFailureThatFreesEverything) {
  ASSERT_TRUE(samples::WriteFile(dir / "full", {1, 2, 3}));
  ASSERT_TRUE(samples::WriteFile(dir / "empty", {}));
  ASSERT_EQ(Read(dir / "full"), "");
  ASSERT_EQ(Read(dir / "full"), "");
  EXPECT_EQ(registry.count(), 2);
  EXPECT_EQ(Read(dir / "empty"), messages::kNoMemory);
  EXPECT_EQ(registry.count(), 0);
}

TEST_F(WholeFileTest, TrackedAllocReleasesEveryBlockAtOnce) {
  EXPECT_EQ(registry.TrackedAlloc(0), nullptr);
  EXPECT_EQ(registry.count(), 0);
  EXPECT_NE(registry.TrackedAlloc(100), nullptr);
  EXPECT_NE(registry.TrackedAlloc(1), nullptr);
  EXPECT_EQ(registry.count(), 2);
  EXPECT_EQ(registry.TrackedAlloc(0), nullptr);
  EXPECT_EQ(registry.count(), 0);
}

TEST_F(WholeFileTest, WritingReplacesTheWholeFileAndLeavesNothingElse) {
  ASSERT_TRUE(samples::WriteFile(dir / "0000.S05", std::vector<uint8_t>(1000, 9)));
  const uint8_t data[] = {1, 2, 3};
  EXPECT_EQ(WriteWholeFile(platform::RealFileSystem(), data, 3, dir / "0000.S05"),
            "");
  EXPECT_EQ(ReadFileBytes(dir / "0000.S05"), (std::vector<uint8_t>{1, 2, 3}));
  EXPECT_EQ(dir.List(), std::vector<std::string>{"0000.S05"});
}

TEST_F(WholeFileTest, WritingRefusesWhatCannotBeCreated) {
  ASSERT_EQ(::mkdir((dir / "TES_0000.bmp").c_str(), 0755), 0);
  const uint8_t data[] = {1};
  for (const std::string& name :
       {dir / "missing/0000.S05", dir / "TES_0000.bmp"}) {
    EXPECT_EQ(WriteWholeFile(platform::RealFileSystem(), data, 1, name),
              messages::kCannotCreate)
        << name;
  }
  EXPECT_EQ(dir.List(), std::vector<std::string>{"TES_0000.bmp"});
}

}  // namespace
}  // namespace velmira
