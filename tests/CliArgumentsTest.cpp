#include "cli/Arguments.h"

#include <gtest/gtest.h>

namespace velmira::cli {
namespace {

std::optional<std::string> Parse(std::vector<std::string> argv, Arguments* a) {
  return ParseArguments(argv, a);
}

TEST(CliArguments, DefaultsAreTheDialogsStartValues) {
  Arguments a;
  ASSERT_FALSE(Parse({"run0000.bmp"}, &a));
  EXPECT_EQ(a.source, "run0000.bmp");
  EXPECT_EQ(a.start, 0);
  EXPECT_FALSE(a.end.has_value());
  EXPECT_EQ(a.offset, 0);
  EXPECT_TRUE(a.intermediate);
  EXPECT_EQ(a.mode, 0);
  EXPECT_EQ(a.threshold, 1);
  EXPECT_FALSE(a.quiet);
}

TEST(CliArguments, ValuesComeSeparateOrAfterAnEqualsSign) {
  Arguments a;
  ASSERT_FALSE(Parse({"--start", "-1", "x0000.bmp", "--end=12", "--offset=+3",
                      "--intermediate", "off", "--mode=d", "--threshold", "4",
                      "--output-dir", "out", "--quiet", "--jobs=2"},
                     &a));
  EXPECT_EQ(a.start, -1);  // out of range numbers reach the job's checks
  EXPECT_EQ(a.end, 12);
  EXPECT_EQ(a.offset, 3);
  EXPECT_FALSE(a.intermediate);
  EXPECT_EQ(a.mode, 3);
  EXPECT_EQ(a.threshold, 4);
  EXPECT_EQ(a.outputDir, "out");
  EXPECT_TRUE(a.quiet);
  EXPECT_EQ(a.jobs, 2);
}

TEST(CliArguments, UsageErrorsNameTheOption) {
  const struct {
    std::vector<std::string> argv;
    const char* names;
  } cases[] = {
      {{"a.bmp", "--start", "12abc"}, "--start"},
      {{"a.bmp", "--end", ""}, "--end"},
      {{"a.bmp", "--offset", "2147483648"}, "--offset"},
      {{"a.bmp", "--start", "-"}, "--start"},
      {{"a.bmp", "--start"}, "--start"},
      {{"a.bmp", "--mode", "E"}, "--mode"},
      {{"a.bmp", "--mode", "AB"}, "--mode"},
      {{"a.bmp", "--threshold", "3"}, "--threshold"},
      {{"a.bmp", "--intermediate", "yes"}, "--intermediate"},
      {{"a.bmp", "--jobs", "0"}, "--jobs"},
      {{"a.bmp", "--quiet=1"}, "--quiet"},
      {{"a.bmp", "--colour"}, "--colour"},
      {{"a.bmp", "b.bmp"}, "SOURCE"},
      {{}, "SOURCE"},
  };
  for (const auto& c : cases) {
    Arguments a;
    const auto error = Parse(c.argv, &a);
    ASSERT_TRUE(error.has_value()) << c.names;
    EXPECT_NE(error->find(c.names), std::string::npos) << *error;
  }
}

TEST(CliArguments, StrictNumbersFitIn32Bits) {
  EXPECT_EQ(ParseStrictInt32("2147483647"), 2147483647);
  EXPECT_EQ(ParseStrictInt32("-2147483648"), INT32_MIN);
  EXPECT_FALSE(ParseStrictInt32("-2147483649"));
  EXPECT_FALSE(ParseStrictInt32(" 1"));
  EXPECT_FALSE(ParseStrictInt32("1 "));
  EXPECT_FALSE(ParseStrictInt32("0x10"));
  EXPECT_EQ(ParseStrictInt32("0007"), 7);
}

}  // namespace
}  // namespace velmira::cli
