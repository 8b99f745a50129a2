// Block ciphers against published known answers, the key set-up rules and
// the cipher and algorithm tables.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>

#include "crypto/cipher_tables.h"
#include "crypto/ciphers.h"
#include "crypto/volume_codes.h"
#include "vector_file.h"

using namespace testvectors;

namespace {

const std::map<std::string, int32_t> CipherByName = {
    {"AES", CIPHER_AES},         {"Serpent", CIPHER_SERPENT}, {"Twofish", CIPHER_TWOFISH},
    {"Blowfish", CIPHER_BLOWFISH}, {"CAST5", CIPHER_CAST5},   {"TripleDES", CIPHER_TRIPLEDES},
};

struct Schedule {
    CipherKeySchedule s = {};
    ~Schedule() { ReleaseCipherSchedules(&s, 1); }
};

}  // namespace

TEST(BlockCipher, PublishedVectorsEncryptAndDecrypt)
{
    auto rows = ReadVectorFile("block_ciphers.txt");
    ASSERT_GE(rows.size(), 12u);
    std::map<int32_t, int> seen;
    for (const auto &row : rows) {
        SCOPED_TRACE(row[0] + " " + row[1]);
        ASSERT_EQ(row.size(), 4u);
        int32_t cipher = CipherByName.at(row[0]);
        auto key = Hex(row[1]), plain = Hex(row[2]), expected = Hex(row[3]);
        ASSERT_EQ(key.size(), CipherKeySize(cipher));
        ASSERT_EQ(plain.size(), CipherBlockSize(cipher));

        Schedule schedule;
        ASSERT_EQ(SetupCipherKey(cipher, key.data(), &schedule.s), VOLUME_OK);
        auto block = plain;
        ASSERT_TRUE(EncryptBlock(cipher, block.data(), &schedule.s));
        EXPECT_EQ(ToHex(block), ToHex(expected));
        ASSERT_TRUE(DecryptBlock(cipher, block.data(), &schedule.s));
        EXPECT_EQ(ToHex(block), ToHex(plain));
        seen[cipher]++;
    }
    EXPECT_EQ(seen.size(), 6u) << "every cipher has a vector";
}

TEST(BlockCipher, ScheduleIsReusedAcrossKeysAndCiphers)
{
    // A schedule set up again with another key or for another cipher must
    // behave exactly like a fresh one.
    auto rows = ReadVectorFile("block_ciphers.txt");
    Schedule shared;
    for (const auto &row : rows) {
        SCOPED_TRACE(row[0]);
        int32_t cipher = CipherByName.at(row[0]);
        auto key = Hex(row[1]), block = Hex(row[2]);
        ASSERT_EQ(SetupCipherKey(cipher, key.data(), &shared.s), VOLUME_OK);
        ASSERT_TRUE(EncryptBlock(cipher, block.data(), &shared.s));
        EXPECT_EQ(ToHex(block), row[3]);
    }
}

TEST(BlockCipher, BlockOperationsRefuseAForeignOrEmptySchedule)
{
    uint8_t key[32] = {1}, block[16] = {};
    Schedule aes;
    ASSERT_EQ(SetupCipherKey(CIPHER_AES, key, &aes.s), VOLUME_OK);
    EXPECT_FALSE(EncryptBlock(CIPHER_SERPENT, block, &aes.s));
    CipherKeySchedule empty = {};
    EXPECT_FALSE(EncryptBlock(CIPHER_AES, block, &empty));
    EXPECT_FALSE(EncryptBlocks(&aes.s, block, 8));  // not whole blocks
    EXPECT_EQ(SetupCipherKey(CIPHER_NONE, key, &empty), VOLUME_CIPHER_INIT_FAILED);
    EXPECT_EQ(SetupCipherKey(7, key, &empty), VOLUME_CIPHER_INIT_FAILED);
}

TEST(TripleDesWeakKey, AnyTwoEqualKeysIgnoringParityGive18)
{
    const uint8_t k1[8] = {0x01, 0x23, 0x45, 0x67, 0x89, 0xab, 0xcd, 0xef};
    const uint8_t k2[8] = {0x23, 0x45, 0x67, 0x89, 0xab, 0xcd, 0xef, 0x01};
    const uint8_t k3[8] = {0x45, 0x67, 0x89, 0xab, 0xcd, 0xef, 0x01, 0x23};
    uint8_t k1Parity[8];  // k1 with every parity bit flipped
    for (int i = 0; i < 8; i++)
        k1Parity[i] = k1[i] ^ 1;

    auto make = [](const uint8_t *a, const uint8_t *b, const uint8_t *c) {
        std::vector<uint8_t> key(a, a + 8);
        key.insert(key.end(), b, b + 8);
        key.insert(key.end(), c, c + 8);
        return key;
    };
    struct Case {
        const char *what;
        std::vector<uint8_t> key;
        int expected;
    } cases[] = {
        {"distinct", make(k1, k2, k3), VOLUME_OK},
        {"first equals third up to parity", make(k1, k2, k1Parity), VOLUME_WEAK_KEY},
        {"first equals second", make(k1, k1, k3), VOLUME_WEAK_KEY},
        {"second equals third up to parity", make(k2, k1Parity, k1), VOLUME_WEAK_KEY},
        // A DES weak key is not our rule: it must not be refused.
        {"DES weak key inside", make(std::vector<uint8_t>(8, 0x01).data(), k2, k3), VOLUME_OK},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        Schedule schedule;
        EXPECT_EQ(SetupCipherKey(CIPHER_TRIPLEDES, c.key.data(), &schedule.s), c.expected);
        // The schedule is usable either way.
        uint8_t block[8] = {};
        EXPECT_TRUE(EncryptBlock(CIPHER_TRIPLEDES, block, &schedule.s));
    }
}

TEST(TripleDesWeakKey, AlgorithmSetupFinishesAndThenReports18)
{
    uint8_t key[24];
    for (int i = 0; i < 24; i++)
        key[i] = uint8_t(i % 8 * 0x22);  // three equal DES keys
    CipherKeySchedule schedules[MAX_CASCADE] = {};
    EXPECT_EQ(SetupAlgorithmKeys(11, key, schedules), VOLUME_WEAK_KEY);
    EXPECT_EQ(schedules[0].cipher, CIPHER_TRIPLEDES);
    EXPECT_NE(schedules[0].handle, nullptr);
    ReleaseCipherSchedules(schedules, MAX_CASCADE);
    EXPECT_EQ(schedules[0].handle, nullptr);
    EXPECT_EQ(SetupAlgorithmKeys(0, key, schedules), VOLUME_CIPHER_INIT_FAILED);
}

TEST(AlgorithmSetup, TakesConsecutiveKeyBytesPerCipher)
{
    // Algorithm 13 (Serpent, Blowfish, AES): keys at 0, 32 and 88.
    uint8_t key[120];
    for (int i = 0; i < 120; i++)
        key[i] = uint8_t(i * 7 + 3);
    CipherKeySchedule cascade[MAX_CASCADE] = {};
    ASSERT_EQ(SetupAlgorithmKeys(13, key, cascade), VOLUME_OK);
    const int32_t ciphers[] = {CIPHER_SERPENT, CIPHER_BLOWFISH, CIPHER_AES};
    const size_t offsets[] = {0, 32, 88};
    for (int i = 0; i < 3; i++) {
        Schedule single;
        ASSERT_EQ(SetupCipherKey(ciphers[i], key + offsets[i], &single.s), VOLUME_OK);
        uint8_t a[16] = {9, 8, 7}, b[16] = {9, 8, 7};
        ASSERT_TRUE(EncryptBlock(ciphers[i], a, &cascade[i]));
        ASSERT_TRUE(EncryptBlock(ciphers[i], b, &single.s));
        EXPECT_EQ(0, memcmp(a, b, sizeof a)) << "cipher " << i;
    }
    ReleaseCipherSchedules(cascade, MAX_CASCADE);
}

TEST(AlgorithmTable, KeySizesModesAndNames)
{
    const size_t keySizes[] = {32, 32, 32, 64, 96, 64, 96, 64, 56, 16, 24, 88, 120};
    int visited = 0;
    for (int32_t a = FirstAlgorithm(); a != 0; a = NextAlgorithm(a)) {
        SCOPED_TRACE(a);
        EXPECT_EQ(a, FirstAlgorithm() + visited);
        EXPECT_EQ(AlgorithmKeySize(a), keySizes[visited]);
        visited++;

        // The name is the cipher list read backwards, except for algorithm
        // 12, whose name lists AES first although AES is applied first.
        std::string name;
        for (int32_t c = AlgorithmLastCipher(a); c != CIPHER_NONE; c = AlgorithmPreviousCipher(a, c))
            name += (name.empty() ? "" : "-") + std::string(CipherName(c));
        if (a == 12)
            EXPECT_STREQ(AlgorithmName(a), "AES-Blowfish");
        else
            EXPECT_EQ(name, AlgorithmName(a));

        int forwards = 0;
        for (int32_t c = AlgorithmFirstCipher(a); c != CIPHER_NONE; c = AlgorithmNextCipher(a, c))
            forwards++;
        EXPECT_EQ(forwards, AlgorithmCipherCount(a));
        EXPECT_EQ(AlgorithmScheduleSize(a), forwards * sizeof(CipherKeySchedule));
    }
    EXPECT_EQ(visited, 13);
    EXPECT_EQ(NextAlgorithm(13), 0);
    EXPECT_EQ(AlgorithmKeySize(0), 0u);

    EXPECT_EQ(HeaderKeyLength(), 192u);
    EXPECT_EQ(LargestKeySizeForMode(MODE_XTS), 96u);
    EXPECT_EQ(LargestKeySizeForMode(MODE_LRW), 96u);
    EXPECT_EQ(LargestKeySizeForMode(MODE_CBC), 56u);
    EXPECT_EQ(LargestKeySizeForMode(MODE_INNER_CBC), 120u);

    // Serpent-Twofish-AES applies AES first and Serpent last.
    EXPECT_EQ(AlgorithmFirstCipher(7), CIPHER_AES);
    EXPECT_EQ(AlgorithmNextCipher(7, CIPHER_AES), CIPHER_TWOFISH);
    EXPECT_EQ(AlgorithmLastCipher(7), CIPHER_SERPENT);
    EXPECT_EQ(AlgorithmFirstCipher(12), CIPHER_AES);
    EXPECT_EQ(AlgorithmLastCipher(12), CIPHER_BLOWFISH);
    EXPECT_EQ(AlgorithmPreviousCipher(13, CIPHER_BLOWFISH), CIPHER_SERPENT);
    EXPECT_EQ(AlgorithmPreviousCipher(13, CIPHER_SERPENT), CIPHER_NONE);

    // XTS only where every cipher has 16-byte blocks; the 64-bit ciphers
    // use LRW and CBC; the Blowfish cascades only Inner-CBC.
    for (int32_t a = 1; a <= 13; a++) {
        bool wide = true;
        for (int32_t c = AlgorithmFirstCipher(a); c != CIPHER_NONE; c = AlgorithmNextCipher(a, c))
            wide = wide && CipherBlockSize(c) == 16;
        EXPECT_EQ(IsModeAllowed(a, MODE_XTS), wide) << a;
    }
    EXPECT_EQ(AlgorithmFirstMode(12), MODE_INNER_CBC);
    EXPECT_EQ(AlgorithmNextMode(12, MODE_INNER_CBC), MODE_NONE);
    EXPECT_EQ(AlgorithmNextMode(9, MODE_LRW), MODE_CBC);
    EXPECT_FALSE(IsModeAllowed(4, MODE_CBC));
    EXPECT_TRUE(IsModeAllowed(4, MODE_OUTER_CBC));
    EXPECT_STREQ(ModeName(MODE_OUTER_CBC), "Outer-CBC");
}
