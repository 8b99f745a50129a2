// CRC-32 and its table-chain variant.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>

#include "crypto/crc32.h"

TEST(Crc32, CheckValueAndAgreementWithZlib)
{
    // The CRC-32 check value of "123456789" (the catalogue of parametrised
    // CRC algorithms, CRC-32/ISO-HDLC).
    EXPECT_EQ(Crc32("123456789", 9), 0xCBF43926u);
    EXPECT_EQ(Crc32("", 0), 0u);

    uint8_t data[1000];
    for (int i = 0; i < 1000; i++)
        data[i] = uint8_t(i * 31 + 7);
    for (size_t n : {1u, 3u, 4u, 255u, 1000u})
        EXPECT_EQ(Crc32(data, n), uint32_t(crc32(0, data, uInt(n)))) << n;
}

TEST(Crc32, IntVariantAndBareChain)
{
    const uint8_t bytes[4] = {0x78, 0x56, 0x34, 0x12};
    EXPECT_EQ(Crc32OfInt(0x12345678u), Crc32(bytes, 4));

    // The full CRC is the chain from all ones, inverted; a chain from 0
    // differs from it and continues across calls.
    EXPECT_EQ(~Crc32Chain(0xFFFFFFFFu, "123456789", 9), 0xCBF43926u);
    EXPECT_NE(Crc32Chain(0, "123456789", 9), 0xCBF43926u);
    EXPECT_EQ(Crc32Chain(Crc32Chain(0, "1234", 4), "56789", 5), Crc32Chain(0, "123456789", 9));
    EXPECT_EQ(Crc32Chain(0, "\0\0\0\0", 4), 0u);  // no initial value: zeros stay zero
}
