// The size texts of the clean dialog's list: "%.2f%c" with the unit B, K, M
// or G, and reading such a text back into bytes.
#pragma once
#include <cstddef>

// Writes the size of bytes into out (at least 32 chars). Up to 10240 bytes
// the unit is B and anything below 10 shows as 0; above, the value is divided
// by 1024 (K) and again while it stays above 1024 (M, then G at most).
void FormatSizeText(double bytes, char *out, size_t outSize);

// The leading number of text, multiplied by 1024, 1024^2 or 1024^3 when a
// unit K, M or G (either case) follows; anything else means bytes.
double ParseSizeText(const char *text);
