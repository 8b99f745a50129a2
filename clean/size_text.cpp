#include "clean/size_text.h"

#include <cstdio>
#include <cstdlib>

void FormatSizeText(double bytes, char *out, size_t outSize)
{
    char unit = 'B';
    double v = bytes;
    if (v <= 10240) {
        if (v < 10)
            v = 0;
    } else {
        v /= 1024;
        unit = 'K';
        while (v > 1024 && unit != 'G') {
            v /= 1024;
            unit = unit == 'K' ? 'M' : 'G';
        }
    }
    snprintf(out, outSize, "%.2f%c", v, unit);
}

double ParseSizeText(const char *text)
{
    char *end = nullptr;
    double v = strtod(text, &end);
    if (end == text)
        return 0;
    switch (*end) {
    case 'K':
    case 'k':
        return v * 1024;
    case 'M':
    case 'm':
        return v * 1024 * 1024;
    case 'G':
    case 'g':
        return v * 1024 * 1024 * 1024;
    default:
        return v;
    }
}
