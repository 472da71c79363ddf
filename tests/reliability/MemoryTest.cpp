// A range whose frames do not all fit in memory ends while loading, with the
// no-memory message and nothing written, not with a crash; so does a job
// whose own work areas do not fit. velmira-cli runs under a lowered
// address-space limit.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>

#include "Child.h"
#include "job/Messages.h"
#include "support/TempDir.h"
#include "tools/SampleFrames.h"

namespace velmira {
namespace {

using reliability::CliPath;
using testing::TempDir;


// One 256 x 212 frame (163 KiB) linked under `count` numbers.
void WriteLinkedFrames(const TempDir& dir, int count) {
  ::mkdir((dir / "frames").c_str(), 0755);
  ::mkdir((dir / "out").c_str(), 0755);
  ASSERT_TRUE(samples::WriteAnimation(dir / "frames/f", 0, 0, 256, 212, 2, 0));
  for (int i = 1; i < count; ++i) {
    char to[64];
    std::snprintf(to, sizeof to, "frames/f%04d.bmp", i);
    ASSERT_EQ(::link((dir / "frames/f0000.bmp").c_str(), (dir / to).c_str()), 0);
  }
}

struct MemoryCase {
  const char* name;
  uint64_t limitMiB;  // of address space
  int frames;
  const char* jobs;
};

class LowMemory : public ::testing::TestWithParam<MemoryCase> {};

TEST_P(LowMemory, EndsWithTheNoMemoryMessageBeforeAnyOutput) {
  if (reliability::UnderAddressSanitizer()) {
    GTEST_SKIP() << "AddressSanitizer's shadow memory cannot live under an "
                    "address-space limit; the Release suite runs this";
  }
  const MemoryCase& c = GetParam();
  TempDir dir;
  WriteLinkedFrames(dir, c.frames);
  ASSERT_FALSE(HasFatalFailure());
  const auto r = reliability::RunChild(
      {CliPath(), dir / "frames/f0000.bmp", "--end", std::to_string(c.frames - 1),
       "--output-dir", dir / "out", "--quiet", "--jobs", c.jobs},
      reliability::ChildOptions::AddressSpace(c.limitMiB << 20));
  ASSERT_TRUE(r.exited) << "ended by signal " << r.signal << "\n" << r.stderrText;
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.stderrText, std::string(messages::kNoMemory) + "\n");
  EXPECT_TRUE(TempDir::List(dir / "out").empty());
}

INSTANTIATE_TEST_SUITE_P(
    Ranges, LowMemory,
    ::testing::Values(MemoryCase{"far_too_many_frames", 150, 2000, "1"},
                      MemoryCase{"just_too_many_frames", 150, 1000, "2"},
                      // Not even the job's own tables fit.
                      MemoryCase{"no_room_for_the_work_areas", 16, 2, "1"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace velmira
