// The volume header: opening fuzzed 512-byte headers with fixed passwords,
// which runs every PRF, mode and algorithm the search tries. Each such run
// derives keys for every PRF, so it is slow by nature (a few runs per
// second).
//
// Input of 512 bytes or more: the encrypted header; a byte beyond it
// chooses the password and the system-drive search.
// Shorter input: the decrypted fields and key area from byte 64 on, put
// under the header key of one fixed header (salt and password known), so
// that the checks after decryption (magic, both CRCs, the fields, setting
// up the volume's keys from the key area) see fuzzed values. The first
// byte's lowest bit leaves the CRCs as given instead of correcting them.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "crypto/cipher_tables.h"
#include "crypto/crc32.h"
#include "crypto/crypto_context.h"
#include "crypto/kdf.h"
#include "crypto/modes.h"
#include "crypto/random_pool.h"
#include "volume/volume_header.h"

namespace {

QdskPassword Password(const char *text)
{
    QdskPassword password = {};
    password.ByteCount = uint32_t(strlen(text));
    memcpy(password.Bytes, text, password.ByteCount);
    return password;
}

void Put32(uint8_t *p, uint32_t v)
{
    for (int i = 0; i < 4; i++)
        p[i] = uint8_t(v >> (24 - 8 * i));
}

// One header made at start: its salt and the context holding its header key.
struct FixedHeader {
    uint8_t header[VOLUME_HEADER_SIZE] = {};
    QdskCryptoContext *headerKey = nullptr;
    FixedHeader()
    {
        QdskPassword password = Password("password");
        headerKey = AllocateCryptoContext();
        if (!headerKey ||
            BuildVolumeHeader(false, header, CIPHER_AES, MODE_XTS, &password, PRF_HMAC_RIPEMD160, nullptr, nullptr,
                              1 << 20, 0, 131072, 1 << 20, 0, 0, true) != VOLUME_OK ||
            OpenVolumeHeader(false, header, &password, nullptr, headerKey) != VOLUME_OK)
            abort();
    }
};

int OpenDecryptedFields(const uint8_t *data, size_t size)
{
    static FixedHeader fixed;
    uint8_t header[VOLUME_HEADER_SIZE];
    memcpy(header, fixed.header, HEADER_ENCRYPTED_OFFSET);
    memset(header + HEADER_ENCRYPTED_OFFSET, 0, HEADER_ENCRYPTED_SIZE);
    memcpy(header + HEADER_ENCRYPTED_OFFSET, data, size);
    if (!(data[0] & 1)) {
        memcpy(header + 64, "QDSK", 4);
        Put32(header + 72, Crc32(header + HEADER_KEY_AREA_OFFSET, MASTER_KEY_AREA_SIZE));
        Put32(header + 252, Crc32(header + 64, 252 - 64));
    }
    if (!EncryptVolumeBuffer(header + HEADER_ENCRYPTED_OFFSET, HEADER_ENCRYPTED_SIZE, fixed.headerKey))
        abort();
    QdskPassword password = Password("password");
    QdskCryptoContext *context = nullptr;
    int status = OpenVolumeHeader(false, header, &password, &context, nullptr);
    if (status == VOLUME_OK)
        ReleaseCryptoContext(context);
    else if (!(data[0] & 1) && status == VOLUME_WRONG_PASSWORD)
        abort();  // a header with its magic and CRCs in place must open
    return 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static bool pool = OpenRandomPool();
    (void)pool;
    if (size == 0)
        return 0;
    if (size < VOLUME_HEADER_SIZE)
        return OpenDecryptedFields(data, size < HEADER_ENCRYPTED_SIZE ? size : HEADER_ENCRYPTED_SIZE);
    static const char *const kPasswords[] = {"password", "", "0123456789012345678901234567890123456789012345678901234567890123"};
    uint8_t choice = size > VOLUME_HEADER_SIZE ? data[VOLUME_HEADER_SIZE] : 0;
    const char *text = kPasswords[choice % 3];
    QdskPassword password = Password(text);

    uint8_t header[VOLUME_HEADER_SIZE];
    memcpy(header, data, sizeof header);
    QdskCryptoContext *context = nullptr;
    if (OpenVolumeHeader((choice & 4) != 0, header, &password, &context, nullptr) == VOLUME_OK)
        ReleaseCryptoContext(context);
    return 0;
}
