#include "crypto/cipher_tables.h"

#include "crypto/ciphers.h"

namespace {

struct CipherInfo {
    const char *name;
    size_t blockSize;
    size_t keySize;
};

// Indexed by cipher identifier.
const CipherInfo Ciphers[] = {
    {nullptr, 0, 0},
    {"AES", 16, 32},
    {"Serpent", 16, 32},
    {"Twofish", 16, 32},
    {"Blowfish", 8, 56},
    {"CAST5", 8, 16},
    {"Triple DES", 8, 24},
};

struct AlgorithmInfo {
    const char *name;
    int32_t ciphers[MAX_CASCADE + 1];  // order of application, CIPHER_NONE-ended
    int32_t modes[4];                  // allowed modes, MODE_NONE-ended
};

// Indexed by algorithm identifier. A name reads the cipher list backwards
// (the cipher applied last comes first), except "AES-Blowfish", which
// applies AES first: the order of application is what volumes depend on,
// the name is only shown.
const AlgorithmInfo Algorithms[] = {
    {nullptr, {0}, {0}},
    {"AES", {CIPHER_AES}, {MODE_XTS, MODE_LRW, MODE_CBC}},
    {"Serpent", {CIPHER_SERPENT}, {MODE_XTS, MODE_LRW, MODE_CBC}},
    {"Twofish", {CIPHER_TWOFISH}, {MODE_XTS, MODE_LRW, MODE_CBC}},
    {"AES-Twofish", {CIPHER_TWOFISH, CIPHER_AES}, {MODE_XTS, MODE_LRW, MODE_OUTER_CBC}},
    {"AES-Twofish-Serpent", {CIPHER_SERPENT, CIPHER_TWOFISH, CIPHER_AES},
     {MODE_XTS, MODE_LRW, MODE_OUTER_CBC}},
    {"Serpent-AES", {CIPHER_AES, CIPHER_SERPENT}, {MODE_XTS, MODE_LRW, MODE_OUTER_CBC}},
    {"Serpent-Twofish-AES", {CIPHER_AES, CIPHER_TWOFISH, CIPHER_SERPENT},
     {MODE_XTS, MODE_LRW, MODE_OUTER_CBC}},
    {"Twofish-Serpent", {CIPHER_SERPENT, CIPHER_TWOFISH}, {MODE_XTS, MODE_LRW, MODE_OUTER_CBC}},
    {"Blowfish", {CIPHER_BLOWFISH}, {MODE_LRW, MODE_CBC}},
    {"CAST5", {CIPHER_CAST5}, {MODE_LRW, MODE_CBC}},
    {"Triple DES", {CIPHER_TRIPLEDES}, {MODE_LRW, MODE_CBC}},
    {"AES-Blowfish", {CIPHER_AES, CIPHER_BLOWFISH}, {MODE_INNER_CBC}},
    {"AES-Blowfish-Serpent", {CIPHER_SERPENT, CIPHER_BLOWFISH, CIPHER_AES}, {MODE_INNER_CBC}},
};

const char *const Modes[] = {nullptr, "XTS", "LRW", "CBC", "Outer-CBC", "Inner-CBC"};

bool ValidCipher(int32_t c) { return c > CIPHER_NONE && c <= LAST_CIPHER; }
bool ValidMode(int32_t m) { return m >= FIRST_MODE && m <= LAST_MODE; }

}  // namespace

size_t CipherBlockSize(int32_t cipher) { return ValidCipher(cipher) ? Ciphers[cipher].blockSize : 0; }
size_t CipherKeySize(int32_t cipher) { return ValidCipher(cipher) ? Ciphers[cipher].keySize : 0; }
size_t CipherScheduleSize(int32_t cipher) { return ValidCipher(cipher) ? sizeof(CipherKeySchedule) : 0; }
const char *CipherName(int32_t cipher) { return ValidCipher(cipher) ? Ciphers[cipher].name : nullptr; }

int32_t FirstAlgorithm() { return FIRST_ALGORITHM; }

int32_t NextAlgorithm(int32_t algorithm)
{
    return (algorithm >= FIRST_ALGORITHM && algorithm < LAST_ALGORITHM) ? algorithm + 1 : 0;
}

bool IsValidAlgorithm(int32_t algorithm)
{
    return algorithm >= FIRST_ALGORITHM && algorithm <= LAST_ALGORITHM;
}

int32_t AlgorithmCipherAt(int32_t algorithm, int index)
{
    if (!IsValidAlgorithm(algorithm) || index < 0 || index >= MAX_CASCADE)
        return CIPHER_NONE;
    return Algorithms[algorithm].ciphers[index];
}

int AlgorithmCipherCount(int32_t algorithm)
{
    int n = 0;
    while (AlgorithmCipherAt(algorithm, n) != CIPHER_NONE)
        n++;
    return n;
}

int32_t AlgorithmFirstCipher(int32_t algorithm) { return AlgorithmCipherAt(algorithm, 0); }

int32_t AlgorithmLastCipher(int32_t algorithm)
{
    int n = AlgorithmCipherCount(algorithm);
    return n ? AlgorithmCipherAt(algorithm, n - 1) : CIPHER_NONE;
}

int32_t AlgorithmNextCipher(int32_t algorithm, int32_t cipher)
{
    for (int i = 0; AlgorithmCipherAt(algorithm, i) != CIPHER_NONE; i++)
        if (AlgorithmCipherAt(algorithm, i) == cipher)
            return AlgorithmCipherAt(algorithm, i + 1);
    return CIPHER_NONE;
}

int32_t AlgorithmPreviousCipher(int32_t algorithm, int32_t cipher)
{
    for (int i = 1; AlgorithmCipherAt(algorithm, i) != CIPHER_NONE; i++)
        if (AlgorithmCipherAt(algorithm, i) == cipher)
            return AlgorithmCipherAt(algorithm, i - 1);
    return CIPHER_NONE;
}

size_t AlgorithmKeySize(int32_t algorithm)
{
    size_t size = 0;
    for (int32_t c = AlgorithmFirstCipher(algorithm); c != CIPHER_NONE; c = AlgorithmNextCipher(algorithm, c))
        size += CipherKeySize(c);
    return size;
}

size_t AlgorithmScheduleSize(int32_t algorithm)
{
    size_t size = 0;
    for (int32_t c = AlgorithmFirstCipher(algorithm); c != CIPHER_NONE; c = AlgorithmNextCipher(algorithm, c))
        size += CipherScheduleSize(c);
    return size;
}

size_t AlgorithmBlockSize(int32_t algorithm) { return CipherBlockSize(AlgorithmFirstCipher(algorithm)); }

const char *AlgorithmName(int32_t algorithm)
{
    return IsValidAlgorithm(algorithm) ? Algorithms[algorithm].name : nullptr;
}

int32_t AlgorithmFirstMode(int32_t algorithm)
{
    return IsValidAlgorithm(algorithm) ? Algorithms[algorithm].modes[0] : MODE_NONE;
}

int32_t AlgorithmNextMode(int32_t algorithm, int32_t mode)
{
    if (!IsValidAlgorithm(algorithm))
        return MODE_NONE;
    const int32_t *modes = Algorithms[algorithm].modes;
    for (int i = 0; modes[i] != MODE_NONE; i++)
        if (modes[i] == mode)
            return modes[i + 1];
    return MODE_NONE;
}

bool IsModeAllowed(int32_t algorithm, int32_t mode)
{
    if (mode == MODE_NONE)
        return false;
    for (int32_t m = AlgorithmFirstMode(algorithm); m != MODE_NONE; m = AlgorithmNextMode(algorithm, m))
        if (m == mode)
            return true;
    return false;
}

const char *ModeName(int32_t mode) { return ValidMode(mode) ? Modes[mode] : nullptr; }

size_t LargestKeySizeForMode(int32_t mode)
{
    size_t largest = 0;
    for (int32_t a = FirstAlgorithm(); a != 0; a = NextAlgorithm(a))
        if (IsModeAllowed(a, mode) && AlgorithmKeySize(a) > largest)
            largest = AlgorithmKeySize(a);
    return largest;
}

size_t HeaderKeyLength()
{
    size_t length = 32;
    if (2 * LargestKeySizeForMode(MODE_XTS) > length)
        length = 2 * LargestKeySizeForMode(MODE_XTS);
    for (int32_t m = MODE_LRW; m <= LAST_MODE; m++)
        if (LargestKeySizeForMode(m) + 32 > length)
            length = LargestKeySizeForMode(m) + 32;
    return length;
}
