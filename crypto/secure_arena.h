// The cryptographic library's secure memory: one locked arena of our own.
//
// Expanded key schedules, hash and HMAC states and the key derivation's
// buffers are allocated by the library as "secure". They are served from a
// single region that is locked in physical memory for the life of the
// process and wiped block by block when freed. When the arena is full or
// could not be locked, secure allocations fail (the library reports the
// failure to its caller); they never fall back to ordinary, pageable heap.
#pragma once
#include <cstddef>
#include <cstdint>

// Room for the worst case we serve at once: a full header search (every
// PRF, mode and algorithm with a wrong password) beside a password change
// (the old header's key, the new header being built and the master key),
// plus the keys of the volumes the driver stand-in keeps mounted in the
// Winelib process.
constexpr size_t SECURE_ARENA_SIZE = 512 * 1024;

struct SecureArenaStats {
    size_t capacity;      // bytes of the locked region (0: none)
    size_t inUse;         // bytes handed out now, headers included
    size_t peak;          // most bytes handed out at once since the last reset
    uint64_t served;      // secure allocations served from the arena
    uint64_t refused;     // secure allocations refused (arena full or missing)
    bool locked;          // the region is locked against paging
};

// Reserves and locks the arena and hands the library our allocation
// handlers. Must run before the library's version check, once. False when
// the region cannot be had or locked: the caller must then treat the
// library as unusable for secrets.
bool InstallSecureArena();

SecureArenaStats GetSecureArenaStats();

// Starts a new peak measurement from what is in use now.
void ResetSecureArenaPeak();

// The allocator itself, exposed for the library's handlers and for tests.
void *SecureArenaAllocate(size_t size);
void *SecureArenaReallocate(void *memory, size_t size);  // memory must be in the arena
void SecureArenaFree(void *memory);                        // wipes; memory must be in the arena
bool SecureArenaContains(const void *memory);
