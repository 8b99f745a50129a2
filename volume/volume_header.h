// The 512-byte volume header: opening it with a password (searching the
// PRFs, modes and algorithms) and building a new one.
//
// Layout (integers big-endian; bytes 64..511 encrypted as one buffer that
// starts the volume): 0 salt (64), 64 "QDSK", 68 version (u16),
// 70 minProgramVersion (u16), 72 CRC-32 of bytes 256..511 (u32),
// 76 reservedA (u64), 84 reservedB (u64), 92 hiddenSize (u64),
// 100 dataSize (u64), 108 areaStart (u64), 116 areaLength (u64),
// 124 flags (u32), 128..251 zeros, 252 CRC-32 of bytes 64..251 (u32),
// 256 the master key area (256).
#pragma once
#include <cstddef>
#include <cstdint>

#include "crypto/crypto_context.h"
#include "crypto/volume_codes.h"
#include "volume/password_record.h"

constexpr size_t VOLUME_HEADER_SIZE = 512;
constexpr size_t HEADER_ENCRYPTED_OFFSET = 64;
constexpr size_t HEADER_ENCRYPTED_SIZE = 448;
constexpr size_t HEADER_KEY_AREA_OFFSET = 256;
constexpr uint16_t HEADER_VERSION_XTS = 4;
constexpr uint16_t HEADER_VERSION_LEGACY = 2;
constexpr uint16_t HEADER_CRC_MIN_VERSION = 4;  // the CRC at 252 is checked from this version on
constexpr uint32_t HEADER_FLAG_SYSTEM_DRIVE = 1;

// Opens an encrypted header with the password. Tries each PRF (1 to 4, with
// its iteration count; systemDrive selects the shorter RIPEMD-160 count),
// then each mode (1 to 5), then each algorithm (1 to 13) that allows it,
// until the decrypted header carries "QDSK", its key-area CRC and (from
// version 4 on) its header CRC.
//
// Without a headerContext, *context receives a new context holding the
// volume's master key schedules, masterKey, headerSalt, kdfPrf,
// kdfIterations and all header fields (release it with
// ReleaseCryptoContext). With a headerContext, that context is left holding
// the header key, the PRF, the iteration count and the header fields, and
// *context is not touched.
//
// Results: VOLUME_OK; VOLUME_OUT_OF_MEMORY; VOLUME_WRONG_PASSWORD (nothing
// opened: wrong password or not a header); VOLUME_CIPHER_INIT_FAILED;
// VOLUME_MODE_INIT_FAILED; VOLUME_PARAMETER_INCORRECT (null arguments, a
// password record with more than 64 bytes). A Triple DES volume key that
// trips the weak-key rule still opens. On failure no context is returned.
int OpenVolumeHeader(bool systemDrive, const uint8_t *encryptedHeader, const QdskPassword *password,
                     QdskCryptoContext **context, QdskCryptoContext *headerContext);

// Builds a finished, encrypted header into header (512 bytes).
//
// masterKeyArea: the 256-byte key area to keep, or null to generate one,
// which only XTS allows (twice the algorithm's key size from the random
// pool with a deep poll, zeros behind). The salt comes from the pool, with
// a deep poll unless wipe is set. Version 4 for XTS, 2 for the other modes;
// minProgramVersion as given for XTS (0x0600 when 0), 0x0410 for LRW,
// 0x0300 (hidden volume) or 0x0100 for CBC, 0x0300 for Outer-/Inner-CBC.
//
// context (may be null) receives a context set up with the master key and
// the header fields. Results: VOLUME_OK; VOLUME_OUT_OF_MEMORY (also a mode
// set-up failure); VOLUME_BAD_FORMAT (legacy mode without a key area);
// VOLUME_WEAK_KEY (the pool could not deliver, or the new header key trips
// the Triple DES rule: build again for a new salt);
// VOLUME_CIPHER_INIT_FAILED; VOLUME_PARAMETER_INCORRECT (null header or
// password, password over 64 bytes, unknown PRF, algorithm without the
// mode). On failure the header buffer is all zeros.
int BuildVolumeHeader(bool systemDrive, uint8_t *header, int32_t algorithm, int32_t mode,
                      const QdskPassword *password, int32_t prf, const uint8_t *masterKeyArea,
                      QdskCryptoContext **context, uint64_t dataSize, uint64_t hiddenSize, uint64_t areaStart,
                      uint64_t areaLength, uint16_t minProgramVersion, uint32_t flags, bool wipe);
