#include "update/update_rules.h"

#include <cstdio>
#include <cstring>

namespace {

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualNoCase(const char *a, const char *b)
{
    for (; *a && *b; ++a, ++b)
        if (Lower(*a) != Lower(*b))
            return false;
    return *a == *b;
}

bool IsHexDigit(char c)
{
    c = Lower(c);
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
}

} // namespace

void CutUpdateText(const char *text, size_t keep, char *out)
{
    size_t n = 0;
    while (n < keep && text[n])
        ++n;
    memcpy(out, text, n);
    out[n] = 0;
}

bool ParseUpdateDigest(const char *received, size_t len, char out[UPDATE_DIGEST_CHARS + 1])
{
    out[0] = 0;
    if (!received)
        return false;
    size_t at = 0;
    if (len >= 3 && memcmp(received, "\xEF\xBB\xBF", 3) == 0)
        at = 3;
    if (len - at < UPDATE_DIGEST_CHARS)
        return false;
    for (size_t i = 0; i < UPDATE_DIGEST_CHARS; ++i)
        if (!IsHexDigit(received[at + i]))
            return false;
    size_t rest = len - at - UPDATE_DIGEST_CHARS;
    const char *tail = received + at + UPDATE_DIGEST_CHARS;
    if (!(rest == 0 || (rest == 1 && tail[0] == '\n') || (rest == 2 && tail[0] == '\r' && tail[1] == '\n')))
        return false;
    for (size_t i = 0; i < UPDATE_DIGEST_CHARS; ++i)
        out[i] = Lower(received[at + i]);
    out[UPDATE_DIGEST_CHARS] = 0;
    return true;
}

bool OffersNewDatabase(const char *received, size_t len, const char *localDigest)
{
    char offered[UPDATE_DIGEST_CHARS + 1];
    if (!ParseUpdateDigest(received, len, offered))
        return false;
    return !localDigest || !EqualNoCase(offered, localDigest);
}

bool OffersNewProgram(const char *received, const char *thisVersion)
{
    char cut[UPDATE_VERSION_CHARS + 1];
    CutUpdateText(received, UPDATE_VERSION_CHARS, cut);
    return cut[0] != 0 && !EqualNoCase(cut, thisVersion);
}

bool SameDigest(const char *a, const char *b)
{
    if (!a || !b)
        return false;
    for (size_t i = 0; i < UPDATE_DIGEST_CHARS; ++i)
        if (!IsHexDigit(a[i]) || !IsHexDigit(b[i]) || Lower(a[i]) != Lower(b[i]))
            return false;
    return true;
}

bool IsStatusOk(const char *statusText)
{
    return statusText && strncmp(statusText, "200", 3) == 0;
}

bool ParseContentLength(const char *text, uint64_t *length)
{
    if (!text)
        return false;
    while (*text == ' ' || *text == '\t')
        ++text;
    if (*text < '0' || *text > '9')
        return false;
    uint64_t value = 0;
    for (; *text >= '0' && *text <= '9'; ++text) {
        unsigned digit = static_cast<unsigned>(*text - '0');
        if (value > (UINT64_MAX - digit) / 10)
            return false;
        value = value * 10 + digit;
    }
    while (*text == ' ' || *text == '\t')
        ++text;
    if (*text)
        return false;
    *length = value;
    return true;
}

size_t DownloadBlockSize(bool hasLength, uint64_t length)
{
    if (!hasLength)
        return DOWNLOAD_DEFAULT_BLOCK;
    if (length == 0)
        return 1;
    return length > DOWNLOAD_MAX_BLOCK ? DOWNLOAD_MAX_BLOCK : static_cast<size_t>(length);
}

void DigestToHex(const unsigned char digest[16], char out[33])
{
    for (int i = 0; i < 16; ++i)
        snprintf(out + 2 * i, 3, "%02x", digest[i]);
    out[32] = 0;
}
