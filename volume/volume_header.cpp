#include "volume/volume_header.h"

#include <cstring>

#include "crypto/cipher_tables.h"
#include "crypto/ciphers.h"
#include "crypto/crc32.h"
#include "crypto/kdf.h"
#include "crypto/modes.h"
#include "crypto/random_pool.h"
#include "crypto/secure_memory.h"

namespace {

constexpr uint8_t Magic[4] = {'Q', 'D', 'S', 'K'};
constexpr size_t SecondaryMaterialSize = 32;  // LRW tweak key, CBC IV and whitening
constexpr size_t TrialLength = 16;            // whole blocks of every cipher; holds the magic

// The password, salt and key material of one call, in locked pages.
struct KeyBlock {
    int32_t iterations;
    uint32_t passwordLength;
    uint8_t password[QDSK_MAX_PASSWORD];
    uint8_t salt[HEADER_SALT_SIZE];
    uint8_t key[MASTER_KEY_AREA_SIZE];
};

struct DerivedKey {
    uint8_t bytes[256];
};

struct HeaderBytes {
    uint8_t bytes[VOLUME_HEADER_SIZE];
};

uint16_t Get16(const uint8_t *p) { return uint16_t((p[0] << 8) | p[1]); }
uint32_t Get32(const uint8_t *p) { return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3]; }
uint64_t Get64(const uint8_t *p) { return (uint64_t(Get32(p)) << 32) | Get32(p + 4); }

void Put16(uint8_t *p, uint16_t v)
{
    p[0] = uint8_t(v >> 8);
    p[1] = uint8_t(v);
}

void Put32(uint8_t *p, uint32_t v)
{
    for (int i = 0; i < 4; i++)
        p[i] = uint8_t(v >> (24 - 8 * i));
}

void Put64(uint8_t *p, uint64_t v)
{
    Put32(p, uint32_t(v >> 32));
    Put32(p + 4, uint32_t(v));
}

size_t PrimaryKeyOffset(int32_t mode) { return mode == MODE_XTS ? 0 : SecondaryMaterialSize; }

// Loads the secondary key material of the mode from key material laid out
// as XTS (primary keys, then secondary keys) or the other modes (32 bytes of
// secondary material, then the cipher keys).
void LoadSecondaryKey(QdskCryptoContext *ctx, const uint8_t *keyMaterial)
{
    BurnMemory(ctx->secondaryKey, sizeof ctx->secondaryKey);
    if (ctx->modeId == MODE_XTS) {
        size_t k = AlgorithmKeySize(ctx->algorithm);
        std::memcpy(ctx->secondaryKey, keyMaterial + k, k);
    } else {
        std::memcpy(ctx->secondaryKey, keyMaterial, SecondaryMaterialSize);
    }
}

// Drops every schedule and table made from a trial or header key, so that
// a context handed out holds nothing but what the master key gives.
void ClearKeys(QdskCryptoContext *ctx)
{
    ReleaseCipherSchedules(ctx->primarySchedules, MAX_CASCADE);
    ReleaseCipherSchedules(ctx->secondarySchedules, MAX_CASCADE);
    BurnMemory(ctx->lrwTable, sizeof ctx->lrwTable);
    BurnMemory(ctx->secondaryKey, sizeof ctx->secondaryKey);
}

// Sets the context up with key material (master key area or derived header
// key). VOLUME_WEAK_KEY means fully set up with a Triple DES key that trips
// the weak-key rule; the caller decides whether that matters.
int SetupKeys(QdskCryptoContext *ctx, const uint8_t *keyMaterial, int modeFailure)
{
    int status = SetupAlgorithmKeys(ctx->algorithm, keyMaterial + PrimaryKeyOffset(ctx->modeId),
                                    ctx->primarySchedules);
    if (status == VOLUME_CIPHER_INIT_FAILED)
        return status;
    LoadSecondaryKey(ctx, keyMaterial);
    if (!SetupModeKeys(ctx))
        return modeFailure;
    return status;
}

// An existing volume's master key opens whatever the weak-key rule says.
int SetupMasterKeys(QdskCryptoContext *ctx, int modeFailure)
{
    int status = SetupKeys(ctx, ctx->masterKey, modeFailure);
    return status == VOLUME_WEAK_KEY ? VOLUME_OK : status;
}

bool HeaderAccepted(const uint8_t *h)
{
    if (std::memcmp(h + 64, Magic, sizeof Magic) != 0)
        return false;
    if (Get16(h + 68) >= HEADER_CRC_MIN_VERSION && Crc32(h + 64, 252 - 64) != Get32(h + 252))
        return false;
    return Crc32(h + HEADER_KEY_AREA_OFFSET, MASTER_KEY_AREA_SIZE) == Get32(h + 72);
}

void ReadFields(QdskCryptoContext *ctx, const uint8_t *h)
{
    ctx->headerVersion = Get16(h + 68);
    ctx->minProgramVersion = Get16(h + 70);
    ctx->reservedA = Get64(h + 76);
    ctx->reservedB = Get64(h + 84);
    ctx->hiddenSize = Get64(h + 92);
    ctx->hiddenFlag = ctx->hiddenSize != 0;
    ctx->dataSize = Get64(h + 100);
    ctx->areaStart = Get64(h + 108);
    ctx->areaLength = Get64(h + 116);
    ctx->flags = Get32(h + 124);
    ctx->oldFormat = ctx->minProgramVersion < 0x600;
}

bool ValidPassword(const QdskPassword *password)
{
    return password != nullptr && password->ByteCount <= QDSK_MAX_PASSWORD;
}

void LoadPassword(KeyBlock *kb, const QdskPassword *password)
{
    kb->passwordLength = password->ByteCount;
    std::memcpy(kb->password, password->Bytes, password->ByteCount);
}

// The trial of one algorithm and mode: the first block decides on the
// magic before the whole area is decrypted.
bool TryHeader(QdskCryptoContext *ctx, const uint8_t *encrypted, uint8_t *copy)
{
    std::memcpy(copy, encrypted, VOLUME_HEADER_SIZE);
    if (!DecryptVolumeBuffer(copy + HEADER_ENCRYPTED_OFFSET, TrialLength, ctx) ||
        std::memcmp(copy + 64, Magic, sizeof Magic) != 0)
        return false;
    std::memcpy(copy + HEADER_ENCRYPTED_OFFSET, encrypted + HEADER_ENCRYPTED_OFFSET, TrialLength);
    return DecryptVolumeBuffer(copy + HEADER_ENCRYPTED_OFFSET, HEADER_ENCRYPTED_SIZE, ctx) && HeaderAccepted(copy);
}

// Key schedules made during a header search, one per cipher and key offset
// in the derived key. The modes other than XTS all take their cipher keys
// from byte 32 on, and cascades share ciphers at the same offsets, so most
// trials find their schedules keyed already; a schedule is keyed again only
// when the PRF (and so the derived key) changes. The library objects are
// opened once per search and wiped when it ends.
class TrialSchedules {
public:
    ~TrialSchedules() { ReleaseCipherSchedules(schedules_, Slots); }

    // Points the context's schedules (primary at keyOffset, or the XTS
    // secondary ones) at schedules keyed from the derived key; the context
    // does not own them (see Forget). VOLUME_OK, 17 or 18.
    int Load(int32_t algorithm, const uint8_t *derived, size_t keyOffset, int32_t prf, CipherKeySchedule *out)
    {
        int result = VOLUME_OK;
        int slot = 0;
        for (int32_t c = AlgorithmFirstCipher(algorithm); c != CIPHER_NONE;
             c = AlgorithmNextCipher(algorithm, c), slot++) {
            size_t index = size_t(c - 1) * Offsets + keyOffset / 8;
            if (keyOffset % 8 != 0 || index >= Slots)
                return VOLUME_CIPHER_INIT_FAILED;
            if (keyedFor_[index] != prf) {
                status_[index] = SetupCipherKey(c, derived + keyOffset, &schedules_[index]);
                if (status_[index] == VOLUME_CIPHER_INIT_FAILED)
                    return VOLUME_CIPHER_INIT_FAILED;
                keyedFor_[index] = prf;
            }
            if (status_[index] != VOLUME_OK)
                result = status_[index];
            out[slot] = schedules_[index];
            keyOffset += CipherKeySize(c);
        }
        return result;
    }

    // Drops the context's borrowed schedules without closing them.
    static void Forget(QdskCryptoContext *ctx)
    {
        std::memset(ctx->primarySchedules, 0, sizeof ctx->primarySchedules);
        std::memset(ctx->secondarySchedules, 0, sizeof ctx->secondarySchedules);
    }

private:
    static constexpr size_t Offsets = 256 / 8;
    static constexpr size_t Slots = LAST_CIPHER * Offsets;
    CipherKeySchedule schedules_[Slots] = {};
    int32_t keyedFor_[Slots] = {};
    int status_[Slots] = {};
};

// Searches PRFs, modes and algorithms. VOLUME_OK with copy holding the
// decrypted header, dk the accepted derived key and the context's algorithm,
// mode, PRF and iteration count set; the context holds no schedules
// afterwards.
int SearchHeader(bool systemDrive, const uint8_t *encrypted, KeyBlock *kb, DerivedKey *dk,
                 QdskCryptoContext *ctx, uint8_t *copy)
{
    TrialSchedules trial;
    const size_t keyLength = HeaderKeyLength();
    int status = VOLUME_WRONG_PASSWORD;
    for (int32_t prf = FIRST_PRF; prf <= LAST_PRF && status == VOLUME_WRONG_PASSWORD; prf++) {
        kb->iterations = PrfIterations(prf, systemDrive);
        if (!DeriveKeyPbkdf2(prf, kb->password, kb->passwordLength, kb->salt, sizeof kb->salt,
                             uint32_t(kb->iterations), dk->bytes, keyLength)) {
            status = VOLUME_CIPHER_INIT_FAILED;
            break;
        }

        // The LRW tables depend only on the derived key: one per block size.
        bool lrwBuilt16 = false, lrwBuilt8 = false;
        for (int32_t mode = FIRST_MODE; mode <= LAST_MODE && status == VOLUME_WRONG_PASSWORD; mode++) {
            if (mode != MODE_XTS) {
                BurnMemory(ctx->secondaryKey, sizeof ctx->secondaryKey);
                std::memcpy(ctx->secondaryKey, dk->bytes, SecondaryMaterialSize);
            }
            for (int32_t alg = FirstAlgorithm(); alg != 0 && status == VOLUME_WRONG_PASSWORD;
                 alg = NextAlgorithm(alg)) {
                if (!IsModeAllowed(alg, mode))
                    continue;
                if (trial.Load(alg, dk->bytes, PrimaryKeyOffset(mode), prf, ctx->primarySchedules) ==
                    VOLUME_CIPHER_INIT_FAILED) {
                    status = VOLUME_CIPHER_INIT_FAILED;
                    break;
                }
                ctx->algorithm = alg;
                ctx->modeId = mode;
                if (mode == MODE_XTS) {
                    if (trial.Load(alg, dk->bytes, AlgorithmKeySize(alg), prf, ctx->secondarySchedules) !=
                        VOLUME_OK) {
                        status = VOLUME_MODE_INIT_FAILED;
                        break;
                    }
                } else if (mode == MODE_LRW) {
                    bool &built = AlgorithmBlockSize(alg) == 16 ? lrwBuilt16 : lrwBuilt8;
                    if (!built) {
                        if (!SetupModeKeys(ctx)) {
                            status = VOLUME_MODE_INIT_FAILED;
                            break;
                        }
                        built = true;
                    }
                }
                if (TryHeader(ctx, encrypted, copy)) {
                    ctx->kdfPrf = prf;
                    ctx->kdfIterations = kb->iterations;
                    status = VOLUME_OK;
                }
            }
        }
    }
    TrialSchedules::Forget(ctx);
    return status;
}

constexpr int WeakHeaderKeyRetries = 8;

// True when a Triple DES key of the algorithm, at its place in the header
// key, trips the equal-keys rule.
bool HeaderKeyIsWeak(int32_t algorithm, int32_t mode, const uint8_t *derived)
{
    size_t offset = PrimaryKeyOffset(mode);
    for (int32_t c = AlgorithmFirstCipher(algorithm); c != CIPHER_NONE; c = AlgorithmNextCipher(algorithm, c)) {
        if (c == CIPHER_TRIPLEDES && IsTripleDesKeyWeak(derived + offset))
            return true;
        offset += CipherKeySize(c);
    }
    return false;
}

uint16_t MinProgramVersionFor(int32_t mode, uint16_t given, uint64_t hiddenSize)
{
    switch (mode) {
    case MODE_XTS: return given ? given : 0x0600;
    case MODE_LRW: return 0x0410;
    case MODE_CBC: return hiddenSize ? 0x0300 : 0x0100;
    default: return 0x0300;
    }
}

}  // namespace

int OpenVolumeHeader(bool systemDrive, const uint8_t *encryptedHeader, const QdskPassword *password,
                     QdskCryptoContext **context, QdskCryptoContext *headerContext)
{
    if (encryptedHeader == nullptr || !ValidPassword(password) || (context == nullptr && headerContext == nullptr))
        return VOLUME_PARAMETER_INCORRECT;
    if (headerContext == nullptr)
        *context = nullptr;

    LockedBuffer<KeyBlock> kb;
    LockedBuffer<DerivedKey> dk;
    LockedBuffer<HeaderBytes> copy;
    if (!kb || !dk || !copy)
        return VOLUME_OUT_OF_MEMORY;
    QdskCryptoContext *ctx = headerContext ? headerContext : AllocateCryptoContext();
    if (ctx == nullptr)
        return VOLUME_OUT_OF_MEMORY;

    LoadPassword(kb.get(), password);
    std::memcpy(kb->salt, encryptedHeader, HEADER_SALT_SIZE);

    ClearKeys(ctx);  // a given header context may hold schedules of its own
    int status = SearchHeader(systemDrive, encryptedHeader, kb.get(), dk.get(), ctx, copy->bytes);
    if (status == VOLUME_OK) {
        ReadFields(ctx, copy->bytes);
        if (headerContext != nullptr) {
            // Left holding the header key, in schedules of its own.
            ClearKeys(ctx);
            status = SetupKeys(ctx, dk->bytes, VOLUME_MODE_INIT_FAILED);
            if (status == VOLUME_WEAK_KEY)
                status = VOLUME_OK;
        } else {
            std::memcpy(ctx->masterKey, copy->bytes + HEADER_KEY_AREA_OFFSET, MASTER_KEY_AREA_SIZE);
            std::memcpy(ctx->headerSalt, encryptedHeader, HEADER_SALT_SIZE);
            ClearKeys(ctx);
            status = SetupMasterKeys(ctx, VOLUME_MODE_INIT_FAILED);
        }
    }

    if (headerContext == nullptr) {
        if (status == VOLUME_OK)
            *context = ctx;
        else
            ReleaseCryptoContext(ctx);
    }
    return status;  // the locked buffers are wiped on the way out
}

int BuildVolumeHeader(bool systemDrive, uint8_t *header, int32_t algorithm, int32_t mode,
                      const QdskPassword *password, int32_t prf, const uint8_t *masterKeyArea,
                      QdskCryptoContext **context, uint64_t dataSize, uint64_t hiddenSize, uint64_t areaStart,
                      uint64_t areaLength, uint16_t minProgramVersion, uint32_t flags, bool wipe)
{
    if (context != nullptr)
        *context = nullptr;
    if (header != nullptr)
        std::memset(header, 0, VOLUME_HEADER_SIZE);  // what a failure leaves behind
    if (header == nullptr || !ValidPassword(password) || !IsValidPrf(prf) || !IsModeAllowed(algorithm, mode))
        return VOLUME_PARAMETER_INCORRECT;

    QdskCryptoContext *ctx = AllocateCryptoContext();
    if (ctx == nullptr)
        return VOLUME_OUT_OF_MEMORY;
    LockedBuffer<KeyBlock> kb;
    LockedBuffer<DerivedKey> dk;

    int status = VOLUME_OK;
    if (!kb || !dk) {
        status = VOLUME_OUT_OF_MEMORY;
    } else if (masterKeyArea != nullptr) {
        std::memcpy(kb->key, masterKeyArea, MASTER_KEY_AREA_SIZE);
    } else if (mode != MODE_XTS) {
        status = VOLUME_BAD_FORMAT;
    } else if (!GetRandomBytes(kb->key, 2 * AlgorithmKeySize(algorithm), true)) {
        status = VOLUME_WEAK_KEY;
    }

    if (status == VOLUME_OK) {
        LoadPassword(kb.get(), password);
        kb->iterations = PrfIterations(prf, systemDrive);
    }
    // A Triple DES header key that trips the weak-key rule is refused: a
    // fresh salt gives a fresh key. The chance of even one retry is about
    // 2^-54, so a handful of tries settles it; the caller (which may be in
    // the middle of rewriting a header many times over) never sees it.
    for (int attempt = 0; status == VOLUME_OK && attempt < WeakHeaderKeyRetries; attempt++) {
        if (!GetRandomBytes(kb->salt, HEADER_SALT_SIZE, !wipe)) {
            status = VOLUME_WEAK_KEY;
        } else if (!DeriveKeyPbkdf2(prf, kb->password, kb->passwordLength, kb->salt, sizeof kb->salt,
                                    uint32_t(kb->iterations), dk->bytes, HeaderKeyLength())) {
            status = VOLUME_CIPHER_INIT_FAILED;
        } else if (!HeaderKeyIsWeak(algorithm, mode, dk->bytes)) {
            break;
        } else if (attempt + 1 == WeakHeaderKeyRetries) {
            status = VOLUME_WEAK_KEY;
        }
    }

    if (status == VOLUME_OK) {
        uint8_t *h = header;
        std::memcpy(h, kb->salt, HEADER_SALT_SIZE);
        std::memcpy(h + 64, Magic, sizeof Magic);
        Put16(h + 68, mode == MODE_XTS ? HEADER_VERSION_XTS : HEADER_VERSION_LEGACY);
        Put16(h + 70, MinProgramVersionFor(mode, minProgramVersion, hiddenSize));
        Put32(h + 72, Crc32(kb->key, MASTER_KEY_AREA_SIZE));
        // 76..91: reservedA and reservedB stay zero
        Put64(h + 92, hiddenSize);
        Put64(h + 100, dataSize);
        Put64(h + 108, areaStart);
        Put64(h + 116, areaLength);
        Put32(h + 124, flags);
        Put32(h + 252, Crc32(h + 64, 252 - 64));
        std::memcpy(h + HEADER_KEY_AREA_OFFSET, kb->key, MASTER_KEY_AREA_SIZE);

        // Encrypt under the header key (checked above against the weak-key
        // rule).
        ctx->algorithm = algorithm;
        ctx->modeId = mode;
        status = SetupKeys(ctx, dk->bytes, VOLUME_OUT_OF_MEMORY);
        if (status == VOLUME_OK && !EncryptVolumeBuffer(h + HEADER_ENCRYPTED_OFFSET, HEADER_ENCRYPTED_SIZE, ctx))
            status = VOLUME_OUT_OF_MEMORY;
    }

    if (status == VOLUME_OK) {
        // From here on the context serves the volume: the master key.
        ClearKeys(ctx);
        std::memcpy(ctx->masterKey, kb->key, MASTER_KEY_AREA_SIZE);
        std::memcpy(ctx->headerSalt, kb->salt, HEADER_SALT_SIZE);
        status = SetupMasterKeys(ctx, VOLUME_OUT_OF_MEMORY);
    }

    if (status != VOLUME_OK) {
        BurnMemory(header, VOLUME_HEADER_SIZE);
        ReleaseCryptoContext(ctx);
        return status;
    }

    ctx->kdfPrf = prf;
    ctx->kdfIterations = kb->iterations;
    ctx->headerVersion = mode == MODE_XTS ? HEADER_VERSION_XTS : HEADER_VERSION_LEGACY;
    ctx->minProgramVersion = MinProgramVersionFor(mode, minProgramVersion, hiddenSize);
    ctx->oldFormat = ctx->minProgramVersion < 0x600;
    ctx->reservedA = ctx->reservedB = 0;
    ctx->hiddenSize = hiddenSize;
    ctx->hiddenFlag = hiddenSize != 0;
    ctx->dataSize = dataSize;
    ctx->areaStart = areaStart;
    ctx->areaLength = areaLength;
    ctx->flags = flags;
    if (context != nullptr)
        *context = ctx;
    else
        ReleaseCryptoContext(ctx);
    return VOLUME_OK;
}
