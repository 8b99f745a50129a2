// Key set-up and single-block operations of the block ciphers.
#pragma once
#include <cstddef>
#include <cstdint>

#include "crypto/cipher_tables.h"

// One cipher's key schedule: the library object holding the expanded key
// (encryption and decryption schedules both), kept in the library's secure
// memory, and the cipher it was made for. A zero-filled schedule holds
// nothing. A schedule that holds a key must be emptied with
// ReleaseCipherSchedules, which wipes the expanded key.
struct CipherKeySchedule {
    int32_t cipher;
    void *handle;
};

// Sets up the schedule for the cipher from CipherKeySize(cipher) key bytes,
// reusing the schedule's library object when it was made for the same
// cipher. VOLUME_OK, VOLUME_CIPHER_INIT_FAILED (17), or VOLUME_WEAK_KEY (18)
// for a Triple DES key two of whose three DES keys are equal once the parity
// bits are ignored (the schedule is then set up all the same).
int SetupCipherKey(int32_t cipher, const uint8_t *key, CipherKeySchedule *schedule);

// Sets up every cipher of the algorithm in cipher order from consecutive key
// bytes into consecutive schedules. A 17 stops at once; an 18 is remembered
// and returned once all ciphers are set up. Algorithm 0 (or unknown) gives 17.
int SetupAlgorithmKeys(int32_t algorithm, const uint8_t *key, CipherKeySchedule *schedules);

// Wipes and frees count schedules and zero-fills them.
void ReleaseCipherSchedules(CipherKeySchedule *schedules, int count);

// One block in place. False when the schedule holds no key of that cipher.
bool EncryptBlock(int32_t cipher, uint8_t *block, const CipherKeySchedule *schedule);
bool DecryptBlock(int32_t cipher, uint8_t *block, const CipherKeySchedule *schedule);

// length bytes (a multiple of the schedule's block size) as independent
// blocks in place, in one call of the library.
bool EncryptBlocks(const CipherKeySchedule *schedule, uint8_t *data, size_t length);
bool DecryptBlocks(const CipherKeySchedule *schedule, uint8_t *data, size_t length);

// The Triple DES weak-key rule on a 24-byte key: true when any two of the
// three 8-byte keys are equal once the parity bit of every byte is ignored.
bool IsTripleDesKeyWeak(const uint8_t *key);
