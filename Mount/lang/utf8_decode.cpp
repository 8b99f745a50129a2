#include "Mount/lang/utf8_decode.h"

size_t DecodeUtf8Text(const char *text, size_t len, char16_t *out, size_t outUnits)
{
    const unsigned char *s = reinterpret_cast<const unsigned char *>(text);
    size_t units = 0;
    size_t i = 0;
    while (i < len) {
        unsigned char b = s[i];
        char32_t c;
        size_t follow;
        // The second byte's range rules out overlong forms, surrogates and
        // values above U+10FFFF for the lead bytes that allow them.
        unsigned char lo = 0x80, hi = 0xBF;
        if (b < 0x80) {
            c = b;
            follow = 0;
        } else if (b >= 0xC2 && b <= 0xDF) {
            c = b & 0x1F;
            follow = 1;
        } else if (b >= 0xE0 && b <= 0xEF) {
            c = b & 0x0F;
            follow = 2;
            if (b == 0xE0)
                lo = 0xA0;
            else if (b == 0xED)
                hi = 0x9F;
        } else if (b >= 0xF0 && b <= 0xF4) {
            c = b & 0x07;
            follow = 3;
            if (b == 0xF0)
                lo = 0x90;
            else if (b == 0xF4)
                hi = 0x8F;
        } else {
            return 0;
        }
        if (len - i - 1 < follow)
            return 0;
        for (size_t k = 1; k <= follow; ++k) {
            unsigned char t = s[i + k];
            unsigned char min = k == 1 ? lo : 0x80, max = k == 1 ? hi : 0xBF;
            if (t < min || t > max)
                return 0;
            c = (c << 6) | (t & 0x3F);
        }
        i += 1 + follow;

        size_t need = c > 0xFFFF ? 2 : 1;
        if (units + need + 1 > outUnits)
            return 0;
        if (need == 2) {
            c -= 0x10000;
            out[units++] = static_cast<char16_t>(0xD800 + (c >> 10));
            out[units++] = static_cast<char16_t>(0xDC00 + (c & 0x3FF));
        } else {
            out[units++] = static_cast<char16_t>(c);
        }
    }
    if (units + 1 > outUnits)
        return 0;
    out[units++] = 0;
    return units;
}
