#include "job/JobSettings.h"

#include <gtest/gtest.h>

#include "job/Messages.h"
#include "platform/HeadlessHost.h"

namespace velmira {
namespace {

using platform::HeadlessHost;

TEST(ParseLikeAtoi, ReadsTheWayTheCLibraryDoes) {
  const struct {
    const char* text;
    int32_t value;
  } cases[] = {
      {"0", 0},          {"", 0},           {"abc", 0},
      {" 12abc", 12},    {"\t\n+7", 7},     {"-1", -1},
      {"- 1", 0},        {"+-3", 0},        {"007", 7},
      {"2147483647", 2147483647},
      {"2147483648", INT32_MIN},  // wraps around like 32-bit arithmetic
      {"-2147483648", INT32_MIN},
      {"4294967297", 1},
      {"12 34", 12},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ParseLikeAtoi(c.text), c.value) << '"' << c.text << '"';
  }
}

TEST(TrimTrailingWhiteSpace, RemovesOnlyTrailingSingleByteSpace) {
  EXPECT_EQ(TrimTrailingWhiteSpace("  a.bmp \t\r\n\v\f"), "  a.bmp");
  EXPECT_EQ(TrimTrailingWhiteSpace("ab.bmp  "), "ab.bmp");
  // The ideographic space is a double-byte character, never white space.
  EXPECT_EQ(TrimTrailingWhiteSpace("a.bmp　"), "a.bmp　");
  EXPECT_EQ(TrimTrailingWhiteSpace("   "), "");
}

struct ValidationCase {
  int32_t start, end, offset;
  const char* path;
  std::string_view message;  // empty: accepted
};

TEST(ValidateJobSettings, ChecksInOrderAndGivesTheFirstMessage) {
  using namespace messages;
  const ValidationCase cases[] = {
      {0, 0, 0, "C:/a/pic0000.bmp", ""},
      {0, 7999, 0, "C:/a/pic0000.bmp", ""},
      {0, 9999, 0, "C:/a/pic0000.bmp", kBadOffset},
      {5, 3, 0, "C:/a/pic0000.bmp", kBadRange},
      {10000, 10000, 0, "C:/a/pic0000.bmp", kBadRange},
      {-1, 0, 0, "C:/a/pic0000.bmp", kBadRange},
      {0, 10000, 0, "C:/a/pic0000.bmp", kBadRange},
      {0, 0, -1, "C:/a/pic0000.bmp", kBadOffset},
      {3, 3, 7999, "C:/a/pic0000.bmp", ""},
      {3, 4, 7999, "C:/a/pic0000.bmp", kBadOffset},
      {0, 1, 2147483647, "C:/a/pic0000.bmp", kBadOffset},  // no wrap-around
      {5, 3, -1, "x.png", kBadRange},  // the range is checked first
      {0, 0, 0, "C:/x/a0001.png", kNotBmp},
      {0, 0, 0, "C:/x/a0001.BMP", ""},
      {0, 0, 0, "C:/x/a0001.Bmp", ""},
      {0, 0, 0, "a.bmp", kBadFileName},
      {0, 0, 0, "0001.bmp", ""},  // exactly 8 characters
      {0, 0, 0, "bmp", kNotBmp},  // shorter than 4: the whole path is compared
      {0, 0, 0, "", kNotBmp},
  };
  for (const auto& c : cases) {
    JobSettings s;
    s.startNumber = c.start;
    s.endNumber = c.end;
    s.outputOffset = c.offset;
    s.sourcePath = c.path;
    EXPECT_EQ(ValidateJobSettings(s), c.message)
        << c.start << ".." << c.end << " offset " << c.offset << " " << c.path;
  }
}

TEST(FileNames, NumberThePlaceBeforeTheExtension) {
  EXPECT_EQ(FourDigits(7), "0007");
  EXPECT_EQ(FourDigits(123), "0123");
  EXPECT_EQ(FourDigits(9999), "9999");
  EXPECT_EQ(FourDigits(0), "0000");

  JobSettings s;
  s.sourcePath = "D:/anim/run0001.BMP";
  s.startNumber = 3;
  s.endNumber = 5;
  s.outputOffset = 100;
  EXPECT_EQ(SourceFrameName(s, 12), "D:/anim/run0012.bmp");  // always lower case
  s.sourcePath = "D:/anim/runXYZW.bmp";  // the place need not hold digits
  EXPECT_EQ(SourceFrameName(s, 4), "D:/anim/run0004.bmp");
  s.sourcePath = "0001.bmp";
  EXPECT_EQ(SourceFrameName(s, 2), "0002.bmp");
  // A double-byte name before the number is kept whole.
  s.sourcePath = "/絵/走り0000.bmp";
  EXPECT_EQ(SourceFrameName(s, 9), "/絵/走り0009.bmp");

  EXPECT_EQ(OutputNumber(s, 3), 100);
  EXPECT_EQ(OutputNumber(s, 5), 102);
  EXPECT_EQ(ImageFileName(102), "0102.S05");
  EXPECT_EQ(PreviewFileName(7999), "TES_7999.bmp");
}

TEST(ReadJobSettings, TakesTheControlsAndStoresTheOptions) {
  platform::SharedJobState state;
  HeadlessHost host(state);
  host.SetText(platform::kPathBox, " /tmp/a0001.bmp  \t");
  host.SetText(platform::kStartBox, " 12abc");
  host.SetText(platform::kEndBox, "abc");
  host.SetText(platform::kOffsetBox, "-5");
  host.Check(platform::kIntermediateOff);
  host.Check(platform::kModeC);
  host.Check(platform::kThreshold4);

  JobOptions options;
  const JobSettings s = ReadJobSettings(host, options);
  EXPECT_EQ(s.sourcePath, " /tmp/a0001.bmp");  // leading space stays
  EXPECT_EQ(s.startNumber, 12);
  EXPECT_EQ(s.endNumber, 0);
  EXPECT_EQ(s.outputOffset, -5);
  EXPECT_EQ(options.IntermediateColours, 0);
  EXPECT_EQ(options.ColourMode, 2);
  EXPECT_EQ(options.SequenceThreshold, 4);
  EXPECT_EQ(s.ColourMode, 2);
}

TEST(ReadJobSettings, GroupsWithoutACheckedButtonKeepThePreviousValue) {
  platform::SharedJobState state;
  HeadlessHost host(state);
  JobOptions options;
  options.ColourMode = 3;
  options.SequenceThreshold = 2;
  host.checked.clear();
  ReadJobSettings(host, options);
  EXPECT_EQ(options.ColourMode, 3);
  EXPECT_EQ(options.SequenceThreshold, 2);
  // The intermediate flag is 1 exactly when 使用 is checked.
  EXPECT_EQ(options.IntermediateColours, 0);

  // Several checked in one group: the last in button order wins.
  host.checked = {platform::kModeA, platform::kModeB, platform::kThreshold0,
                  platform::kThreshold2, platform::kIntermediateOn};
  ReadJobSettings(host, options);
  EXPECT_EQ(options.ColourMode, 1);
  EXPECT_EQ(options.SequenceThreshold, 2);
  EXPECT_EQ(options.IntermediateColours, 1);
}

}  // namespace
}  // namespace velmira
