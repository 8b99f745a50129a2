#include "crypto/crypto_init.h"

#include <gcrypt.h>

#include "crypto/secure_arena.h"

// Oldest library release whose ciphers and key derivation we rely on.
static const char MinimumGcryptVersion[] = "1.8.0";

static bool InitOnce()
{
    // Key schedules, hash states and the key derivation's buffers are the
    // library's secure memory: served from our locked arena only. The
    // handlers go in before the library's first allocation. Without a
    // locked arena nothing secret may be computed, so the library counts
    // as unusable.
    if (!InstallSecureArena())
        return false;
    if (gcry_check_version(MinimumGcryptVersion) == nullptr)
        return false;
    if (!gcry_control(GCRYCTL_INITIALIZATION_FINISHED_P))
        gcry_control(GCRYCTL_INITIALIZATION_FINISHED, 0);
    return true;
}

bool InitCrypto()
{
    static const bool ready = InitOnce();  // thread-safe one-time initialisation
    return ready;
}
