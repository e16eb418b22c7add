// The progress bar vornactl draws on a terminal during a firmware transfer.
#include "cli/TransferProgress.h"

#include <gtest/gtest.h>

#include <string>

namespace vorna::cli {
namespace {

using namespace std::chrono_literals;

TEST(ProgressBarLine, RateAndTimeLeftFollowTheBytesSoFar) {
    EXPECT_EQ(ProgressBarLine(3072, 12288, 2000ms),
              "[#####---------------]  25%  3072/12288 B  1.5 KiB/s  0:06 left");
    // Below 1 KiB/s the rate is in bytes; the time left is rounded up, in minutes and hours.
    const std::string slow = ProgressBarLine(100, 100000, 1000ms);
    EXPECT_NE(slow.find("  100 B/s  16:39 left"), std::string::npos) << slow;
    EXPECT_NE(ProgressBarLine(1, 4000, 1000ms).find("1:06:39 left"), std::string::npos);
    EXPECT_NE(ProgressBarLine(2, 3, 1000ms).find("0:01 left"), std::string::npos);
}

TEST(ProgressBarLine, NothingToGoByAndEmptyImages) {
    EXPECT_EQ(ProgressBarLine(0, 500, 0ms),
              "[--------------------]   0%  0/500 B  -- B/s  --:-- left");
    EXPECT_NE(ProgressBarLine(250, 500, 0ms).find("-- B/s  --:-- left"), std::string::npos);
    EXPECT_EQ(ProgressBarLine(0, 0, 0ms), "[####################] 100%  0/0 B  -- B/s  0:00 left");
}

}  // namespace
}  // namespace vorna::cli
