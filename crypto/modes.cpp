#include "crypto/modes.h"

#include <cstring>

#include "crypto/secure_memory.h"

namespace {

constexpr size_t XTS_DATA_UNIT = 512;
constexpr size_t LRW_CHUNK = 512;  // tweaks are computed this many bytes at a time

void XorBytes(uint8_t *dst, const uint8_t *src, size_t n)
{
    for (size_t i = 0; i < n; i++)
        dst[i] ^= src[i];
}

// ---- XTS ----------------------------------------------------------------

// Multiplies the tweak by the primitive element: the 16 bytes as a
// little-endian 128-bit number shifted left by one, 0x87 folded back in.
void XtsNextTweak(uint8_t *t)
{
    uint8_t carry = t[15] >> 7;
    for (int i = 15; i > 0; i--)
        t[i] = uint8_t((t[i] << 1) | (t[i - 1] >> 7));
    t[0] = uint8_t(t[0] << 1);
    if (carry)
        t[0] ^= 0x87;
}

bool AllBlocksAre(int32_t algorithm, size_t blockSize)
{
    for (int i = 0; i < AlgorithmCipherCount(algorithm); i++)
        if (CipherBlockSize(AlgorithmCipherAt(algorithm, i)) != blockSize)
            return false;
    return AlgorithmCipherCount(algorithm) > 0;
}

// One XTS pass of one cipher over the whole buffer.
bool XtsPass(const CipherKeySchedule *primary, const CipherKeySchedule *secondary, uint8_t *buffer,
             size_t length, uint64_t unit, bool encrypt)
{
    uint8_t tweaks[XTS_DATA_UNIT];
    uint8_t tweak[16];
    bool ok = true;
    for (size_t offset = 0; ok && offset < length; offset += XTS_DATA_UNIT, unit++) {
        size_t chunk = length - offset < XTS_DATA_UNIT ? length - offset : XTS_DATA_UNIT;
        for (int i = 0; i < 8; i++)
            tweak[i] = uint8_t(unit >> (8 * i));
        std::memset(tweak + 8, 0, 8);
        ok = EncryptBlock(secondary->cipher, tweak, secondary);
        for (size_t b = 0; ok && b < chunk; b += 16) {
            std::memcpy(tweaks + b, tweak, 16);
            XtsNextTweak(tweak);
        }
        if (!ok)
            break;
        XorBytes(buffer + offset, tweaks, chunk);
        ok = encrypt ? EncryptBlocks(primary, buffer + offset, chunk)
                     : DecryptBlocks(primary, buffer + offset, chunk);
        XorBytes(buffer + offset, tweaks, chunk);
    }
    BurnMemory(tweaks, sizeof tweaks);
    BurnMemory(tweak, sizeof tweak);
    return ok;
}

bool Xts(int32_t algorithm, const CipherKeySchedule *primary, const CipherKeySchedule *secondary,
         uint8_t *buffer, size_t length, uint64_t firstUnit, bool encrypt)
{
    if (!AllBlocksAre(algorithm, 16) || length % 16 != 0 || buffer == nullptr)
        return false;
    int n = AlgorithmCipherCount(algorithm);
    for (int i = 0; i < n; i++)
        if (primary[i].cipher != AlgorithmCipherAt(algorithm, i) ||
            secondary[i].cipher != AlgorithmCipherAt(algorithm, i) || primary[i].handle == nullptr ||
            secondary[i].handle == nullptr)
            return false;
    // A cascade is no wider cipher here: each cipher makes its own pass,
    // the last cipher's pass is undone first.
    for (int k = 0; k < n; k++) {
        int i = encrypt ? k : n - 1 - k;
        if (!XtsPass(&primary[i], &secondary[i], buffer, length, firstUnit, encrypt))
            return false;
    }
    return true;
}

// ---- LRW ----------------------------------------------------------------

// Multiplies a big-endian field element of n bytes by x.
void LrwDouble(uint8_t *v, size_t n, uint8_t reduction)
{
    uint8_t carry = v[0] >> 7;
    for (size_t i = 0; i + 1 < n; i++)
        v[i] = uint8_t((v[i] << 1) | (v[i + 1] >> 7));
    v[n - 1] = uint8_t(v[n - 1] << 1);
    if (carry)
        v[n - 1] ^= reduction;
}

void BuildLrwTable(const uint8_t *key, uint8_t *table, size_t n, uint8_t reduction)
{
    std::memcpy(table, key, n);
    for (size_t j = 1; j < 8 * n; j++) {
        std::memcpy(table + j * n, table + (j - 1) * n, n);
        LrwDouble(table + j * n, n, reduction);
    }
}

void LrwTweak(const uint8_t *table, uint64_t index, uint8_t *tweak, size_t n)
{
    std::memset(tweak, 0, n);
    for (int j = 0; index != 0; j++, index >>= 1)
        if (index & 1)
            XorBytes(tweak, table + j * n, n);
}

bool Lrw(int32_t algorithm, const CipherKeySchedule *schedules, const uint8_t *lrwTable,
         uint8_t *buffer, size_t length, uint64_t index, bool encrypt)
{
    size_t bs = AlgorithmBlockSize(algorithm);
    if ((bs != 8 && bs != 16) || !AllBlocksAre(algorithm, bs) || length % bs != 0 ||
        buffer == nullptr || lrwTable == nullptr)
        return false;
    int n = AlgorithmCipherCount(algorithm);
    for (int i = 0; i < n; i++)
        if (schedules[i].cipher != AlgorithmCipherAt(algorithm, i) || schedules[i].handle == nullptr)
            return false;
    const uint8_t *table = bs == 16 ? lrwTable : lrwTable + LRW_TABLE64_OFFSET;

    // Per block: whiten with the tweak, the whole cascade, whiten again.
    // Between the two whitenings each cipher works block by block, so it can
    // take the whole chunk in one call.
    uint8_t tweaks[LRW_CHUNK];
    bool ok = true;
    for (size_t offset = 0; ok && offset < length; offset += LRW_CHUNK) {
        size_t chunk = length - offset < LRW_CHUNK ? length - offset : LRW_CHUNK;
        for (size_t b = 0; b < chunk; b += bs, index++) {
            if (bs == 16)
                LrwTweak128(table, index, tweaks + b);
            else
                LrwTweak64(table, index, tweaks + b);
        }
        XorBytes(buffer + offset, tweaks, chunk);
        for (int k = 0; ok && k < n; k++) {
            if (encrypt)
                ok = EncryptBlocks(&schedules[k], buffer + offset, chunk);
            else
                ok = DecryptBlocks(&schedules[n - 1 - k], buffer + offset, chunk);
        }
        XorBytes(buffer + offset, tweaks, chunk);
    }
    BurnMemory(tweaks, sizeof tweaks);
    return ok;
}

// ---- CBC family ---------------------------------------------------------

void Whiten(uint8_t *block, size_t bs, const uint8_t *whitening)
{
    for (size_t i = 0; i < bs; i += 8)
        XorBytes(block + i, whitening, 8);
}

// One CBC pass of one cipher: chain, encrypt, keep the ciphertext as the next
// IV, then whiten the stored block.
bool CbcPass(const CipherKeySchedule *s, uint8_t *buffer, size_t length, const uint8_t *secondaryKey,
             bool encrypt)
{
    size_t bs = CipherBlockSize(s->cipher);
    const uint8_t *whitening = secondaryKey + 8;
    uint8_t chain[MAX_CIPHER_BLOCK];
    uint8_t saved[MAX_CIPHER_BLOCK];
    std::memcpy(chain, secondaryKey, bs);
    bool ok = true;
    for (size_t off = 0; ok && off < length; off += bs) {
        uint8_t *block = buffer + off;
        if (encrypt) {
            XorBytes(block, chain, bs);
            ok = EncryptBlock(s->cipher, block, s);
            std::memcpy(chain, block, bs);
            Whiten(block, bs, whitening);
        } else {
            Whiten(block, bs, whitening);
            std::memcpy(saved, block, bs);
            ok = DecryptBlock(s->cipher, block, s);
            XorBytes(block, chain, bs);
            std::memcpy(chain, saved, bs);
        }
    }
    BurnMemory(chain, sizeof chain);
    BurnMemory(saved, sizeof saved);
    return ok;
}

// One chain through the whole cascade (all ciphers share the block size).
bool OuterCbc(int32_t algorithm, const CipherKeySchedule *schedules, uint8_t *buffer, size_t length,
              const uint8_t *secondaryKey, bool encrypt)
{
    size_t bs = AlgorithmBlockSize(algorithm);
    int n = AlgorithmCipherCount(algorithm);
    const uint8_t *whitening = secondaryKey + 8;
    uint8_t chain[MAX_CIPHER_BLOCK];
    uint8_t saved[MAX_CIPHER_BLOCK];
    std::memcpy(chain, secondaryKey, bs);
    bool ok = true;
    for (size_t off = 0; ok && off < length; off += bs) {
        uint8_t *block = buffer + off;
        if (encrypt) {
            XorBytes(block, chain, bs);
            for (int k = 0; ok && k < n; k++)
                ok = EncryptBlock(schedules[k].cipher, block, &schedules[k]);
            std::memcpy(chain, block, bs);
            Whiten(block, bs, whitening);
        } else {
            Whiten(block, bs, whitening);
            std::memcpy(saved, block, bs);
            for (int k = n - 1; ok && k >= 0; k--)
                ok = DecryptBlock(schedules[k].cipher, block, &schedules[k]);
            XorBytes(block, chain, bs);
            std::memcpy(chain, saved, bs);
        }
    }
    BurnMemory(chain, sizeof chain);
    BurnMemory(saved, sizeof saved);
    return ok;
}

bool SchedulesMatch(const QdskCryptoContext *c)
{
    for (int i = 0; i < AlgorithmCipherCount(c->algorithm); i++)
        if (c->primarySchedules[i].cipher != AlgorithmCipherAt(c->algorithm, i) ||
            c->primarySchedules[i].handle == nullptr)
            return false;
    return true;
}

bool Run(uint8_t *buffer, size_t length, QdskCryptoContext *c, bool encrypt)
{
    if (buffer == nullptr || !IsValidVolumeBufferLength(c, length) || !SchedulesMatch(c))
        return false;
    int n = AlgorithmCipherCount(c->algorithm);
    switch (c->modeId) {
    case MODE_XTS:
        return Xts(c->algorithm, c->primarySchedules, c->secondarySchedules, buffer, length, 0, encrypt);
    case MODE_LRW:
        return Lrw(c->algorithm, c->primarySchedules, c->lrwTable, buffer, length, 1, encrypt);
    case MODE_CBC:
    case MODE_INNER_CBC:
        for (int k = 0; k < n; k++) {
            int i = encrypt ? k : n - 1 - k;
            if (!CbcPass(&c->primarySchedules[i], buffer, length, c->secondaryKey, encrypt))
                return false;
        }
        return true;
    case MODE_OUTER_CBC:
        return OuterCbc(c->algorithm, c->primarySchedules, buffer, length, c->secondaryKey, encrypt);
    default:
        return false;
    }
}

}  // namespace

void BuildLrwTable128(const uint8_t *tweakKey, uint8_t *table) { BuildLrwTable(tweakKey, table, 16, 0x87); }
void BuildLrwTable64(const uint8_t *tweakKey, uint8_t *table) { BuildLrwTable(tweakKey, table, 8, 0x1B); }
void LrwTweak128(const uint8_t *table, uint64_t index, uint8_t *tweak) { LrwTweak(table, index, tweak, 16); }
void LrwTweak64(const uint8_t *table, uint64_t index, uint8_t *tweak) { LrwTweak(table, index, tweak, 8); }

bool IsValidVolumeBufferLength(const QdskCryptoContext *c, size_t length)
{
    if (c == nullptr || !IsModeAllowed(c->algorithm, c->modeId))
        return false;
    size_t unit = 0;
    switch (c->modeId) {
    case MODE_XTS:
        unit = 16;
        break;
    case MODE_LRW:
    case MODE_OUTER_CBC:
        unit = AlgorithmBlockSize(c->algorithm);
        break;
    case MODE_CBC:
    case MODE_INNER_CBC:
        // every pass must cover whole blocks of its own cipher
        for (int i = 0; i < AlgorithmCipherCount(c->algorithm); i++)
            if (CipherBlockSize(AlgorithmCipherAt(c->algorithm, i)) > unit)
                unit = CipherBlockSize(AlgorithmCipherAt(c->algorithm, i));
        break;
    }
    return unit != 0 && length % unit == 0;
}

bool EncryptVolumeBuffer(uint8_t *buffer, size_t length, QdskCryptoContext *context)
{
    return Run(buffer, length, context, true);
}

bool DecryptVolumeBuffer(uint8_t *buffer, size_t length, QdskCryptoContext *context)
{
    return Run(buffer, length, context, false);
}

bool XtsEncrypt(int32_t algorithm, const CipherKeySchedule *primary, const CipherKeySchedule *secondary,
                uint8_t *buffer, size_t length, uint64_t firstDataUnit)
{
    return Xts(algorithm, primary, secondary, buffer, length, firstDataUnit, true);
}

bool XtsDecrypt(int32_t algorithm, const CipherKeySchedule *primary, const CipherKeySchedule *secondary,
                uint8_t *buffer, size_t length, uint64_t firstDataUnit)
{
    return Xts(algorithm, primary, secondary, buffer, length, firstDataUnit, false);
}

bool LrwEncrypt(int32_t algorithm, const CipherKeySchedule *schedules, const uint8_t *lrwTable,
                uint8_t *buffer, size_t length, uint64_t firstBlockIndex)
{
    return Lrw(algorithm, schedules, lrwTable, buffer, length, firstBlockIndex, true);
}

bool LrwDecrypt(int32_t algorithm, const CipherKeySchedule *schedules, const uint8_t *lrwTable,
                uint8_t *buffer, size_t length, uint64_t firstBlockIndex)
{
    return Lrw(algorithm, schedules, lrwTable, buffer, length, firstBlockIndex, false);
}
