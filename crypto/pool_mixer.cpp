#include "crypto/pool_mixer.h"

#include <gcrypt.h>

#include <cstring>
#include <new>

#include "crypto/crypto_init.h"
#include "crypto/kdf.h"
#include "crypto/secure_memory.h"

struct PoolMixer {
    gcry_md_hd_t settled = nullptr;  // the hash over the settled leading bytes; in secure memory
    int algorithm = GCRY_MD_NONE;
};

namespace {

// Input block of the hash: the carried state only ever covers whole
// blocks, so that it holds no buffered pool bytes between hashes.
size_t BlockSize(int algorithm) { return algorithm == GCRY_MD_SHA512 ? 128 : 64; }

bool ReadyFor(PoolMixer &mixer, int algorithm)
{
    if (mixer.settled != nullptr && mixer.algorithm == algorithm)
        return true;
    if (mixer.settled != nullptr)
        gcry_md_close(mixer.settled);
    mixer.settled = nullptr;
    mixer.algorithm = GCRY_MD_NONE;
    if (!InitCrypto() || gcry_md_open(&mixer.settled, algorithm, GCRY_MD_FLAG_SECURE) != 0) {
        mixer.settled = nullptr;
        return false;
    }
    mixer.algorithm = algorithm;
    return true;
}

void Release(PoolMixer &mixer)
{
    if (mixer.settled != nullptr)
        gcry_md_close(mixer.settled);  // the library wipes the state
    mixer.settled = nullptr;
    mixer.algorithm = GCRY_MD_NONE;
}

}  // namespace

PoolMixer *OpenPoolMixer() { return new (std::nothrow) PoolMixer; }

void ClosePoolMixer(PoolMixer *mixer)
{
    if (mixer == nullptr)
        return;
    Release(*mixer);
    delete mixer;
}

bool StirPool(PoolMixer *mixer, int32_t hash, uint8_t *pool, size_t size)
{
    const int algorithm = PrfHashAlgorithm(hash);
    const size_t d = PrfDigestSize(hash);
    if (algorithm == GCRY_MD_NONE || d == 0 || pool == nullptr || size % d != 0)
        return false;
    PoolMixer own;
    PoolMixer &m = mixer != nullptr ? *mixer : own;
    if (!ReadyFor(m, algorithm))
        return false;

    const size_t block = BlockSize(algorithm);
    uint8_t digest[MAX_DIGEST_SIZE];
    size_t absorbed = 0;  // bytes of the pool in m.settled
    bool ok = true;
    for (size_t offset = 0; offset < size; offset += d) {
        // Everything before the block holding this slice stays as it is
        // for the rest of the stir.
        size_t settled = offset / block * block;
        if (settled > absorbed) {
            gcry_md_write(m.settled, pool + absorbed, settled - absorbed);
            absorbed = settled;
        }
        // The last hash may finish the carried state itself; the others
        // finish a copy of it.
        gcry_md_hd_t h = m.settled;
        if (offset + d < size && gcry_md_copy(&h, m.settled) != 0) {
            ok = false;
            break;
        }
        gcry_md_write(h, pool + absorbed, size - absorbed);
        const unsigned char *result = gcry_md_read(h, algorithm);
        if (result != nullptr)
            std::memcpy(digest, result, d);
        if (h != m.settled)
            gcry_md_close(h);
        if (result == nullptr) {
            ok = false;
            break;
        }
        for (size_t i = 0; i < d; i++)
            pool[offset + i] ^= digest[i];
    }
    gcry_md_reset(m.settled);  // wipes the hash state
    BurnMemory(digest, sizeof digest);
    if (mixer == nullptr)
        Release(own);
    return ok;
}
