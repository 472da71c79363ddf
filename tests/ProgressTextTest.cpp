#include "platform/ProgressText.h"

#include <gtest/gtest.h>

namespace velmira::platform {
namespace {

TEST(ProgressText, ShowsFourDecimalsTruncated) {
  EXPECT_EQ(ProgressText(0.0), "進行度0.0000%");
  EXPECT_EQ(ProgressText(50.0), "進行度50.0000%");
  EXPECT_EQ(ProgressText(12.5), "進行度12.5000%");
  EXPECT_EQ(ProgressText(100.0 / 3.0), "進行度33.3333%");
  EXPECT_EQ(ProgressText(200.0 / 3.0), "進行度66.6666%");  // not 66.6667
  EXPECT_EQ(ProgressText(99.99999), "進行度99.9999%");
  EXPECT_EQ(ProgressText(5.0 / 10000.0 * 100.0), "進行度0.0500%");
}

}  // namespace
}  // namespace velmira::platform
