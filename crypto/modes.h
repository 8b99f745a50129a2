// The five modes of operation over an algorithm's cipher cascade.
//
// XTS (IEEE 1619): 512-byte data units, the unit number little-endian in the
// tweak, one complete XTS pass per cipher in cipher order. LRW: one tweak
// per block, K ⊗ index in GF(2^128) or GF(2^64), around the whole cascade.
// CBC, Outer-CBC, Inner-CBC: chained blocks with an 8-byte whitening of
// every ciphertext block; CBC and Inner-CBC run one pass per cipher,
// Outer-CBC one chain through the whole cascade.
#pragma once
#include <cstddef>
#include <cstdint>

#include "crypto/crypto_context.h"

// The buffer in place as the start of the volume (XTS data unit 0, LRW block
// index 1), with the context's algorithm, mode and schedules. False, with the
// buffer untouched, when the context is not set up or the length is not a
// multiple of the mode's block size.
bool EncryptVolumeBuffer(uint8_t *buffer, size_t length, QdskCryptoContext *context);
bool DecryptVolumeBuffer(uint8_t *buffer, size_t length, QdskCryptoContext *context);

// Whether length suits the context's algorithm and mode.
bool IsValidVolumeBufferLength(const QdskCryptoContext *context, size_t length);

// The LRW tables from the tweak key (16 bytes, resp. 8 bytes): entry j is
// key·x^j, big-endian, reduced by x^128+x^7+x^2+x+1, resp. x^64+x^4+x^3+x+1.
void BuildLrwTable128(const uint8_t *tweakKey, uint8_t *table);
void BuildLrwTable64(const uint8_t *tweakKey, uint8_t *table);

// The tweak key·index from a table (16, resp. 8 bytes, big-endian).
void LrwTweak128(const uint8_t *table, uint64_t index, uint8_t *tweak);
void LrwTweak64(const uint8_t *table, uint64_t index, uint8_t *tweak);

// XTS and LRW from any position, for data beyond the volume start.
bool XtsEncrypt(int32_t algorithm, const CipherKeySchedule *primary, const CipherKeySchedule *secondary,
                uint8_t *buffer, size_t length, uint64_t firstDataUnit);
bool XtsDecrypt(int32_t algorithm, const CipherKeySchedule *primary, const CipherKeySchedule *secondary,
                uint8_t *buffer, size_t length, uint64_t firstDataUnit);
bool LrwEncrypt(int32_t algorithm, const CipherKeySchedule *schedules, const uint8_t *lrwTable,
                uint8_t *buffer, size_t length, uint64_t firstBlockIndex);
bool LrwDecrypt(int32_t algorithm, const CipherKeySchedule *schedules, const uint8_t *lrwTable,
                uint8_t *buffer, size_t length, uint64_t firstBlockIndex);
