// The library's secure memory comes from our locked arena: a full header
// search with a wrong password and a password change are served from it
// without a single refusal, the arena refuses rather than spilling into the
// heap, and freed blocks are wiped.
#include <gtest/gtest.h>

#include <gcrypt.h>

#include <cstring>
#include <string>
#include <vector>

#include "crypto/cipher_tables.h"
#include "crypto/crypto_init.h"
#include "crypto/kdf.h"
#include "crypto/random_pool.h"
#include "crypto/secure_arena.h"
#include "volume/volume_header.h"

namespace {

QdskPassword Password(const std::string &text)
{
    QdskPassword p = {};
    p.ByteCount = uint32_t(text.size());
    memcpy(p.Bytes, text.data(), text.size());
    return p;
}

struct ContextHolder {
    QdskCryptoContext *c = nullptr;
    ~ContextHolder() { ReleaseCryptoContext(c); }
};

}  // namespace

TEST(SecureArena, HeaderSearchAndPasswordChangeStayInsideTheLockedArena)
{
    ASSERT_TRUE(InitCrypto());
    ASSERT_TRUE(OpenRandomPool());
    SecureArenaStats start = GetSecureArenaStats();
    ASSERT_TRUE(start.locked);
    ASSERT_EQ(start.capacity, SECURE_ARENA_SIZE);

    // The last cascade in the search order, with the last PRF; the search
    // with a wrong password walks every PRF, mode and algorithm.
    int32_t algorithm = 0;
    for (int32_t alg = FirstAlgorithm(); alg != 0; alg = NextAlgorithm(alg))
        if (IsModeAllowed(alg, MODE_XTS))
            algorithm = alg;
    auto oldPw = Password("old password");
    std::vector<uint8_t> header(VOLUME_HEADER_SIZE);
    ASSERT_EQ(BuildVolumeHeader(false, header.data(), algorithm, MODE_XTS, &oldPw, LAST_PRF, nullptr,
                                nullptr, 1 << 20, 0, 131072, 1 << 20, 0, 0, true),
              VOLUME_OK);
    ResetSecureArenaPeak();

    auto wrong = Password("not the password");
    ContextHolder none;
    EXPECT_EQ(OpenVolumeHeader(false, header.data(), &wrong, &none.c, nullptr), VOLUME_WRONG_PASSWORD);

    // A password change: the volume open with the old password, its header
    // key held, and new headers built over the kept master key meanwhile.
    ContextHolder volume, headerKey, rebuilt;
    ASSERT_EQ(OpenVolumeHeader(false, header.data(), &oldPw, &volume.c, nullptr), VOLUME_OK);
    headerKey.c = AllocateCryptoContext();
    ASSERT_NE(headerKey.c, nullptr);
    ASSERT_EQ(OpenVolumeHeader(false, header.data(), &oldPw, nullptr, headerKey.c), VOLUME_OK);
    auto newPw = Password("new password");
    std::vector<uint8_t> changed(VOLUME_HEADER_SIZE);
    for (int pass = 0; pass < 3; pass++) {
        ReleaseCryptoContext(rebuilt.c);
        rebuilt.c = nullptr;
        ASSERT_EQ(BuildVolumeHeader(false, changed.data(), volume.c->algorithm, MODE_XTS, &newPw, FIRST_PRF,
                                    volume.c->masterKey, &rebuilt.c, 1 << 20, 0, 131072, 1 << 20, 0, 0, true),
                  VOLUME_OK);
    }
    ContextHolder reopened;
    ASSERT_EQ(OpenVolumeHeader(false, changed.data(), &newPw, &reopened.c, nullptr), VOLUME_OK);
    EXPECT_EQ(0, memcmp(reopened.c->masterKey, volume.c->masterKey, MASTER_KEY_AREA_SIZE));

    SecureArenaStats end = GetSecureArenaStats();
    EXPECT_EQ(end.refused, start.refused);
    EXPECT_GT(end.served, start.served + 100);  // schedules and hash states really came from here
    EXPECT_LE(end.peak, end.capacity);
    // Room for a few mounted volumes' keys on top of this worst case.
    EXPECT_LE(end.peak * 3 / 2, end.capacity) << "peak " << end.peak;
    RecordProperty("secure_arena_peak", std::to_string(end.peak));
    CloseRandomPool();
}

TEST(SecureArena, RefusesInsteadOfUsingTheHeapAndWipesWhatIsFreed)
{
    ASSERT_TRUE(InitCrypto());
    SecureArenaStats before = GetSecureArenaStats();

    // Larger than the arena: refused, never served from ordinary memory.
    EXPECT_EQ(gcry_malloc_secure(SECURE_ARENA_SIZE + 1), nullptr);
    EXPECT_EQ(GetSecureArenaStats().refused, before.refused + 1);

    auto *p = static_cast<unsigned char *>(gcry_malloc_secure(100));
    ASSERT_NE(p, nullptr);
    EXPECT_TRUE(SecureArenaContains(p));
    EXPECT_TRUE(gcry_is_secure(p));
    memset(p, 0xA5, 100);
    // Growing keeps the bytes and stays in the arena.
    auto *q = static_cast<unsigned char *>(gcry_realloc(p, 5000));
    ASSERT_NE(q, nullptr);
    EXPECT_TRUE(SecureArenaContains(q));
    EXPECT_EQ(std::vector<unsigned char>(q, q + 100), std::vector<unsigned char>(100, 0xA5));
    if (q != p) {  // the old block was wiped when it moved
        EXPECT_EQ(std::vector<unsigned char>(p, p + 100), std::vector<unsigned char>(100, 0));
    }
    memset(q, 0x5A, 5000);
    gcry_free(q);
    EXPECT_EQ(std::vector<unsigned char>(q, q + 5000), std::vector<unsigned char>(5000, 0));
    EXPECT_EQ(GetSecureArenaStats().inUse, before.inUse);

    // Ordinary allocations are not secure and go to the heap.
    void *plain = gcry_malloc(64);
    ASSERT_NE(plain, nullptr);
    EXPECT_FALSE(gcry_is_secure(plain));
    EXPECT_FALSE(SecureArenaContains(plain));
    gcry_free(plain);
}
