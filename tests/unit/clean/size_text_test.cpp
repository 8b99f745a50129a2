// The size texts of the clean dialog's list.
#include <gtest/gtest.h>

#include "clean/size_text.h"

namespace {

TEST(CleanSizeText, WritesAndReadsTheUnits)
{
    char text[64];
    FormatSizeText(10240, text, sizeof text);
    EXPECT_STREQ(text, "10240.00B");
    FormatSizeText(10241, text, sizeof text);
    EXPECT_STREQ(text, "10.00K");
    FormatSizeText(5, text, sizeof text);
    EXPECT_STREQ(text, "0.00B");
    FormatSizeText(3.5 * 1024 * 1024, text, sizeof text);
    EXPECT_STREQ(text, "3.50M");
    FormatSizeText(3000.0 * 1024 * 1024 * 1024, text, sizeof text);
    EXPECT_STREQ(text, "3000.00G");
    EXPECT_DOUBLE_EQ(ParseSizeText("1.50k"), 1536);
    EXPECT_DOUBLE_EQ(ParseSizeText("2.00M"), 2.0 * 1024 * 1024);
    EXPECT_DOUBLE_EQ(ParseSizeText("1.00g"), 1024.0 * 1024 * 1024);
    EXPECT_DOUBLE_EQ(ParseSizeText("12.00B"), 12);
    EXPECT_DOUBLE_EQ(ParseSizeText("42"), 42);
}

} // namespace
