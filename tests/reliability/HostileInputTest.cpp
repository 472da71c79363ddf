// Whatever a tool exports, or whatever stands where a frame should be: the
// job either converts it or ends with one of its own messages before
// anything is written. velmira-cli converts frames 0 and 1, frame 0 a good
// picture and frame 1 the case at hand.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "Child.h"
#include "job/Messages.h"
#include "support/TempDir.h"
#include "tools/SampleFrames.h"

namespace velmira {
namespace {

using reliability::CliPath;
using reliability::RunChild;
using testing::ReadFileBytes;
using testing::TempDir;

std::vector<uint8_t> Header(int32_t width, int32_t height) {
  std::vector<uint8_t> h = samples::EncodeBmp24(4, 1, [](int32_t, int32_t) {
    return samples::Rgb{1, 2, 3};
  });
  h.resize(54);
  std::memcpy(h.data() + 18, &width, 4);
  std::memcpy(h.data() + 22, &height, 4);
  return h;
}

// A width x height header followed by `pixels` bytes of picture.
std::vector<uint8_t> Frame(int32_t width, int32_t height, size_t pixels) {
  std::vector<uint8_t> f = Header(width, height);
  for (size_t i = 0; i < pixels; ++i) f.push_back(static_cast<uint8_t>(i * 7));
  return f;
}

std::vector<uint8_t> Bytes(const std::string& text) {
  return std::vector<uint8_t>(text.begin(), text.end());
}

std::vector<uint8_t> Prefix(std::vector<uint8_t> bytes, size_t n) {
  bytes.resize(n);
  return bytes;
}

// How frame 1 comes to be: bytes written as a file, or something else
// made at its path.
struct Case {
  const char* name;
  std::function<void(const std::string& path)> make;
  std::string_view message;  // the job's one message
};

std::function<void(const std::string&)> File(std::vector<uint8_t> bytes) {
  return [bytes](const std::string& path) {
    ASSERT_TRUE(samples::WriteFile(path, bytes));
  };
}

std::function<void(const std::string&)> LinkTo(const char* target) {
  return [target](const std::string& path) {
    ASSERT_EQ(::symlink(target, path.c_str()), 0);
  };
}

const std::string_view kSize = messages::kPictureTooLarge;

const Case kCases[] = {
    // Too short for what the header says, or for a header at all.
    {"empty", File({}), messages::kNoMemory},
    {"ten_bytes", File(Prefix(Frame(8, 6, 144), 10)), kSize},
    {"one_byte_short_of_the_height", File(Prefix(Frame(8, 6, 144), 25)), kSize},
    {"header_fields_only", File(Prefix(Frame(8, 6, 144), 26)), kSize},
    {"full_header_no_pixels", File(Frame(8, 6, 0)), kSize},
    {"last_pixel_byte_missing", File(Frame(8, 6, 143)), kSize},
    // Extents a 32-bit header can hold.
    {"width_2pow31_minus_1", File(Frame(0x7FFFFFFF, 1, 12)), messages::kWidthNotMultipleOf4},
    {"width_2pow31_minus_4", File(Frame(0x7FFFFFFC, 1, 12)), kSize},
    {"width_minus_2pow31", File(Frame(INT32_MIN, 1, 12)), kSize},
    {"width_minus_4", File(Frame(-4, 6, 72)), kSize},
    {"width_minus_2pow31_plus_2", File(Frame(INT32_MIN + 2, 1, 12)), messages::kWidthNotMultipleOf4},
    {"height_2pow31_minus_1", File(Frame(4, 0x7FFFFFFF, 12)), kSize},
    {"height_minus_2pow31", File(Frame(4, INT32_MIN, 12)), kSize},
    {"height_minus_1_top_down", File(Frame(4, -1, 12)), kSize},
    {"width_260", File(Frame(260, 1, 780)), kSize},
    {"height_213", File(Frame(4, 213, 12 * 213)), kSize},
    // Other kinds of file under a .bmp name.
    {"png_signature", File(Bytes(std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\0\0\x40\0\0\0\x30\x08\x02\0\0\0", 29))), kSize},
    {"text", File(Bytes("Frame list exported by the editor, one name per line\n")), kSize},
    // Not a file at all.
    {"directory", [](const std::string& p) { ASSERT_EQ(::mkdir(p.c_str(), 0755), 0); }, messages::kCannotOpen},
    {"fifo", [](const std::string& p) { ASSERT_EQ(::mkfifo(p.c_str(), 0644), 0); }, messages::kCannotOpen},
    {"dev_zero", LinkTo("/dev/zero"), messages::kCannotOpen},
    {"dev_null", LinkTo("/dev/null"), messages::kCannotOpen},
    {"symlink_loop", LinkTo("f0001.bmp"), messages::kCannotOpen},
    {"sparse_3_gib", [](const std::string& p) {
       const int fd = ::open(p.c_str(), O_WRONLY | O_CREAT, 0644);
       ASSERT_GE(fd, 0);
       ASSERT_EQ(::ftruncate(fd, int64_t{3} << 30), 0);
       ::close(fd);
     }, messages::kNoMemory},
    // What is accepted converts.
    {"no_pixels_0x0", File(Frame(0, 0, 0)), messages::kFinished},
    {"no_rows_256x0", File(Frame(256, 0, 0)), messages::kFinished},
    {"no_columns_0x212", File(Frame(0, 212, 0)), messages::kFinished},
    {"longer_than_its_pixels", File(Frame(4, 2, 24 + 1000)), messages::kFinished},
    {"smallest_picture_4x1", File(Frame(4, 1, 12)), messages::kFinished},
};

class HostileFrame : public ::testing::TestWithParam<Case> {};

TEST_P(HostileFrame, ConvertsOrEndsWithItsMessageBeforeAnyOutput) {
  const Case& c = GetParam();
  TempDir dir;
  ASSERT_TRUE(samples::WriteFile(
      dir / "f0000.bmp", samples::AnimationFrame(0, 16, 12, 5, 0)));
  c.make(dir / "f0001.bmp");
  ASSERT_FALSE(::testing::Test::HasFatalFailure());
  ::mkdir((dir / "out").c_str(), 0755);

  const auto r = RunChild({CliPath(), dir / "f0000.bmp", "--start", "0", "--end",
                      "1", "--output-dir", dir / "out", "--quiet"},
                     {}, 30000);

  ASSERT_TRUE(r.exited) << "ended by signal " << r.signal
                        << (r.timedOut ? " (hung)" : "") << "\n" << r.stderrText;
  EXPECT_EQ(r.stderrText, std::string(c.message) + "\n");
  if (c.message == messages::kFinished) {
    EXPECT_EQ(r.status, 0);
    const std::vector<std::string> all = {"0000.S05", "0001.S05",
                                          "TES_0000.bmp", "TES_0001.bmp"};
    EXPECT_EQ(TempDir::List(dir / "out"), all);
    EXPECT_EQ(ReadFileBytes(dir / "out/0001.S05").size(), 30375u);
  } else {
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(TempDir::List(dir / "out").empty());
  }
}

INSTANTIATE_TEST_SUITE_P(Frames, HostileFrame, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace velmira
