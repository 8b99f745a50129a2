#include "crypto/crypto_init.h"

#include <gcrypt.h>

// Oldest library release whose ciphers and key derivation we rely on.
static const char MinimumGcryptVersion[] = "1.8.0";

static bool InitOnce()
{
    if (gcry_check_version(MinimumGcryptVersion) == nullptr)
        return false;
    if (!gcry_control(GCRYCTL_INITIALIZATION_FINISHED_P)) {
        // Key schedules are opened in the library's secure memory. Where the
        // system refuses to lock it the pool still works, so keep quiet
        // about that; it grows on demand beyond the first 64 KiB.
        gcry_control(GCRYCTL_DISABLE_SECMEM_WARN);
        gcry_control(GCRYCTL_INIT_SECMEM, 65536, 0);
        gcry_control(GCRYCTL_AUTO_EXPAND_SECMEM, 65536, 0);
        gcry_control(GCRYCTL_INITIALIZATION_FINISHED, 0);
    }
    return true;
}

bool InitCrypto()
{
    static const bool ready = InitOnce();  // thread-safe one-time initialisation
    return ready;
}
