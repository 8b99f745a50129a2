// The modes of operation: XTS and LRW against published vectors, XTS of
// every cipher against the library's own XTS, the CBC family against the
// library's CBC, and the cascade order.
#include <gtest/gtest.h>
#include <gcrypt.h>

#include <cstring>
#include <vector>

#include "crypto/crypto_context.h"
#include "crypto/crypto_init.h"
#include "crypto/modes.h"
#include "crypto/volume_codes.h"
#include "vector_file.h"

using namespace testvectors;

namespace {

struct Context {
    QdskCryptoContext *c = AllocateCryptoContext();
    ~Context() { ReleaseCryptoContext(c); }
    QdskCryptoContext *operator->() { return c; }
};

std::vector<uint8_t> Pattern(size_t n, uint8_t seed)
{
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; i++)
        v[i] = uint8_t(seed + i * 13 + (i >> 3));
    return v;
}

// Sets a context up from key material laid out as a header key would be.
void SetUpKeys(Context &ctx, int32_t algorithm, int32_t mode, const uint8_t *material)
{
    ctx->algorithm = algorithm;
    ctx->modeId = mode;
    size_t k = AlgorithmKeySize(algorithm);
    size_t offset = mode == MODE_XTS ? 0 : 32;
    ASSERT_EQ(SetupAlgorithmKeys(algorithm, material + offset, ctx->primarySchedules), VOLUME_OK);
    memset(ctx->secondaryKey, 0, sizeof ctx->secondaryKey);
    if (mode == MODE_XTS)
        memcpy(ctx->secondaryKey, material + k, k);
    else
        memcpy(ctx->secondaryKey, material, 32);
    ASSERT_TRUE(SetupModeKeys(ctx.c));
}

int LibraryCipher(int32_t c)
{
    switch (c) {
    case CIPHER_AES: return GCRY_CIPHER_AES256;
    case CIPHER_SERPENT: return GCRY_CIPHER_SERPENT256;
    case CIPHER_TWOFISH: return GCRY_CIPHER_TWOFISH;
    case CIPHER_BLOWFISH: return GCRY_CIPHER_BLOWFISH;
    case CIPHER_CAST5: return GCRY_CIPHER_CAST5;
    default: return GCRY_CIPHER_3DES;
    }
}

// The library's own mode over the buffer, as a second opinion.
void LibraryMode(int32_t cipher, int mode, const uint8_t *key, size_t keyLength, const uint8_t *iv,
                 size_t ivLength, uint8_t *data, size_t length)
{
    gcry_cipher_hd_t h;
    ASSERT_EQ(gcry_cipher_open(&h, LibraryCipher(cipher), mode, 0), 0u);
    ASSERT_EQ(gcry_cipher_setkey(h, key, keyLength), 0u);
    ASSERT_EQ(gcry_cipher_setiv(h, iv, ivLength), 0u);
    ASSERT_EQ(gcry_cipher_encrypt(h, data, length, nullptr, 0), 0u);
    gcry_cipher_close(h);
}

}  // namespace

TEST(Xts, Ieee1619Vector)
{
    auto rows = ReadVectorFile("xts.txt");
    ASSERT_EQ(rows.size(), 1u);
    const auto &row = rows[0];
    auto key1 = Hex(row[1]), key2 = Hex(row[2]), plain = Hex(row[4]), cipher = Hex(row[5]);
    CipherKeySchedule primary[MAX_CASCADE] = {}, secondary[MAX_CASCADE] = {};
    ASSERT_EQ(SetupAlgorithmKeys(1, key1.data(), primary), VOLUME_OK);
    ASSERT_EQ(SetupAlgorithmKeys(1, key2.data(), secondary), VOLUME_OK);
    uint64_t unit = std::stoull(row[3]);

    auto data = plain;
    ASSERT_TRUE(XtsEncrypt(1, primary, secondary, data.data(), data.size(), unit));
    EXPECT_EQ(ToHex(data), ToHex(cipher));
    ASSERT_TRUE(XtsDecrypt(1, primary, secondary, data.data(), data.size(), unit));
    EXPECT_EQ(ToHex(data), ToHex(plain));

    // Two data units in one call: the second one's tweak is unit + 1,
    // and its blocks start again from the encrypted unit number.
    std::vector<uint8_t> two(plain);
    two.insert(two.end(), plain.begin(), plain.end());
    ASSERT_TRUE(XtsEncrypt(1, primary, secondary, two.data(), two.size(), unit - 1));
    EXPECT_EQ(ToHex(two.data() + 512, 512), ToHex(cipher));
    ReleaseCipherSchedules(primary, MAX_CASCADE);
    ReleaseCipherSchedules(secondary, MAX_CASCADE);
}

TEST(Xts, EveryWideCipherAgreesWithTheLibraryXts)
{
    // The header buffer: 448 bytes, data unit 0.
    ASSERT_TRUE(InitCrypto());
    for (int32_t alg : {1, 2, 3}) {
        SCOPED_TRACE(alg);
        int32_t cipher = AlgorithmFirstCipher(alg);
        auto material = Pattern(64, uint8_t(alg));
        Context ctx;
        SetUpKeys(ctx, alg, MODE_XTS, material.data());
        auto plain = Pattern(448, 0x40);
        auto ours = plain, theirs = plain;
        ASSERT_TRUE(EncryptVolumeBuffer(ours.data(), ours.size(), ctx.c));
        uint8_t tweak[16] = {};  // data unit 0, little-endian
        LibraryMode(cipher, GCRY_CIPHER_MODE_XTS, material.data(), 64, tweak, 16, theirs.data(), theirs.size());
        EXPECT_EQ(ToHex(ours), ToHex(theirs));
        ASSERT_TRUE(DecryptVolumeBuffer(ours.data(), ours.size(), ctx.c));
        EXPECT_EQ(ours, plain);
    }
}

TEST(Xts, CascadeRunsOneFullPassPerCipherInOrder)
{
    // Serpent-Twofish-AES (7) is XTS-AES, then XTS-Twofish, then
    // XTS-Serpent over the whole buffer, each with its own key pair.
    auto material = Pattern(192, 5);
    Context cascade;
    SetUpKeys(cascade, 7, MODE_XTS, material.data());
    auto plain = Pattern(448, 9);
    auto expected = plain;
    const int32_t singles[] = {1, 3, 2};  // AES, Twofish, Serpent
    for (int i = 0; i < 3; i++) {
        std::vector<uint8_t> pair(material.begin() + 32 * i, material.begin() + 32 * i + 32);
        pair.insert(pair.end(), material.begin() + 96 + 32 * i, material.begin() + 96 + 32 * i + 32);
        Context single;
        SetUpKeys(single, singles[i], MODE_XTS, pair.data());
        ASSERT_TRUE(EncryptVolumeBuffer(expected.data(), expected.size(), single.c));
    }
    auto data = plain;
    ASSERT_TRUE(EncryptVolumeBuffer(data.data(), data.size(), cascade.c));
    EXPECT_EQ(ToHex(data), ToHex(expected));
    ASSERT_TRUE(DecryptVolumeBuffer(data.data(), data.size(), cascade.c));
    EXPECT_EQ(data, plain);
}

TEST(Lrw, PublishedAndCrossCheckedVectors)
{
    ASSERT_TRUE(InitCrypto());
    int checked = 0;
    for (const auto &row : ReadVectorFile("lrw.txt")) {
        SCOPED_TRACE(row[0] + " index " + row[3]);
        auto key = Hex(row[1]), tweakKey = Hex(row[2]), plain = Hex(row[4]), expected = Hex(row[5]);
        uint64_t index = std::stoull(row[3]);
        std::vector<uint8_t> table(LRW_TABLE_SIZE);
        auto data = plain;
        if (row[0] == "AES128") {
            // AES-128 is no cipher of ours: the tweak comes from our table,
            // the block cipher from the library.
            BuildLrwTable128(tweakKey.data(), table.data());
            uint8_t tweak[16];
            LrwTweak128(table.data(), index, tweak);
            for (int i = 0; i < 16; i++)
                data[i] ^= tweak[i];
            gcry_cipher_hd_t h;
            ASSERT_EQ(gcry_cipher_open(&h, GCRY_CIPHER_AES128, GCRY_CIPHER_MODE_ECB, 0), 0u);
            gcry_cipher_setkey(h, key.data(), 16);
            gcry_cipher_encrypt(h, data.data(), 16, nullptr, 0);
            gcry_cipher_close(h);
            for (int i = 0; i < 16; i++)
                data[i] ^= tweak[i];
            EXPECT_EQ(ToHex(data), ToHex(expected));
        } else {
            int32_t alg = row[0] == "AES" ? 1 : 9;
            CipherKeySchedule schedules[MAX_CASCADE] = {};
            ASSERT_EQ(SetupAlgorithmKeys(alg, key.data(), schedules), VOLUME_OK);
            if (AlgorithmBlockSize(alg) == 16)
                BuildLrwTable128(tweakKey.data(), table.data());
            else
                BuildLrwTable64(tweakKey.data(), table.data() + LRW_TABLE64_OFFSET);
            ASSERT_TRUE(LrwEncrypt(alg, schedules, table.data(), data.data(), data.size(), index));
            EXPECT_EQ(ToHex(data), ToHex(expected));
            ASSERT_TRUE(LrwDecrypt(alg, schedules, table.data(), data.data(), data.size(), index));
            EXPECT_EQ(data, plain);
            ReleaseCipherSchedules(schedules, MAX_CASCADE);
        }
        checked++;
    }
    EXPECT_EQ(checked, 5);
}

// key·index in GF(2^64) modulo x^64+x^4+x^3+x+1, bit by bit: the reference
// for the 64-bit table, independent of it.
uint64_t GfMultiply64(uint64_t a, uint64_t b)
{
    uint64_t r = 0;
    for (int i = 0; i < 64; i++) {
        if ((b >> i) & 1)
            r ^= a;
        a = (a << 1) ^ ((a >> 63) ? 0x1B : 0);
    }
    return r;
}

TEST(Lrw, SixtyFourBitTweaksReduceByTheirOwnPolynomial)
{
    // A tweak key with its top bits set and indices with high bits, so that
    // nearly every step of the table carries out of 64 bits and reduces.
    const uint64_t keys[] = {0xF1E2D3C4B5A69788ull, 0x8000000000000001ull, 0xFFFFFFFFFFFFFFFFull};
    const uint64_t indices[] = {1, 2, 3, 0x80, 0xFF00FF00FF00FF00ull, 0x8000000000000000ull, 0xFFFFFFFFFFFFFFFFull};
    std::vector<uint8_t> table(LRW_TABLE_SIZE);
    for (uint64_t k : keys) {
        uint8_t key[8];
        for (int i = 0; i < 8; i++)
            key[i] = uint8_t(k >> (56 - 8 * i));  // big-endian
        BuildLrwTable64(key, table.data());
        for (uint64_t index : indices) {
            uint8_t tweak[8];
            LrwTweak64(table.data(), index, tweak);
            uint64_t got = 0;
            for (int i = 0; i < 8; i++)
                got = (got << 8) | tweak[i];
            EXPECT_EQ(got, GfMultiply64(k, index)) << std::hex << k << " * " << index;
        }
    }
}

TEST(Lrw, VolumeBufferStartsAtBlockIndexOne)
{
    // The header's LRW vector is index 1 with the tweak key in secondaryKey.
    for (const auto &row : ReadVectorFile("lrw.txt")) {
        if (row[0] != "AES" && row[0] != "Blowfish")
            continue;
        SCOPED_TRACE(row[0]);
        int32_t alg = row[0] == "AES" ? 1 : 9;
        auto key = Hex(row[1]), tweakKey = Hex(row[2]);
        std::vector<uint8_t> material(32, 0);
        memcpy(material.data(), tweakKey.data(), tweakKey.size());
        material.insert(material.end(), key.begin(), key.end());
        Context ctx;
        SetUpKeys(ctx, alg, MODE_LRW, material.data());
        auto data = Hex(row[4]);
        ASSERT_EQ(row[3], "1");
        ASSERT_TRUE(EncryptVolumeBuffer(data.data(), data.size(), ctx.c));
        EXPECT_EQ(ToHex(data), row[5]);
    }
}

TEST(Lrw, CascadeIsOneBlockCipherBetweenTheWhitenings)
{
    // AES-Twofish (4) in LRW: per block T ^ AES(Twofish(P ^ T)) ^ T, where
    // Twofish is applied first.
    auto material = Pattern(96, 21);
    Context ctx;
    SetUpKeys(ctx, 4, MODE_LRW, material.data());
    auto data = Pattern(448, 3), plain = data;
    ASSERT_TRUE(EncryptVolumeBuffer(data.data(), data.size(), ctx.c));
    for (size_t b = 0; b < 448; b += 16) {
        uint8_t tweak[16], block[16];
        LrwTweak128(ctx->lrwTable, 1 + b / 16, tweak);
        for (int i = 0; i < 16; i++)
            block[i] = plain[b + i] ^ tweak[i];
        ASSERT_TRUE(EncryptBlock(CIPHER_TWOFISH, block, &ctx->primarySchedules[0]));
        ASSERT_TRUE(EncryptBlock(CIPHER_AES, block, &ctx->primarySchedules[1]));
        for (int i = 0; i < 16; i++)
            block[i] ^= tweak[i];
        ASSERT_EQ(0, memcmp(block, data.data() + b, 16)) << "block " << b / 16;
    }
    ASSERT_TRUE(DecryptVolumeBuffer(data.data(), data.size(), ctx.c));
    EXPECT_EQ(data, plain);
}

TEST(CbcFamily, EachPassIsLibraryCbcFollowedByWhitening)
{
    // CBC (one cipher) and Inner-CBC (one CBC pass per cipher, in order):
    // each pass equals the library's CBC with the IV from secondaryKey,
    // then every 8 bytes XORed with secondaryKey[8..15].
    ASSERT_TRUE(InitCrypto());
    struct Case {
        int32_t alg, mode;
    } cases[] = {{1, MODE_CBC}, {2, MODE_CBC}, {3, MODE_CBC}, {9, MODE_CBC}, {10, MODE_CBC},
                 {11, MODE_CBC}, {12, MODE_INNER_CBC}, {13, MODE_INNER_CBC}};
    for (const auto &c : cases) {
        SCOPED_TRACE(AlgorithmName(c.alg));
        auto material = Pattern(32 + AlgorithmKeySize(c.alg), uint8_t(c.alg * 3));
        Context ctx;
        SetUpKeys(ctx, c.alg, c.mode, material.data());
        auto plain = Pattern(448, 0x11);
        auto expected = plain;
        const uint8_t *key = material.data() + 32;
        for (int32_t ci = AlgorithmFirstCipher(c.alg); ci != CIPHER_NONE; ci = AlgorithmNextCipher(c.alg, ci)) {
            LibraryMode(ci, GCRY_CIPHER_MODE_CBC, key, CipherKeySize(ci), material.data(), CipherBlockSize(ci),
                        expected.data(), expected.size());
            for (size_t i = 0; i < expected.size(); i++)
                expected[i] ^= material[8 + i % 8];
            key += CipherKeySize(ci);
        }
        auto data = plain;
        ASSERT_TRUE(EncryptVolumeBuffer(data.data(), data.size(), ctx.c));
        EXPECT_EQ(ToHex(data), ToHex(expected));
        ASSERT_TRUE(DecryptVolumeBuffer(data.data(), data.size(), ctx.c));
        EXPECT_EQ(data, plain);
    }
}

TEST(CbcFamily, OuterCbcChainsTheWholeCascade)
{
    // Outer-CBC: C_i = E_cascade(P_i ^ C_{i-1}) with the unwhitened C as the
    // chain, stored whitened. Checked block by block for Serpent-AES (6).
    auto material = Pattern(32 + 64, 77);
    Context ctx;
    SetUpKeys(ctx, 6, MODE_OUTER_CBC, material.data());
    auto plain = Pattern(448, 1), data = plain;
    ASSERT_TRUE(EncryptVolumeBuffer(data.data(), data.size(), ctx.c));
    uint8_t chain[16];
    memcpy(chain, material.data(), 16);
    for (size_t b = 0; b < 448; b += 16) {
        uint8_t block[16];
        for (int i = 0; i < 16; i++)
            block[i] = plain[b + i] ^ chain[i];
        ASSERT_TRUE(EncryptBlock(CIPHER_AES, block, &ctx->primarySchedules[0]));
        ASSERT_TRUE(EncryptBlock(CIPHER_SERPENT, block, &ctx->primarySchedules[1]));
        memcpy(chain, block, 16);
        for (int i = 0; i < 16; i++)
            block[i] ^= material[8 + i % 8];
        ASSERT_EQ(0, memcmp(block, data.data() + b, 16)) << "block " << b / 16;
    }
    ASSERT_TRUE(DecryptVolumeBuffer(data.data(), data.size(), ctx.c));
    EXPECT_EQ(data, plain);
}

TEST(VolumeBuffer, RefusesBadLengthsAndUnsetContextsWithoutTouchingTheBuffer)
{
    auto material = Pattern(192, 2);
    struct Case {
        int32_t alg, mode;
        size_t badLength;
    } cases[] = {{1, MODE_XTS, 440}, {9, MODE_LRW, 444}, {1, MODE_LRW, 440}, {12, MODE_INNER_CBC, 440},
                 {10, MODE_CBC, 447}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.alg * 10 + c.mode);
        Context ctx;
        SetUpKeys(ctx, c.alg, c.mode, material.data());
        auto data = Pattern(448, 4), before = data;
        EXPECT_FALSE(EncryptVolumeBuffer(data.data(), c.badLength, ctx.c));
        EXPECT_FALSE(DecryptVolumeBuffer(data.data(), c.badLength, ctx.c));
        EXPECT_EQ(data, before);
    }
    Context fresh;  // algorithm -1
    EXPECT_EQ(fresh->algorithm, -1);
    auto data = Pattern(448, 4), before = data;
    EXPECT_FALSE(EncryptVolumeBuffer(data.data(), data.size(), fresh.c));
    fresh->algorithm = 1;
    fresh->modeId = MODE_CBC;  // allowed, but no key set up
    EXPECT_FALSE(EncryptVolumeBuffer(data.data(), data.size(), fresh.c));
    fresh->modeId = MODE_OUTER_CBC;  // not allowed for AES
    EXPECT_FALSE(SetupModeKeys(fresh.c));
    EXPECT_EQ(data, before);
}
