#include "crypto/ciphers.h"

#include <gcrypt.h>

#include "crypto/crypto_init.h"
#include "crypto/volume_codes.h"

namespace {

int LibraryCipher(int32_t cipher)
{
    switch (cipher) {
    case CIPHER_AES: return GCRY_CIPHER_AES256;
    case CIPHER_SERPENT: return GCRY_CIPHER_SERPENT256;
    case CIPHER_TWOFISH: return GCRY_CIPHER_TWOFISH;  // the 256-bit variant
    case CIPHER_BLOWFISH: return GCRY_CIPHER_BLOWFISH;
    case CIPHER_CAST5: return GCRY_CIPHER_CAST5;
    case CIPHER_TRIPLEDES: return GCRY_CIPHER_3DES;
    default: return GCRY_CIPHER_NONE;
    }
}

// The library quietly accepts shorter keys than our table gives (a 16-byte
// key would run AES-128 under the AES-256 handle; Blowfish takes 1 to 72
// bytes). We always pass the table's size; this checks once that the library
// agrees with the table on the fixed-size ciphers and their block sizes.
bool LibraryMatchesTable()
{
    static const bool matches = [] {
        for (int32_t c = CIPHER_AES; c <= LAST_CIPHER; c++) {
            int algo = LibraryCipher(c);
            if (gcry_cipher_get_algo_blklen(algo) != CipherBlockSize(c))
                return false;
            if (c != CIPHER_BLOWFISH && gcry_cipher_get_algo_keylen(algo) != CipherKeySize(c))
                return false;
        }
        return true;
    }();
    return matches;
}

gcry_cipher_hd_t Handle(const CipherKeySchedule *schedule)
{
    return static_cast<gcry_cipher_hd_t>(schedule->handle);
}

bool SameDesKey(const uint8_t *a, const uint8_t *b)
{
    for (int i = 0; i < 8; i++)
        if ((a[i] & 0xFE) != (b[i] & 0xFE))
            return false;
    return true;
}

bool Usable(int32_t cipher, const CipherKeySchedule *schedule)
{
    return schedule != nullptr && schedule->handle != nullptr && schedule->cipher == cipher &&
           cipher != CIPHER_NONE;
}

}  // namespace

bool IsTripleDesKeyWeak(const uint8_t *key)
{
    return SameDesKey(key, key + 8) || SameDesKey(key, key + 16) || SameDesKey(key + 8, key + 16);
}

int SetupCipherKey(int32_t cipher, const uint8_t *key, CipherKeySchedule *schedule)
{
    if (schedule == nullptr || key == nullptr || CipherKeySize(cipher) == 0)
        return VOLUME_CIPHER_INIT_FAILED;
    if (!InitCrypto() || !LibraryMatchesTable())
        return VOLUME_CIPHER_INIT_FAILED;

    if (schedule->handle != nullptr && schedule->cipher != cipher)
        ReleaseCipherSchedules(schedule, 1);
    if (schedule->handle == nullptr) {
        gcry_cipher_hd_t handle = nullptr;
        if (gcry_cipher_open(&handle, LibraryCipher(cipher), GCRY_CIPHER_MODE_ECB, GCRY_CIPHER_SECURE))
            return VOLUME_CIPHER_INIT_FAILED;
        // DES weak and semi-weak keys are valid Triple DES keys; the only
        // rule we apply is the equal-keys rule below.
        if (cipher == CIPHER_TRIPLEDES)
            gcry_cipher_ctl(handle, GCRYCTL_SET_ALLOW_WEAK_KEY, nullptr, 1);
        schedule->handle = handle;
        schedule->cipher = cipher;
    }

    gcry_error_t err = gcry_cipher_setkey(Handle(schedule), key, CipherKeySize(cipher));
    if (err && gcry_err_code(err) != GPG_ERR_WEAK_KEY) {
        ReleaseCipherSchedules(schedule, 1);
        return VOLUME_CIPHER_INIT_FAILED;
    }
    if (cipher == CIPHER_TRIPLEDES && IsTripleDesKeyWeak(key))
        return VOLUME_WEAK_KEY;
    return VOLUME_OK;
}

int SetupAlgorithmKeys(int32_t algorithm, const uint8_t *key, CipherKeySchedule *schedules)
{
    if (!IsValidAlgorithm(algorithm) || key == nullptr || schedules == nullptr)
        return VOLUME_CIPHER_INIT_FAILED;
    int result = VOLUME_OK;
    int slot = 0;
    for (int32_t c = AlgorithmFirstCipher(algorithm); c != CIPHER_NONE;
         c = AlgorithmNextCipher(algorithm, c), slot++) {
        int status = SetupCipherKey(c, key, &schedules[slot]);
        if (status == VOLUME_CIPHER_INIT_FAILED)
            return status;
        if (status != VOLUME_OK)
            result = status;
        key += CipherKeySize(c);
    }
    return result;
}

void ReleaseCipherSchedules(CipherKeySchedule *schedules, int count)
{
    if (schedules == nullptr)
        return;
    for (int i = 0; i < count; i++) {
        if (schedules[i].handle != nullptr)
            gcry_cipher_close(Handle(&schedules[i]));  // wipes the expanded key
        schedules[i].handle = nullptr;
        schedules[i].cipher = CIPHER_NONE;
    }
}

bool EncryptBlock(int32_t cipher, uint8_t *block, const CipherKeySchedule *schedule)
{
    if (!Usable(cipher, schedule) || block == nullptr)
        return false;
    return gcry_cipher_encrypt(Handle(schedule), block, CipherBlockSize(cipher), nullptr, 0) == 0;
}

bool DecryptBlock(int32_t cipher, uint8_t *block, const CipherKeySchedule *schedule)
{
    if (!Usable(cipher, schedule) || block == nullptr)
        return false;
    return gcry_cipher_decrypt(Handle(schedule), block, CipherBlockSize(cipher), nullptr, 0) == 0;
}

bool EncryptBlocks(const CipherKeySchedule *schedule, uint8_t *data, size_t length)
{
    if (schedule == nullptr || !Usable(schedule->cipher, schedule) ||
        length % CipherBlockSize(schedule->cipher) != 0)
        return false;
    return length == 0 || gcry_cipher_encrypt(Handle(schedule), data, length, nullptr, 0) == 0;
}

bool DecryptBlocks(const CipherKeySchedule *schedule, uint8_t *data, size_t length)
{
    if (schedule == nullptr || !Usable(schedule->cipher, schedule) ||
        length % CipherBlockSize(schedule->cipher) != 0)
        return false;
    return length == 0 || gcry_cipher_decrypt(Handle(schedule), data, length, nullptr, 0) == 0;
}
