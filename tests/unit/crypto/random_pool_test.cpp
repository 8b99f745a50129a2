// The random pool: adding, stirring, drawing, the cursors and the error
// path of an oversized draw.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "crypto/kdf.h"
#include "crypto/random_pool.h"

namespace {

struct LocalPool {
    std::vector<uint8_t> bytes = std::vector<uint8_t>(RANDOM_POOL_SIZE, 0);
    EntropyPool pool;
    explicit LocalPool(int32_t hash, bool mix) { pool = {bytes.data(), 0, 0, hash, mix}; }
};

// Pollers that add a known pattern, count their runs and record errors.
std::atomic<int> QuickPolls{0}, DeepPolls{0};
std::string LastError;
bool DeepPollResult = true;

void CountingQuickPoll()
{
    QuickPolls++;
    for (uint32_t i = 0; i < 40; i++)
        RandomAddInt(i * 0x01010101u);
}

bool CountingDeepPoll()
{
    DeepPolls++;
    RandomAddBuffer("deep", 4);
    return DeepPollResult;
}

void RecordError(const char *key) { LastError = key; }

const RandomPollers TestPollers = {CountingQuickPoll, CountingDeepPoll, RecordError};

class RandomPool : public ::testing::Test {
protected:
    void SetUp() override
    {
        QuickPolls = 0;
        DeepPolls = 0;
        LastError.clear();
        DeepPollResult = true;
        SetRandomPollers(&TestPollers);
        SetMixHash(PRF_HMAC_RIPEMD160);
        ASSERT_TRUE(OpenRandomPool());
    }
    void TearDown() override
    {
        CloseRandomPool();
        SetRandomPollers(nullptr);
        SetMixHash(PRF_HMAC_RIPEMD160);
    }
};

}  // namespace

TEST(PoolArithmetic, AddsModulo256AndWrapsTheWriteCursor)
{
    LocalPool p(PRF_HMAC_RIPEMD160, false);
    p.bytes[5] = 0xFF;
    p.pool.writeCursor = 5;
    PoolAddByte(p.pool, 0x02);
    EXPECT_EQ(p.bytes[5], 0x01);  // added, not XORed (0xFF ^ 0x02 would be 0xFD)
    EXPECT_EQ(p.pool.writeCursor, 6u);

    p.pool.writeCursor = 638;
    PoolAddInt(p.pool, 0x44332211u);  // least significant byte first
    EXPECT_EQ(p.bytes[638], 0x11);
    EXPECT_EQ(p.bytes[639], 0x22);
    EXPECT_EQ(p.bytes[0], 0x33);
    EXPECT_EQ(p.bytes[1], 0x44);
    EXPECT_EQ(p.pool.writeCursor, 2u);
}

TEST(PoolArithmetic, StirsWhenTheWriteCursorIsAMultipleOf16)
{
    LocalPool p(PRF_HMAC_RIPEMD160, true);
    p.pool.writeCursor = 1;
    PoolAddBuffer(p.pool, "\x01\x02\x03", 3);  // cursors 1..3: no stir
    EXPECT_EQ(std::vector<uint8_t>(p.bytes.begin() + 4, p.bytes.end()), std::vector<uint8_t>(636, 0));

    p.pool.writeCursor = 16;
    PoolAddByte(p.pool, 0x01);  // stirs right after adding at 16
    int nonzero = 0;
    for (size_t i = 20; i < RANDOM_POOL_SIZE; i++)
        nonzero += p.bytes[i] != 0;
    EXPECT_GT(nonzero, 500);
}

TEST(PoolArithmetic, EveryMixHashStirsTheWholePoolDifferently)
{
    // Hash 4 (the SHA-1 PRF) must stir too; a pool left unstirred would hand
    // out what was added.
    std::vector<std::vector<uint8_t>> results;
    for (int32_t hash = 1; hash <= 4; hash++) {
        SCOPED_TRACE(hash);
        EXPECT_GT(MixHashDigestSize(hash), 0u);
        LocalPool p(hash, true);
        p.bytes[0] = 1;
        PoolMix(p.pool);
        // Every digest-sized slice was XORed with a digest of the pool.
        size_t d = MixHashDigestSize(hash);
        for (size_t off = 0; off < RANDOM_POOL_SIZE; off += d) {
            bool changed = false;
            for (size_t i = off; i < off + d; i++)
                changed = changed || p.bytes[i] != 0;
            EXPECT_TRUE(changed) << "slice at " << off;
        }
        results.push_back(p.bytes);
    }
    for (size_t i = 0; i < results.size(); i++)
        for (size_t j = i + 1; j < results.size(); j++)
            EXPECT_NE(results[i], results[j]);
    EXPECT_EQ(MixHashDigestSize(0), 0u);
    EXPECT_EQ(MixHashDigestSize(5), 0u);
}

TEST(PoolArithmetic, DrawsWrapTheReadCursorAndInvertFlipsEveryBit)
{
    LocalPool p(PRF_HMAC_RIPEMD160, false);
    for (size_t i = 0; i < RANDOM_POOL_SIZE; i++)
        p.bytes[i] = uint8_t(i);
    p.pool.readCursor = 638;
    uint8_t out[4];
    PoolCopyOut(p.pool, out, 4);
    EXPECT_EQ(out[0], uint8_t(638));
    EXPECT_EQ(out[1], uint8_t(639));
    EXPECT_EQ(out[2], 0);
    EXPECT_EQ(out[3], 1);
    EXPECT_EQ(p.pool.readCursor, 2u);
    PoolXorOut(p.pool, out, 2);
    EXPECT_EQ(out[0], uint8_t(638 ^ 2));
    PoolInvert(p.pool);
    EXPECT_EQ(p.bytes[7], uint8_t(~7));
}

TEST_F(RandomPool, DrawsUpTo640BytesAndRefuses641WithoutKeepingTheLock)
{
    std::vector<uint8_t> first(RANDOM_POOL_SIZE), second(RANDOM_POOL_SIZE);
    EXPECT_TRUE(GetRandomBytes(first.data(), first.size(), false));
    EXPECT_TRUE(GetRandomBytes(second.data(), second.size(), false));
    EXPECT_NE(first, second);
    EXPECT_EQ(DeepPolls, 1) << "one deep poll until forced";
    EXPECT_EQ(QuickPolls, 4) << "two quick polls per draw";
    EXPECT_TRUE(LastError.empty());

    std::vector<uint8_t> tooMany(RANDOM_POOL_SIZE + 1, 0xAB);
    EXPECT_FALSE(GetRandomBytes(tooMany.data(), tooMany.size(), false));
    EXPECT_EQ(LastError, "ERR_NOT_ENOUGH_RANDOM_DATA");
    EXPECT_EQ(tooMany, std::vector<uint8_t>(RANDOM_POOL_SIZE + 1, 0xAB));

    // Another thread must get the lock now.
    std::atomic<bool> done{false};
    std::thread other([&] {
        uint8_t b[16];
        GetRandomBytes(b, sizeof b, false);
        done = true;
    });
    for (int i = 0; i < 500 && !done; i++)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (!done) {
        other.detach();
        FAIL() << "the pool lock was left taken";
    }
    other.join();
}

TEST_F(RandomPool, DeepPollRunsFirstAndWhenForcedAndItsFailureIsReported)
{
    uint8_t b[64];
    EXPECT_TRUE(GetRandomBytes(b, sizeof b, false));
    EXPECT_TRUE(GetRandomBytes(b, sizeof b, false));
    EXPECT_EQ(DeepPolls, 1);
    EXPECT_TRUE(GetRandomBytes(b, sizeof b, true));
    EXPECT_EQ(DeepPolls, 2);
    DeepPollResult = false;
    EXPECT_FALSE(GetRandomBytes(b, sizeof b, true));
    EXPECT_EQ(DeepPolls, 3);
}

TEST_F(RandomPool, QuickPollLeavesTheWriteCursorWhereItWas)
{
    LockRandomPool();
    RandomAddBuffer("abcde", 5);
    uint32_t before = RandomWriteCursor();
    RandomQuickPoll();  // adds 160 bytes
    EXPECT_EQ(RandomWriteCursor(), before);
    UnlockRandomPool();
    EXPECT_EQ(QuickPolls, 1);
    EXPECT_EQ(before, 5u);
}

void SilentQuickPoll() {}
bool SilentDeepPoll() { return true; }
const RandomPollers SilentPollers = {SilentQuickPoll, SilentDeepPoll, RecordError};

TEST_F(RandomPool, DrawXorsTheFirstBytesWithTheInvertedPool)
{
    // A zero pool, no stirring, pollers that add nothing: the first bytes
    // (zeros) XORed with the next ones of the inverted pool are all ones.
    // Without the inversion two equal pool regions would cancel out.
    CloseRandomPool();
    SetRandomPollers(&SilentPollers);
    SetMixEnabled(false);
    ASSERT_TRUE(OpenRandomPool());
    uint8_t b[32];
    bool drawn = GetRandomBytes(b, sizeof b, false);
    SetMixEnabled(true);
    ASSERT_TRUE(drawn);
    EXPECT_EQ(std::vector<uint8_t>(b, b + sizeof b), std::vector<uint8_t>(sizeof b, 0xFF));
}

TEST_F(RandomPool, DrawAdvancesTheReadCursorTwiceTheLength)
{
    uint8_t b[100];
    ASSERT_TRUE(GetRandomBytes(b, sizeof b, false));
    EXPECT_EQ(RandomReadCursor(), 200u);
    uint8_t c[300];
    ASSERT_TRUE(GetRandomBytes(c, sizeof c, false));
    EXPECT_EQ(RandomReadCursor(), (200u + 600u) % 640u);
}

TEST_F(RandomPool, UnknownMixHashIsIgnoredAndAClosedPoolDeliversNothing)
{
    SetMixHash(PRF_HMAC_SHA1);
    EXPECT_EQ(GetMixHash(), PRF_HMAC_SHA1);
    SetMixHash(0);
    SetMixHash(9);
    EXPECT_EQ(GetMixHash(), PRF_HMAC_SHA1);
    uint8_t b[16];
    EXPECT_TRUE(GetRandomBytes(b, sizeof b, false));

    CloseRandomPool();
    EXPECT_FALSE(IsRandomPoolOpen());
    EXPECT_FALSE(GetRandomBytes(b, sizeof b, false));
}

TEST(RandomPoolBuiltIn, DeliversDifferentBytesWithTheDefaultSources)
{
    ASSERT_TRUE(OpenRandomPool());
    uint8_t a[64], b[64];
    EXPECT_TRUE(GetRandomBytes(a, sizeof a, true));
    EXPECT_TRUE(GetRandomBytes(b, sizeof b, false));
    EXPECT_NE(0, memcmp(a, b, sizeof a));
    CloseRandomPool();
}
