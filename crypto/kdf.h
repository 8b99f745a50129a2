// Hash functions, HMAC and the password-based key derivation of volume
// headers (PBKDF2, PKCS #5 v2.0).
#pragma once
#include <cstddef>
#include <cstdint>

// Pseudo-random functions of the header key derivation, in the order a
// header search tries them. The random pool's mix hash uses the same
// numbering.
enum PrfId : int32_t {
    PRF_NONE = 0,
    PRF_HMAC_RIPEMD160 = 1,
    PRF_HMAC_SHA512 = 2,
    PRF_HMAC_WHIRLPOOL = 3,
    PRF_HMAC_SHA1 = 4,
};
constexpr int32_t FIRST_PRF = PRF_HMAC_RIPEMD160;
constexpr int32_t LAST_PRF = PRF_HMAC_SHA1;
constexpr size_t MAX_DIGEST_SIZE = 64;

bool IsValidPrf(int32_t prf);
const char *PrfName(int32_t prf);  // "HMAC-RIPEMD-160", ...; null when unknown

// PBKDF2 iteration count of a PRF: 2118 for RIPEMD-160 (1118 for a
// system-drive header), 1118 for SHA-512 and Whirlpool, 2118 for SHA-1.
// 0 for an unknown PRF.
int32_t PrfIterations(int32_t prf, bool systemDrive);

// The cryptographic library's identifier of the PRF's hash; 0 if unknown.
int PrfHashAlgorithm(int32_t prf);

// Digest size of the PRF's hash: 20 (RIPEMD-160, SHA-1) or 64; 0 if unknown.
size_t PrfDigestSize(int32_t prf);

// The PRF's hash over a buffer; out receives PrfDigestSize bytes.
bool HashBuffer(int32_t prf, const void *data, size_t length, uint8_t *out);

// HMAC with the PRF's hash; out receives PrfDigestSize bytes.
bool ComputeHmac(int32_t prf, const void *key, size_t keyLength, const void *data, size_t length,
                 uint8_t *out);

// PBKDF2 with HMAC over the PRF's hash.
bool DeriveKeyPbkdf2(int32_t prf, const uint8_t *password, size_t passwordLength, const uint8_t *salt,
                     size_t saltLength, uint32_t iterations, uint8_t *out, size_t outLength);
