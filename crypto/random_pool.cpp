#include "crypto/random_pool.h"

#include <gcrypt.h>

#include <chrono>
#include "crypto/pool_lock.h"

#include "crypto/crypto_init.h"
#include "crypto/kdf.h"
#include "crypto/pool_mixer.h"
#include "crypto/secure_memory.h"

// ---- Pool arithmetic ------------------------------------------------------

size_t MixHashDigestSize(int32_t mixHash) { return IsValidPrf(mixHash) ? PrfDigestSize(mixHash) : 0; }

void PoolMix(EntropyPool &pool)
{
    if (!pool.mixEnabled || pool.bytes == nullptr)
        return;
    size_t d = MixHashDigestSize(pool.mixHash);
    if (d == 0 || RANDOM_POOL_SIZE % d != 0)
        return;
    StirPool(pool.mixer, pool.mixHash, pool.bytes, RANDOM_POOL_SIZE);
}

void PoolAddByte(EntropyPool &pool, uint8_t value)
{
    if (pool.writeCursor >= RANDOM_POOL_SIZE)
        pool.writeCursor = 0;
    pool.bytes[pool.writeCursor] = uint8_t(pool.bytes[pool.writeCursor] + value);
    if (pool.writeCursor % 16 == 0)
        PoolMix(pool);
    pool.writeCursor++;
}

void PoolAddInt(EntropyPool &pool, uint32_t value)
{
    for (int i = 0; i < 4; i++)
        PoolAddByte(pool, uint8_t(value >> (8 * i)));
}

void PoolAddBuffer(EntropyPool &pool, const void *data, size_t length)
{
    const uint8_t *p = static_cast<const uint8_t *>(data);
    for (size_t i = 0; i < length; i++)
        PoolAddByte(pool, p[i]);
}

void PoolCopyOut(EntropyPool &pool, uint8_t *out, size_t length)
{
    for (size_t i = 0; i < length; i++) {
        if (pool.readCursor >= RANDOM_POOL_SIZE)
            pool.readCursor = 0;
        out[i] = pool.bytes[pool.readCursor++];
    }
}

void PoolXorOut(EntropyPool &pool, uint8_t *out, size_t length)
{
    for (size_t i = 0; i < length; i++) {
        if (pool.readCursor >= RANDOM_POOL_SIZE)
            pool.readCursor = 0;
        out[i] ^= pool.bytes[pool.readCursor++];
    }
}

void PoolInvert(EntropyPool &pool)
{
    for (size_t i = 0; i < RANDOM_POOL_SIZE; i++)
        pool.bytes[i] = uint8_t(~pool.bytes[i]);
}

// ---- The process-wide pool --------------------------------------------------

namespace {

EntropyPool Pool = {nullptr, 0, 0, 1, true, nullptr};  // RIPEMD-160 stirs by default
bool DeepPollDone = false;
uint32_t DeepPollsRun = 0;
bool QuickPollEnabled = true;
const RandomPollers *Pollers = nullptr;

// The built-in sources: the clocks, and the library's generator (seeded by
// the operating system) standing in for the system generator.
void AddSystemRandom(size_t length)
{
    uint8_t buffer[RANDOM_POOL_SIZE];
    if (length > sizeof buffer)
        length = sizeof buffer;
    if (InitCrypto()) {
        gcry_randomize(buffer, length, GCRY_STRONG_RANDOM);
        PoolAddBuffer(Pool, buffer, length);
    }
    BurnMemory(buffer, sizeof buffer);
}

void AddClocks()
{
    uint64_t steady = uint64_t(std::chrono::steady_clock::now().time_since_epoch().count());
    uint64_t wall = uint64_t(std::chrono::system_clock::now().time_since_epoch().count());
    PoolAddBuffer(Pool, &steady, sizeof steady);
    PoolAddBuffer(Pool, &wall, sizeof wall);
}

void BuiltInQuickPoll()
{
    AddClocks();
    AddSystemRandom(RANDOM_POOL_SIZE);
}

bool BuiltInDeepPoll()
{
    AddClocks();
    AddSystemRandom(RANDOM_POOL_SIZE);
    AddClocks();
    return true;
}

void BuiltInReportError(const char *) {}

const RandomPollers BuiltInPollers = {BuiltInQuickPoll, BuiltInDeepPoll, BuiltInReportError};

const RandomPollers &CurrentPollers() { return Pollers ? *Pollers : BuiltInPollers; }

}  // namespace

void SetRandomPollers(const RandomPollers *pollers)
{
    PoolLockGuard guard;
    Pollers = pollers;
}

bool OpenRandomPool()
{
    PoolLockGuard guard;
    if (Pool.bytes != nullptr)
        return true;
    Pool.bytes = static_cast<uint8_t *>(AllocateLockedMemory(RANDOM_POOL_SIZE));
    if (Pool.bytes != nullptr && Pool.mixer == nullptr)
        Pool.mixer = OpenPoolMixer();
    Pool.writeCursor = 0;
    Pool.readCursor = 0;
    DeepPollDone = false;
    return Pool.bytes != nullptr;
}

void CloseRandomPool()
{
    PoolLockGuard guard;
    FreeLockedMemory(Pool.bytes, RANDOM_POOL_SIZE);
    Pool.bytes = nullptr;
    ClosePoolMixer(Pool.mixer);
    Pool.mixer = nullptr;
    Pool.writeCursor = 0;
    Pool.readCursor = 0;
    DeepPollDone = false;
}

bool IsRandomPoolOpen()
{
    PoolLockGuard guard;
    return Pool.bytes != nullptr;
}

void SetMixHash(int32_t prf)
{
    PoolLockGuard guard;
    if (MixHashDigestSize(prf) != 0)
        Pool.mixHash = prf;
}

int32_t GetMixHash()
{
    PoolLockGuard guard;
    return Pool.mixHash;
}

void SetMixEnabled(bool enabled)
{
    PoolLockGuard guard;
    Pool.mixEnabled = enabled;
}

void SetQuickPollEnabled(bool enabled)
{
    PoolLockGuard guard;
    QuickPollEnabled = enabled;
}

bool IsQuickPollEnabled()
{
    PoolLockGuard guard;
    return QuickPollEnabled;
}

void LockRandomPool() { PoolLockEnter(); }
void UnlockRandomPool() { PoolLockLeave(); }

void RandomAddByte(uint8_t value)
{
    if (Pool.bytes != nullptr)
        PoolAddByte(Pool, value);
}

void RandomAddInt(uint32_t value)
{
    if (Pool.bytes != nullptr)
        PoolAddInt(Pool, value);
}

void RandomAddBuffer(const void *data, size_t length)
{
    if (Pool.bytes != nullptr && data != nullptr)
        PoolAddBuffer(Pool, data, length);
}

void RandomMixPool()
{
    if (Pool.bytes != nullptr)
        PoolMix(Pool);
}

void RandomQuickPoll()
{
    if (Pool.bytes == nullptr)
        return;
    uint32_t saved = Pool.writeCursor;
    CurrentPollers().quickPoll();
    PoolMix(Pool);
    Pool.writeCursor = saved;
}

uint32_t RandomWriteCursor()
{
    PoolLockGuard guard;
    return Pool.writeCursor;
}

uint32_t RandomReadCursor()
{
    PoolLockGuard guard;
    return Pool.readCursor;
}

uint32_t RandomDeepPollsRun()
{
    PoolLockGuard guard;
    return DeepPollsRun;
}

bool GetRandomBytes(uint8_t *buffer, size_t length, bool forceDeepPoll)
{
    if (buffer == nullptr && length != 0)
        return false;
    PoolLockEnter();
    if (Pool.bytes == nullptr || MixHashDigestSize(Pool.mixHash) == 0) {
        PoolLockLeave();
        return false;
    }
    bool result = true;
    if (!DeepPollDone || forceDeepPoll) {
        DeepPollsRun++;
        if (CurrentPollers().deepPoll()) {
            PoolMix(Pool);
            DeepPollDone = true;
        } else {
            result = false;
        }
    }
    RandomQuickPoll();

    if (length > RANDOM_POOL_SIZE) {
        // Released before the message box: its message loop runs the input
        // hooks on this thread, and they take the lock.
        void (*report)(const char *) = CurrentPollers().reportError;
        PoolLockLeave();
        report("ERR_NOT_ENOUGH_RANDOM_DATA");
        return false;
    }

    PoolCopyOut(Pool, buffer, length);
    PoolInvert(Pool);
    RandomQuickPoll();
    PoolXorOut(Pool, buffer, length);
    PoolLockLeave();
    return result;
}
