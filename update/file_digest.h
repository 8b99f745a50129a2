// The digests of a whole file: MD5, as "update.txt" states it, and
// SHA-512, as the signed manifest states it.
#pragma once
#include <windows.h>

// Reads the file in blocks of 1024 bytes and writes its MD5 digest as 32
// lower-case hexadecimal digits and a NUL into out (33 bytes). FALSE (and an
// empty text) when the file cannot be opened or read.
BOOL FileDigestHex(const WCHAR *path, char out[33]);

// The SHA-512 of the whole file into out (64 bytes). FALSE when the file
// cannot be opened or read.
BOOL FileSha512(const WCHAR *path, unsigned char out[64]);
