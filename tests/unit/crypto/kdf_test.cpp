// Hashes, HMAC and PBKDF2 against published known answers, and the PRF
// table of the header key derivation.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "crypto/kdf.h"
#include "vector_file.h"

using namespace testvectors;

namespace {

const std::map<std::string, int32_t> PrfByName = {
    {"RIPEMD160", PRF_HMAC_RIPEMD160},
    {"SHA512", PRF_HMAC_SHA512},
    {"WHIRLPOOL", PRF_HMAC_WHIRLPOOL},
    {"SHA1", PRF_HMAC_SHA1},
};

}  // namespace

TEST(Hash, PublishedVectors)
{
    int hashes = 0, macs = 0;
    for (const auto &row : ReadVectorFile("hashes.txt")) {
        SCOPED_TRACE(row[0] + " " + row[1] + " " + row[2]);
        int32_t prf = PrfByName.at(row[1]);
        uint8_t out[MAX_DIGEST_SIZE];
        if (row[0] == "hash") {
            ASSERT_EQ(row.size(), 4u);
            auto message = Hex(row[2]);
            ASSERT_TRUE(HashBuffer(prf, message.data(), message.size(), out));
            EXPECT_EQ(ToHex(out, PrfDigestSize(prf)), row[3]);
            hashes++;
        } else {
            ASSERT_EQ(row.size(), 5u);
            auto key = Hex(row[2]), message = Hex(row[3]);
            ASSERT_TRUE(ComputeHmac(prf, key.data(), key.size(), message.data(), message.size(), out));
            EXPECT_EQ(ToHex(out, PrfDigestSize(prf)), row[4]);
            macs++;
        }
    }
    EXPECT_GE(hashes, 7);
    EXPECT_EQ(macs, 8);
}

TEST(Pbkdf2, PublishedVectors)
{
    auto rows = ReadVectorFile("pbkdf2.txt");
    ASSERT_GE(rows.size(), 13u);
    for (const auto &row : rows) {
        SCOPED_TRACE(row[0] + " c=" + row[3]);
        ASSERT_EQ(row.size(), 5u);
        auto password = Hex(row[1]), salt = Hex(row[2]), expected = Hex(row[4]);
        std::vector<uint8_t> out(expected.size());
        ASSERT_TRUE(DeriveKeyPbkdf2(PrfByName.at(row[0]), password.data(), password.size(), salt.data(),
                                    salt.size(), uint32_t(std::stoul(row[3])), out.data(), out.size()));
        EXPECT_EQ(ToHex(out), row[4]);
    }
}

TEST(Pbkdf2, RefusesWhatItCannotDerive)
{
    uint8_t salt[64] = {}, out[192];
    EXPECT_FALSE(DeriveKeyPbkdf2(PRF_NONE, salt, 1, salt, 64, 1, out, 20));
    EXPECT_FALSE(DeriveKeyPbkdf2(5, salt, 1, salt, 64, 1, out, 20));
    EXPECT_FALSE(DeriveKeyPbkdf2(PRF_HMAC_SHA1, salt, 1, salt, 64, 0, out, 20));
    // An empty password is a valid HMAC key.
    EXPECT_TRUE(DeriveKeyPbkdf2(PRF_HMAC_SHA1, nullptr, 0, salt, 64, 1, out, 20));
}

TEST(PrfTable, IterationCountsAndOrder)
{
    EXPECT_EQ(PrfIterations(PRF_HMAC_RIPEMD160, false), 2118);
    EXPECT_EQ(PrfIterations(PRF_HMAC_RIPEMD160, true), 1118);
    EXPECT_EQ(PrfIterations(PRF_HMAC_SHA512, false), 1118);
    EXPECT_EQ(PrfIterations(PRF_HMAC_WHIRLPOOL, false), 1118);
    EXPECT_EQ(PrfIterations(PRF_HMAC_SHA1, false), 2118);
    EXPECT_EQ(PrfIterations(PRF_HMAC_SHA1, true), 2118);
    EXPECT_EQ(PrfIterations(0, false), 0);
    EXPECT_EQ(FIRST_PRF, 1);
    EXPECT_EQ(LAST_PRF, 4);
    EXPECT_STREQ(PrfName(PRF_HMAC_WHIRLPOOL), "HMAC-Whirlpool");
    EXPECT_EQ(PrfDigestSize(PRF_HMAC_RIPEMD160), 20u);
    EXPECT_EQ(PrfDigestSize(PRF_HMAC_SHA512), 64u);
    EXPECT_EQ(PrfDigestSize(PRF_HMAC_WHIRLPOOL), 64u);
    EXPECT_EQ(PrfDigestSize(PRF_HMAC_SHA1), 20u);
}
