#include "standin/qdsk/area_cipher.h"

#include <cstring>

#include "crypto/ciphers.h"
#include "crypto/modes.h"
#include "crypto/secure_memory.h"

namespace {

void Xor(uint8_t *dst, const uint8_t *src, size_t n)
{
    for (size_t i = 0; i < n; ++i)
        dst[i] ^= src[i];
}

void Whiten(uint8_t *block, size_t bs, const uint8_t *whitening)
{
    for (size_t i = 0; i < bs; i += 8)
        Xor(block + i, whitening, 8);
}

// One CBC chain of the given ciphers (one cipher for CBC and Inner-CBC
// passes, the whole cascade for Outer-CBC) over whole blocks, continuing
// from chain.
bool CbcChain(const CipherKeySchedule *schedules, int count, size_t bs, uint8_t *buffer, size_t length,
              uint8_t *chain, const uint8_t *whitening, bool encrypt)
{
    uint8_t saved[MAX_CIPHER_BLOCK];
    bool ok = length % bs == 0;
    for (size_t off = 0; ok && off < length; off += bs) {
        uint8_t *block = buffer + off;
        if (encrypt) {
            Xor(block, chain, bs);
            for (int k = 0; ok && k < count; ++k)
                ok = EncryptBlock(schedules[k].cipher, block, &schedules[k]);
            memcpy(chain, block, bs);
            Whiten(block, bs, whitening);
        } else {
            Whiten(block, bs, whitening);
            memcpy(saved, block, bs);
            for (int k = count - 1; ok && k >= 0; --k)
                ok = DecryptBlock(schedules[k].cipher, block, &schedules[k]);
            Xor(block, chain, bs);
            memcpy(chain, saved, bs);
        }
    }
    BurnMemory(saved, sizeof saved);
    return ok;
}

}  // namespace

AreaCipher::AreaCipher(QdskCryptoContext *key, bool encrypt) : key_(key), encrypt_(encrypt)
{
    for (auto &chain : chain_)
        memcpy(chain, key->secondaryKey, MAX_CIPHER_BLOCK);
}

AreaCipher::~AreaCipher() { BurnMemory(chain_, sizeof chain_); }

bool AreaCipher::Next(uint8_t *buffer, size_t length)
{
    QdskCryptoContext *k = key_;
    bool ok = false;
    int n = AlgorithmCipherCount(k->algorithm);
    switch (k->modeId) {
    case MODE_XTS: {
        uint64_t unit = (k->areaStart + offset_) / 512;
        ok = offset_ % 512 == 0 &&
             (encrypt_ ? XtsEncrypt(k->algorithm, k->primarySchedules, k->secondarySchedules, buffer, length, unit)
                       : XtsDecrypt(k->algorithm, k->primarySchedules, k->secondarySchedules, buffer, length, unit));
        break;
    }
    case MODE_LRW: {
        size_t bs = AlgorithmBlockSize(k->algorithm);
        uint64_t index = 1 + offset_ / bs;
        ok = encrypt_ ? LrwEncrypt(k->algorithm, k->primarySchedules, k->lrwTable, buffer, length, index)
                      : LrwDecrypt(k->algorithm, k->primarySchedules, k->lrwTable, buffer, length, index);
        break;
    }
    case MODE_CBC:
    case MODE_INNER_CBC:
        // One pass per cipher, each with its own chain carried between
        // pieces; decryption undoes the passes in reverse order.
        ok = true;
        for (int step = 0; ok && step < n; ++step) {
            int i = encrypt_ ? step : n - 1 - step;
            ok = CbcChain(&k->primarySchedules[i], 1, CipherBlockSize(k->primarySchedules[i].cipher), buffer, length,
                          chain_[i], k->secondaryKey + 8, encrypt_);
        }
        break;
    case MODE_OUTER_CBC:
        ok = CbcChain(k->primarySchedules, n, AlgorithmBlockSize(k->algorithm), buffer, length, chain_[0],
                      k->secondaryKey + 8, encrypt_);
        break;
    default:
        break;
    }
    if (ok)
        offset_ += length;
    return ok;
}
