// The key context of one volume header or volume: the algorithm and mode,
// the key schedules, the LRW table, the key material and the header fields.
#pragma once
#include <cstddef>
#include <cstdint>

#include "crypto/cipher_tables.h"
#include "crypto/ciphers.h"

constexpr size_t MASTER_KEY_AREA_SIZE = 256;
constexpr size_t SECONDARY_KEY_SIZE = 256;
constexpr size_t HEADER_SALT_SIZE = 64;

// The LRW multiplication tables: K·x^j for every bit j of a block index,
// the 128-bit table (ciphers with 16-byte blocks) first, then the 64-bit
// one (8-byte blocks). Both fit side by side so that a header search can
// keep each built once per key derivation.
constexpr size_t LRW_TABLE128_SIZE = 128 * 16;
constexpr size_t LRW_TABLE64_SIZE = 64 * 8;
constexpr size_t LRW_TABLE64_OFFSET = LRW_TABLE128_SIZE;
constexpr size_t LRW_TABLE_SIZE = LRW_TABLE128_SIZE + LRW_TABLE64_SIZE;

// Allocated zero-filled in its own locked pages (AllocateCryptoContext) and
// released only through ReleaseCryptoContext, which frees the schedules'
// expanded keys and overwrites the whole context.
struct QdskCryptoContext {
    int32_t algorithm;  // -1 right after allocation
    int32_t modeId;
    CipherKeySchedule primarySchedules[MAX_CASCADE];    // cipher order
    CipherKeySchedule secondarySchedules[MAX_CASCADE];  // XTS tweak keys
    uint32_t hiddenFlag;                                // hiddenSize != 0
    uint8_t lrwTable[LRW_TABLE_SIZE];
    uint8_t masterKey[MASTER_KEY_AREA_SIZE];  // the header's key area
    uint8_t secondaryKey[SECONDARY_KEY_SIZE];  // XTS secondary keys, or LRW tweak key / CBC IV and whitening
    uint8_t headerSalt[HEADER_SALT_SIZE];
    int32_t kdfIterations;
    int32_t kdfPrf;
    uint64_t reservedA;
    uint64_t reservedB;
    uint64_t hiddenSize;
    uint16_t minProgramVersion;
    uint32_t oldFormat;  // minProgramVersion < 0x600
    uint64_t dataSize;
    uint64_t areaStart;
    uint64_t areaLength;
    uint32_t flags;
    uint16_t headerVersion;  // the header's version field, as read or written
};

// Null when the memory cannot be had.
QdskCryptoContext *AllocateCryptoContext();

// Frees the schedules, overwrites the context with zeros, unlocks and frees
// it. Null is fine.
void ReleaseCryptoContext(QdskCryptoContext *context);

// Sets up what the mode needs beyond the primary schedules, from
// secondaryKey: XTS the secondary schedules; LRW the multiplication table
// for the first cipher's block size; the CBC modes nothing. False on
// failure (the caller reports 27).
bool SetupModeKeys(QdskCryptoContext *context);
