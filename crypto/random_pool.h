// The random pool: 640 bytes stirred with a hash, fed by pollers (system
// state, the system generator) and input hooks, and drawn from for salts and
// keys.
//
// The arithmetic (adding, mixing, drawing, the cursors) is here and the same
// in every build. Where the entropy comes from is plugged in: by default the
// library's system generator and the clocks; on Windows StartRandomPool
// (random_pool_win32.h) plugs in the Windows pollers and the input hooks.
#pragma once
#include <cstddef>
#include <cstdint>

constexpr size_t RANDOM_POOL_SIZE = 640;

// ---- Pool arithmetic, on any pool buffer, without locking ---------------

struct PoolMixer;

struct EntropyPool {
    uint8_t *bytes;        // RANDOM_POOL_SIZE bytes
    uint32_t writeCursor;  // 0..639, where the next byte is added
    uint32_t readCursor;   // 0..639, where the next byte is drawn
    int32_t mixHash;       // see MixHashDigestSize
    bool mixEnabled;
    // Keeps the stirring hash open between stirs (crypto/pool_mixer.h);
    // null: every stir opens its own.
    PoolMixer *mixer = nullptr;
};

// Digest size of a mix hash: 1 RIPEMD-160 (20), 2 SHA-512 (64),
// 3 Whirlpool (64), 4 SHA-1 (20); the numbering is that of the header PRFs,
// so a volume's PRF can choose the hash. 0 for any other value.
size_t MixHashDigestSize(int32_t mixHash);

// Adds the byte to the pool byte at the write cursor, modulo 256 (wrapping
// the cursor from 640 to 0 first); stirs the pool whenever the cursor is a
// multiple of 16; then advances the cursor.
void PoolAddByte(EntropyPool &pool, uint8_t value);
void PoolAddInt(EntropyPool &pool, uint32_t value);  // least significant byte first
void PoolAddBuffer(EntropyPool &pool, const void *data, size_t length);

// Stirs: for each offset 0, d, 2d, ... below 640 (d the digest size), hashes
// the whole pool and XORs the digest in at that offset. Nothing when mixing
// is disabled or the hash is unknown. The hash state of the pool bytes that a
// stir no longer changes is carried from one hash to the next.
void PoolMix(EntropyPool &pool);

// Copies / XORs length bytes from the read cursor into out, advancing and
// wrapping the cursor.
void PoolCopyOut(EntropyPool &pool, uint8_t *out, size_t length);
void PoolXorOut(EntropyPool &pool, uint8_t *out, size_t length);

// Inverts every bit of the pool.
void PoolInvert(EntropyPool &pool);

// ---- The process-wide pool ----------------------------------------------

// Entropy sources. Both pollers run with the pool lock held and add with
// RandomAdd*; the pool stirs after each. reportError shows a message key
// (never called with the lock held).
struct RandomPollers {
    void (*quickPoll)();
    bool (*deepPoll)();
    void (*reportError)(const char *key);
};

// Plugs in pollers (null: the built-in ones). The table must outlive its use.
void SetRandomPollers(const RandomPollers *pollers);

// Allocates the pool zero-filled in locked memory; true when open (also when
// it already was). The stirring hash is opened once while the pool is open.
// CloseRandomPool wipes and frees the pool, closes the hash and resets the
// cursors and the deep-poll flag.
bool OpenRandomPool();
void CloseRandomPool();
bool IsRandomPoolOpen();

// Chooses the mix hash from a PRF identifier (1 to 4); other values are
// ignored, so the pool always stirs with a known hash.
void SetMixHash(int32_t prf);
int32_t GetMixHash();
void SetMixEnabled(bool enabled);
void SetQuickPollEnabled(bool enabled);
bool IsQuickPollEnabled();

// Draws length bytes (at most 640): a deep poll first when none has been
// done since the pool opened or when forced, a quick poll, the bytes at the
// read cursor, the whole pool inverted, a second quick poll, and the next
// bytes XORed over the first. True when every poll on the way succeeded.
// False, with "ERR_NOT_ENOUGH_RANDOM_DATA" reported, for more than 640
// bytes; false when the pool is not open.
bool GetRandomBytes(uint8_t *buffer, size_t length, bool forceDeepPoll);

// The pool lock (recursive), for the pollers, the hooks and the polling
// thread.
void LockRandomPool();
void UnlockRandomPool();

// With the lock held.
void RandomAddByte(uint8_t value);
void RandomAddInt(uint32_t value);
void RandomAddBuffer(const void *data, size_t length);
void RandomMixPool();
// Runs the quick poller and stirs; the write cursor is put back where it
// was, so a quick poll stirs the same region every time.
void RandomQuickPoll();

uint32_t RandomWriteCursor();
uint32_t RandomReadCursor();

// How many deep polls draws have run in this process so far (over every
// opening of the pool): a deep poll is the one expensive step of a draw, and
// its callers ask for it only where it matters.
uint32_t RandomDeepPollsRun();
