// What the keyboard and mouse hooks take from input events.
#include <gtest/gtest.h>

#include <cstring>

#include "crypto/crc32.h"
#include "crypto/input_entropy.h"

namespace {

// Key data of a key release: repeat count 1, the scan code, transition bit.
uint32_t Release(uint32_t scan) { return 1u | (scan << 16) | (1u << 31) | (1u << 30); }

}  // namespace

TEST(KeyboardEntropy, AKeyPressedThreeTimesCountsOnlyTwice)
{
    KeyboardEntropy state;
    InitKeyboardEntropy(state);
    uint32_t value;
    int counted = 0;
    for (int i = 0; i < 3; i++)
        counted += KeyboardEventEntropy(state, Release(0x1E), 1000 + i, &value);
    EXPECT_EQ(counted, 2);

    // Another key in between lets the first one count again.
    EXPECT_TRUE(KeyboardEventEntropy(state, Release(0x30), 2000, &value));
    EXPECT_TRUE(KeyboardEventEntropy(state, Release(0x1E), 2001, &value));
}

TEST(KeyboardEntropy, OnlySingleReleasesWithoutAltCount)
{
    KeyboardEntropy state;
    InitKeyboardEntropy(state);
    uint32_t value;
    EXPECT_FALSE(KeyboardEventEntropy(state, Release(0x10) & ~(1u << 31), 1, &value));  // key press
    EXPECT_FALSE(KeyboardEventEntropy(state, Release(0x10) | (1u << 29), 1, &value));   // context bit
    EXPECT_FALSE(KeyboardEventEntropy(state, (Release(0x10) & ~0xFFFFu) | 2, 1, &value));  // repeat 2
    EXPECT_TRUE(KeyboardEventEntropy(state, Release(0x10), 1, &value));
}

TEST(KeyboardEntropy, ValueIsKeyDataCrcPlusTimingChain)
{
    KeyboardEntropy state;
    InitKeyboardEntropy(state);
    uint32_t value;
    ASSERT_TRUE(KeyboardEventEntropy(state, Release(0x20), 500, &value));
    ASSERT_TRUE(KeyboardEventEntropy(state, Release(0x21), 800, &value));
    uint32_t difference = 500u - 800u;  // previous minus current, as 32 bits
    uint32_t tick = 800;
    uint8_t bytes[8];
    memcpy(bytes, &difference, 4);  // little-endian hosts only, as the hook
    memcpy(bytes + 4, &tick, 4);
    EXPECT_EQ(value, Crc32OfInt(Release(0x21)) + Crc32Chain(0, bytes, 8));
}

TEST(MouseEntropy, RepeatedRecordsCountOnce)
{
    MouseEntropy state;
    InitMouseEntropy(state);
    uint8_t record[32] = {1, 2, 3, 4, 5};
    uint8_t other[32] = {9, 9, 9};
    uint32_t value;
    EXPECT_TRUE(MouseEventEntropy(state, record, sizeof record, 10, &value));
    EXPECT_FALSE(MouseEventEntropy(state, record, sizeof record, 11, &value));
    EXPECT_TRUE(MouseEventEntropy(state, other, sizeof other, 12, &value));
    // Seen among the last two: still not counted.
    EXPECT_FALSE(MouseEventEntropy(state, record, sizeof record, 13, &value));

    // Only the first 20 bytes matter.
    MouseEntropy fresh;
    InitMouseEntropy(fresh);
    uint32_t a, b;
    uint8_t tail[32] = {1, 2, 3, 4, 5};
    tail[25] = 0x77;
    ASSERT_TRUE(MouseEventEntropy(fresh, tail, sizeof tail, 10, &a));
    InitMouseEntropy(fresh);
    ASSERT_TRUE(MouseEventEntropy(fresh, record, sizeof record, 10, &b));
    EXPECT_EQ(a, b);
}
