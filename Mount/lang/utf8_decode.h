// Strict UTF-8 to UTF-16 conversion for the language texts.
#pragma once
#include <stddef.h>

// Converts len bytes of UTF-8 into out and appends a zero unit. Characters
// above U+FFFF become surrogate pairs. Returns the number of units written,
// the terminator included, or 0 when the input is not valid UTF-8 (stray
// continuation bytes, overlong forms, encoded surrogates, values above
// U+10FFFF, truncated sequences) or the result does not fit outUnits.
size_t DecodeUtf8Text(const char *text, size_t len, char16_t *out, size_t outUnits);
