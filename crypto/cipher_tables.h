// The block ciphers, the encryption algorithms (cascades of ciphers) and the
// modes of operation a volume header can use, with their lookups.
#pragma once
#include <cstddef>
#include <cstdint>

enum CipherId : int32_t {
    CIPHER_NONE = 0,  // ends cipher lists
    CIPHER_AES = 1,
    CIPHER_SERPENT = 2,
    CIPHER_TWOFISH = 3,
    CIPHER_BLOWFISH = 4,
    CIPHER_CAST5 = 5,
    CIPHER_TRIPLEDES = 6,
};
constexpr int32_t LAST_CIPHER = CIPHER_TRIPLEDES;

enum ModeId : int32_t {
    MODE_NONE = 0,
    MODE_XTS = 1,
    MODE_LRW = 2,
    MODE_CBC = 3,
    MODE_OUTER_CBC = 4,
    MODE_INNER_CBC = 5,
};
constexpr int32_t FIRST_MODE = MODE_XTS;
constexpr int32_t LAST_MODE = MODE_INNER_CBC;

constexpr int32_t FIRST_ALGORITHM = 1;
constexpr int32_t LAST_ALGORITHM = 13;
constexpr int MAX_CASCADE = 3;           // most ciphers in one algorithm
constexpr size_t MAX_CIPHER_BLOCK = 16;  // largest block size
constexpr size_t MAX_ALGORITHM_KEY = 120;

// Cipher table; every lookup gives 0 (or null) for an unknown identifier.
size_t CipherBlockSize(int32_t cipher);
size_t CipherKeySize(int32_t cipher);
size_t CipherScheduleSize(int32_t cipher);
const char *CipherName(int32_t cipher);

// Algorithm identifiers run 1..13 without gaps; NextAlgorithm of the last
// (or of anything out of range) is 0, which ends iteration.
int32_t FirstAlgorithm();
int32_t NextAlgorithm(int32_t algorithm);
bool IsValidAlgorithm(int32_t algorithm);

// Ciphers of an algorithm in the order they are applied when encrypting.
// Next/Previous walk that list and give CIPHER_NONE past either end.
int32_t AlgorithmFirstCipher(int32_t algorithm);
int32_t AlgorithmNextCipher(int32_t algorithm, int32_t cipher);
int32_t AlgorithmLastCipher(int32_t algorithm);
int32_t AlgorithmPreviousCipher(int32_t algorithm, int32_t cipher);
int32_t AlgorithmCipherAt(int32_t algorithm, int index);  // 0-based; CIPHER_NONE beyond
int AlgorithmCipherCount(int32_t algorithm);
size_t AlgorithmKeySize(int32_t algorithm);
size_t AlgorithmScheduleSize(int32_t algorithm);
size_t AlgorithmBlockSize(int32_t algorithm);  // block size of the first cipher
const char *AlgorithmName(int32_t algorithm);

// Modes an algorithm allows, in table order; MODE_NONE past the end.
int32_t AlgorithmFirstMode(int32_t algorithm);
int32_t AlgorithmNextMode(int32_t algorithm, int32_t mode);
bool IsModeAllowed(int32_t algorithm, int32_t mode);
const char *ModeName(int32_t mode);

// Largest algorithm key among the algorithms that allow the mode (0: none).
size_t LargestKeySizeForMode(int32_t mode);

// Bytes a header key derivation must produce to key any algorithm in any
// mode: XTS needs twice the algorithm key, the other modes 32 bytes of
// secondary material before it. 192 with the tables above.
size_t HeaderKeyLength();
