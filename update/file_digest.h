// The MD5 digest of a whole file, as the update server states it.
#pragma once
#include <windows.h>

// Reads the file in blocks of 1024 bytes and writes its MD5 digest as 32
// lower-case hexadecimal digits and a NUL into out (33 bytes). FALSE (and an
// empty text) when the file cannot be opened or read.
BOOL FileDigestHex(const WCHAR *path, char out[33]);
