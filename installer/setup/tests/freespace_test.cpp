#include "setup/freespace.h"

#include <gtest/gtest.h>

TEST(FormatSize, SwitchesFromKbToMbAboveOneMegabyte) {
    EXPECT_EQ(FormatSize(1048576.0), "1024 Kb");
    EXPECT_EQ(FormatSize(1048577.0), "1 Mb");
    EXPECT_EQ(FormatSize(900.0 * 1024), "900 Kb");
    EXPECT_EQ(FormatSize(6.0 * 1024 * 1048576), "6144 Mb"); // above 4 GB in full
    EXPECT_EQ(FormatSize(0), "0 Kb");
    EXPECT_EQ(FormatSize(1536), "2 Kb"); // halves round away from zero
    EXPECT_EQ(FormatSize(2.5 * 1048576), "3 Mb");
}

TEST(CheckFreeSpace, StrictlyMoreFreeMegabytesThanRequired) {
    const std::uint64_t mb = 1048576;
    auto v = CheckFreeSpace(12 * mb, 12); // exactly the required size is not enough
    EXPECT_FALSE(v.sufficient);
    EXPECT_EQ(v.caption, "Insufficient space on this disk!");
    EXPECT_EQ(v.text, "12 Mb");
    v = CheckFreeSpace(13 * mb, 12);
    EXPECT_TRUE(v.sufficient);
    EXPECT_EQ(v.caption, "Select a Directory");
    v = CheckFreeSpace(900 * 1024, 1);
    EXPECT_EQ(v.text, "900 Kb");
    EXPECT_FALSE(v.sufficient);
    v = CheckFreeSpace(12 * mb + mb / 2, 12); // 12.5 rounds to 13, as shown
    EXPECT_TRUE(v.sufficient);
    v = CheckFreeSpace(std::uint64_t{6} << 40, 2000000); // 6 TiB compared in full
    EXPECT_TRUE(v.sufficient);
}

TEST(CheckFreeSpace, UnknownFreeSpaceSaysSo) {
    const auto v = CheckFreeSpace(std::nullopt, 5);
    EXPECT_EQ(v.text, kUnknownFreeSpace);
    EXPECT_EQ(v.caption, "Select a Directory");
}
