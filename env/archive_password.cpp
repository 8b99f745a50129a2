#include "env/archive_password.h"

namespace {

// Position of each stored byte in the password, and the stored bytes; each
// byte is the character XORed with a mask that depends on its position.
const unsigned char kOrder[ARCHIVE_PASSWORD_LENGTH] = {7, 2, 11, 0, 9, 4, 12, 1, 6, 10, 3, 8, 5};
const unsigned char kStored[ARCHIVE_PASSWORD_LENGTH] = {
    0x32, 0x2C, 0x17, 0xD1, 0xF4, 0xFC, 0x1E, 0xB1, 0x35, 0x8B, 0x75, 0x5C, 0x9A};

unsigned char PositionMask(unsigned pos)
{
    return static_cast<unsigned char>((0xA5u + 0x3Bu * pos) & 0xFFu);
}

} // namespace

void BuildArchivePassword(char out[ARCHIVE_PASSWORD_LENGTH + 1])
{
    for (unsigned j = 0; j < ARCHIVE_PASSWORD_LENGTH; ++j) {
        unsigned pos = kOrder[j];
        out[pos] = static_cast<char>(kStored[j] ^ PositionMask(pos));
    }
    out[ARCHIVE_PASSWORD_LENGTH] = '\0';
}

void WipeArchivePassword(char buf[ARCHIVE_PASSWORD_LENGTH + 1])
{
    volatile char *p = buf;
    for (unsigned i = 0; i <= ARCHIVE_PASSWORD_LENGTH; ++i)
        p[i] = 0;
}
