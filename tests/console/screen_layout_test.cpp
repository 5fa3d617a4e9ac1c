#include "screen_layout.h"

#include <gtest/gtest.h>

#include <cstring>

namespace qor::console {
namespace {

TEST(ScreenLayout, StatusLinesAt80x25And80x40) {
    StatusLayout small = statusLayout(25, 80);
    EXPECT_EQ(statusBoxLines(25), 14);
    EXPECT_EQ(statusBoxCols(80), 45);
    EXPECT_EQ(small.column, 6);
    EXPECT_EQ(small.rows[0], 4);
    EXPECT_EQ(small.rows[1], 6);
    EXPECT_EQ(small.rows[2], 8);
    EXPECT_EQ(small.rows[3], 10);
    EXPECT_FALSE(small.tall);

    StatusLayout tall = statusLayout(40, 80);
    EXPECT_TRUE(tall.tall);
    EXPECT_EQ(tall.rows[0], 10);
    EXPECT_EQ(tall.rows[1], 13);
    EXPECT_EQ(tall.rows[2], 16);
    EXPECT_EQ(tall.rows[3], 19);
    EXPECT_FALSE(statusLayout(31, 80).tall);
    EXPECT_TRUE(statusLayout(32, 80).tall);
}

TEST(ScreenLayout, HintsDependOnDisplayAndAreTwentyWide) {
    Hint console[kMaxHints], windowed[kMaxHints];
    ASSERT_EQ(keyHints(25, false, console), 6);
    ASSERT_EQ(keyHints(25, true, windowed), 7);
    EXPECT_EQ(console[0].line, 16);
    EXPECT_STREQ(console[0].text, "Move arrow key 'UP' ");
    EXPECT_EQ(console[5].line, 22);
    EXPECT_STREQ(console[5].text, "you are a su!       ");
    EXPECT_EQ(windowed[0].line, 15);
    EXPECT_EQ(windowed[3].line, 18);
    EXPECT_EQ(windowed[4].line, 20);
    EXPECT_STREQ(windowed[6].text, "is large enough     ");
    EXPECT_EQ(windowed[6].line, 22);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(std::strlen(console[i].text), 20u);
    for (int i = 0; i < 7; ++i) EXPECT_EQ(std::strlen(windowed[i].text), 20u);
}

}  // namespace
}  // namespace qor::console
