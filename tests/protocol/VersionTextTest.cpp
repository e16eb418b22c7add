// The version text of an identity's version byte, shared by the setup and firmware pages.
#include "protocol/VersionText.h"

#include <gtest/gtest.h>

namespace vorna {
namespace {

TEST(VersionText, TenthsPlusOneWithTwoDecimals) {
    EXPECT_EQ(VersionText(0), "1.00");
    EXPECT_EQ(VersionText(3), "1.30");
    EXPECT_EQ(VersionText(4), "1.40");  // versionText keeps 1.40: the catalogue tests for it
    EXPECT_EQ(VersionText(7), "1.70");
    EXPECT_EQ(VersionText(0x14), "3.00");
    EXPECT_EQ(VersionText(255), "26.50");
}

}  // namespace
}  // namespace vorna
