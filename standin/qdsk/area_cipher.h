// Encryption of a volume's data area piece by piece, front to back, in every
// mode, so that no buffer has to hold the whole area.
//
// XTS numbers its 512-byte data units from the start of the container; the
// older modes treat the area as one stream from its start (LRW block index
// 1 at the area's first byte, the CBC chains starting there), exactly as if
// the whole area were passed to EncryptVolumeBuffer in one piece.
#pragma once
#include <cstddef>
#include <cstdint>

#include "crypto/cipher_tables.h"
#include "crypto/crypto_context.h"

class AreaCipher {
public:
    AreaCipher(QdskCryptoContext *key, bool encrypt);
    ~AreaCipher();
    AreaCipher(const AreaCipher &) = delete;
    AreaCipher &operator=(const AreaCipher &) = delete;
    // The next length bytes of the area, in place. length must be a
    // multiple of 512 except for the area's last piece, which must still
    // be whole blocks. False when the key cannot process them.
    bool Next(uint8_t *buffer, size_t length);
    uint64_t Offset() const { return offset_; }

private:
    QdskCryptoContext *key_;
    bool encrypt_;
    uint64_t offset_ = 0;
    uint8_t chain_[MAX_CASCADE][MAX_CIPHER_BLOCK];  // one CBC chain per pass
};

// The piece size used for streaming the area: large enough to be fast,
// small enough that memory stays flat.
constexpr size_t AREA_CHUNK = 1 << 20;
