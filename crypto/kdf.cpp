#include "crypto/kdf.h"

#include <gcrypt.h>

#include <cstring>

#include "crypto/crypto_init.h"

int PrfHashAlgorithm(int32_t prf)
{
    switch (prf) {
    case PRF_HMAC_RIPEMD160: return GCRY_MD_RMD160;
    case PRF_HMAC_SHA512: return GCRY_MD_SHA512;
    case PRF_HMAC_WHIRLPOOL: return GCRY_MD_WHIRLPOOL;
    case PRF_HMAC_SHA1: return GCRY_MD_SHA1;
    default: return GCRY_MD_NONE;
    }
}

bool IsValidPrf(int32_t prf) { return prf >= FIRST_PRF && prf <= LAST_PRF; }

const char *PrfName(int32_t prf)
{
    switch (prf) {
    case PRF_HMAC_RIPEMD160: return "HMAC-RIPEMD-160";
    case PRF_HMAC_SHA512: return "HMAC-SHA-512";
    case PRF_HMAC_WHIRLPOOL: return "HMAC-Whirlpool";
    case PRF_HMAC_SHA1: return "HMAC-SHA-1";
    default: return nullptr;
    }
}

int32_t PrfIterations(int32_t prf, bool systemDrive)
{
    switch (prf) {
    case PRF_HMAC_RIPEMD160: return systemDrive ? 1118 : 2118;
    case PRF_HMAC_SHA512: return 1118;
    case PRF_HMAC_WHIRLPOOL: return 1118;
    case PRF_HMAC_SHA1: return 2118;
    default: return 0;
    }
}

size_t PrfDigestSize(int32_t prf)
{
    return IsValidPrf(prf) ? gcry_md_get_algo_dlen(PrfHashAlgorithm(prf)) : 0;
}

bool HashBuffer(int32_t prf, const void *data, size_t length, uint8_t *out)
{
    if (!IsValidPrf(prf) || out == nullptr || (data == nullptr && length != 0) || !InitCrypto())
        return false;
    gcry_md_hd_t md;
    if (gcry_md_open(&md, PrfHashAlgorithm(prf), GCRY_MD_FLAG_SECURE))
        return false;
    gcry_md_write(md, data, length);
    std::memcpy(out, gcry_md_read(md, 0), PrfDigestSize(prf));
    gcry_md_close(md);  // wipes the hash state
    return true;
}

bool ComputeHmac(int32_t prf, const void *key, size_t keyLength, const void *data, size_t length,
                 uint8_t *out)
{
    if (!IsValidPrf(prf) || out == nullptr || (data == nullptr && length != 0) || !InitCrypto())
        return false;
    gcry_md_hd_t md;
    if (gcry_md_open(&md, PrfHashAlgorithm(prf), GCRY_MD_FLAG_SECURE | GCRY_MD_FLAG_HMAC))
        return false;
    static const uint8_t none = 0;
    bool ok = gcry_md_setkey(md, keyLength ? key : &none, keyLength) == 0;
    if (ok) {
        gcry_md_write(md, data, length);
        std::memcpy(out, gcry_md_read(md, 0), PrfDigestSize(prf));
    }
    gcry_md_close(md);
    return ok;
}

bool DeriveKeyPbkdf2(int32_t prf, const uint8_t *password, size_t passwordLength, const uint8_t *salt,
                     size_t saltLength, uint32_t iterations, uint8_t *out, size_t outLength)
{
    if (!IsValidPrf(prf) || out == nullptr || salt == nullptr || iterations == 0 || outLength == 0 ||
        (password == nullptr && passwordLength != 0) || !InitCrypto())
        return false;
    static const uint8_t none = 0;
    return gcry_kdf_derive(passwordLength ? password : &none, passwordLength, GCRY_KDF_PBKDF2,
                           PrfHashAlgorithm(prf), salt, saltLength, iterations, outLength, out) == 0;
}
