#include <gtest/gtest.h>

#include "Mount/winver_code.h"

namespace {

TEST(WindowsVersionCode, NtFamily)
{
    EXPECT_EQ(ComputeWindowsVersionCode(2, 5, 0, 1), WIN_2000);
    EXPECT_EQ(ComputeWindowsVersionCode(2, 5, 1, 1), WIN_XP);
    EXPECT_EQ(ComputeWindowsVersionCode(2, 5, 2, 1), WIN_XP64);
    EXPECT_EQ(ComputeWindowsVersionCode(2, 5, 2, 3), WIN_SERVER_2003);
    EXPECT_EQ(ComputeWindowsVersionCode(2, 5, 2, 2), WIN_SERVER_2003);  // domain controller
    EXPECT_EQ(ComputeWindowsVersionCode(2, 4, 0, 1), WIN_NT4);
    EXPECT_EQ(ComputeWindowsVersionCode(2, 6, 0, 1), WIN_VISTA_OR_LATER);
    EXPECT_EQ(ComputeWindowsVersionCode(2, 6, 1, 3), WIN_VISTA_OR_LATER);
    EXPECT_EQ(ComputeWindowsVersionCode(2, 10, 0, 1), WIN_VISTA_OR_LATER);
    EXPECT_EQ(ComputeWindowsVersionCode(2, 3, 51, 1), WIN_UNKNOWN);
}

TEST(WindowsVersionCode, OlderPlatforms)
{
    EXPECT_EQ(ComputeWindowsVersionCode(1, 4, 0, 0), WIN_95);
    EXPECT_EQ(ComputeWindowsVersionCode(1, 4, 10, 0), WIN_98);
    EXPECT_EQ(ComputeWindowsVersionCode(1, 4, 90, 0), WIN_ME);
    EXPECT_EQ(ComputeWindowsVersionCode(0, 3, 10, 0), WIN_32S);
    EXPECT_EQ(ComputeWindowsVersionCode(7, 6, 0, 1), WIN_UNKNOWN);
}

}  // namespace
