// The volume header: opening fuzzed 512-byte headers with fixed passwords,
// which runs every PRF, mode and algorithm the search tries and, for
// headers that decrypt, the field checks. Each run derives keys for every
// PRF, so this target is slow by nature (a few runs per second).
//
// Input: 512 header bytes; a first byte beyond them chooses the password
// and the system-drive search.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "crypto/crypto_context.h"
#include "crypto/random_pool.h"
#include "volume/volume_header.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static bool pool = OpenRandomPool();
    (void)pool;
    if (size < VOLUME_HEADER_SIZE)
        return 0;
    static const char *const kPasswords[] = {"password", "", "0123456789012345678901234567890123456789012345678901234567890123"};
    uint8_t choice = size > VOLUME_HEADER_SIZE ? data[VOLUME_HEADER_SIZE] : 0;
    const char *text = kPasswords[choice % 3];
    QdskPassword password = {};
    password.ByteCount = uint32_t(strlen(text));
    memcpy(password.Bytes, text, password.ByteCount);

    uint8_t header[VOLUME_HEADER_SIZE];
    memcpy(header, data, sizeof header);
    QdskCryptoContext *context = nullptr;
    if (OpenVolumeHeader((choice & 4) != 0, header, &password, &context, nullptr) == VOLUME_OK)
        ReleaseCryptoContext(context);
    return 0;
}
