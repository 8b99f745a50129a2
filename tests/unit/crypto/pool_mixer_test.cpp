// Stirring with the hash state carried between the hashes of a stir gives
// exactly the pool that hashing the whole pool afresh for every slice gives,
// for every mix hash, stir after stir with one mixer (the hash changing
// between stirs too), and leaves no library state behind.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "crypto/crypto_init.h"
#include "crypto/kdf.h"
#include "crypto/pool_mixer.h"
#include "crypto/random_pool.h"
#include "crypto/secure_arena.h"

namespace {

// The stir as it reads: every slice gets the digest of the whole pool as it
// stands at that moment.
void StirAfresh(int32_t hash, std::vector<uint8_t> &pool)
{
    size_t d = PrfDigestSize(hash);
    uint8_t digest[MAX_DIGEST_SIZE];
    for (size_t offset = 0; offset < pool.size(); offset += d) {
        ASSERT_TRUE(HashBuffer(hash, pool.data(), pool.size(), digest));
        for (size_t i = 0; i < d; i++)
            pool[offset + i] ^= digest[i];
    }
}

}  // namespace

TEST(PoolMixer, CarriedHashStateStirsExactlyLikeHashingTheWholePoolEachTime)
{
    ASSERT_TRUE(InitCrypto());
    std::vector<uint8_t> pool(RANDOM_POOL_SIZE);
    for (size_t i = 0; i < pool.size(); i++)
        pool[i] = uint8_t(i * 7 + 3);
    std::vector<uint8_t> expected = pool;
    size_t inUse = GetSecureArenaStats().inUse;

    // One mixer across stirs and hash changes, as the process-wide pool
    // keeps it; bytes added between stirs, as the pool adds them.
    PoolMixer *mixer = OpenPoolMixer();
    ASSERT_NE(mixer, nullptr);
    const int32_t hashes[] = {1, 1, 2, 3, 4, 1, 3, 2};
    for (size_t round = 0; round < sizeof hashes / sizeof hashes[0]; round++) {
        int32_t hash = hashes[round];
        SCOPED_TRACE(testing::Message() << "round " << round << ", hash " << hash);
        size_t at = (round * 97) % pool.size();
        pool[at] = uint8_t(pool[at] + round + 1);
        expected[at] = uint8_t(expected[at] + round + 1);
        ASSERT_TRUE(StirPool(mixer, hash, pool.data(), pool.size()));
        StirAfresh(hash, expected);
        ASSERT_EQ(pool, expected);
    }
    ClosePoolMixer(mixer);

    // Without a mixer, and through the pool arithmetic on a pool of its own.
    for (int32_t hash = FIRST_PRF; hash <= LAST_PRF; hash++) {
        SCOPED_TRACE(hash);
        ASSERT_TRUE(StirPool(nullptr, hash, pool.data(), pool.size()));
        StirAfresh(hash, expected);
        EXPECT_EQ(pool, expected);
        EntropyPool local = {pool.data(), 0, 0, hash, true};
        PoolMix(local);
        StirAfresh(hash, expected);
        EXPECT_EQ(pool, expected);
    }
    // Every hash state and copy went back to the arena.
    EXPECT_EQ(GetSecureArenaStats().inUse, inUse);

    // An unknown hash, or a pool the digest does not divide, stirs nothing.
    std::vector<uint8_t> before = pool;
    EXPECT_FALSE(StirPool(nullptr, 0, pool.data(), pool.size()));
    EXPECT_FALSE(StirPool(nullptr, 5, pool.data(), pool.size()));
    EXPECT_FALSE(StirPool(nullptr, PRF_HMAC_SHA512, pool.data(), 100));
    EXPECT_EQ(pool, before);
}
