#include <gtest/gtest.h>

#include <cstdlib>

#include "Mount/splash_logic.h"

namespace {

TEST(SplashTimeline, FadeInHoldFadeOutTickCounts)
{
    SplashState s;
    int fadeIn = 0, hold = 0, fadeOut = 0, alphaAfterIn = -1;
    SplashTickResult r;
    // Fade in: alpha grows by 32 until it passes 255.
    while ((r = SplashTick(s)) == SPLASH_SHOW && s.step != 0)
        ++fadeIn;
    ++fadeIn;  // the tick that reached 255
    alphaAfterIn = s.alpha;
    while ((r = SplashTick(s)) == SPLASH_HOLD)
        ++hold;
    ASSERT_EQ(r, SPLASH_SHOW);
    fadeOut = 1;
    while ((r = SplashTick(s)) == SPLASH_SHOW)
        ++fadeOut;
    EXPECT_EQ(r, SPLASH_DESTROY);
    ++fadeOut;
    EXPECT_EQ(alphaAfterIn, 255);
    EXPECT_EQ(fadeIn, 8);
    EXPECT_EQ(hold, 26);
    EXPECT_EQ(fadeOut, 6);
    EXPECT_EQ(s.alpha, 0);
}

TEST(SplashTimeline, NoFadeOutWithoutCloseFlag)
{
    SplashState s;
    s.closeFlag = false;
    for (int i = 0; i < 200; ++i)
        EXPECT_NE(SplashTick(s), SPLASH_DESTROY);
    EXPECT_EQ(s.alpha, 255);
}

TEST(SplashPicture, PremultiplyTruncates)
{
    uint8_t px[] = {255, 128, 1, 255, 255, 128, 1, 0, 200, 100, 50, 128};
    PremultiplyAlpha(px, 3);
    EXPECT_EQ(px[0], 255);  // opaque: unchanged
    EXPECT_EQ(px[1], 128);
    EXPECT_EQ(px[2], 1);
    EXPECT_EQ(px[4], 0);  // transparent: black
    EXPECT_EQ(px[5], 0);
    EXPECT_EQ(px[8], 200 * 128 / 255);
    EXPECT_EQ(px[9], 100 * 128 / 255);
    EXPECT_EQ(px[10], 50 * 128 / 255);
    EXPECT_EQ(px[11], 128);  // alpha itself kept
}

TEST(SplashPicture, OpaqueRunsFromTopWithThreshold)
{
    // 4x2 picture, bottom-up: the first stored row is the bottom row.
    const int w = 4, h = 2;
    uint8_t px[w * h * 4] = {};
    auto alpha = [&](int xFromLeft, int yFromTop, uint8_t a) { px[((h - 1 - yFromTop) * w + xFromLeft) * 4 + 3] = a; };
    alpha(0, 0, 255);
    alpha(1, 0, 129);
    alpha(2, 0, 128);  // not above 128: a gap
    alpha(3, 0, 200);
    alpha(2, 1, 255);
    SplashRect *r = nullptr;
    ASSERT_EQ(OpaqueRuns(px, w, h, &r), 3);
    EXPECT_EQ(r[0].left, 0);
    EXPECT_EQ(r[0].right, 2);
    EXPECT_EQ(r[0].top, 0);
    EXPECT_EQ(r[0].bottom, 1);
    EXPECT_EQ(r[1].left, 3);
    EXPECT_EQ(r[1].right, 4);
    EXPECT_EQ(r[2].left, 2);
    EXPECT_EQ(r[2].right, 3);
    EXPECT_EQ(r[2].top, 1);
    free(r);
}

TEST(SplashPicture, RunListGrowsPastItsFirstBlock)
{
    // Every other pixel opaque: 100 runs on one row, more than 64.
    const int w = 200;
    uint8_t px[w * 4] = {};
    for (int x = 0; x < w; x += 2)
        px[x * 4 + 3] = 255;
    SplashRect *r = nullptr;
    ASSERT_EQ(OpaqueRuns(px, w, 1, &r), 100);
    EXPECT_EQ(r[99].left, 198);
    EXPECT_EQ(r[99].right, 199);
    free(r);
}

}  // namespace
