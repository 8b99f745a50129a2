// The decisions of the update check that need no network and no window: what
// the server's version files mean, whether a download answer is usable, how
// large the download blocks are. Platform-neutral.
#pragma once

#include <cstddef>
#include <cstdint>

// The version of this program, as the server's "setup.txt" states versions.
inline constexpr char kThisProgramVersion[] = "2.02";

// The version files are read once, at most this many bytes.
enum : size_t { UPDATE_VERSION_READ_MAX = 100 };

// Only the first 32 bytes of "update.txt" (an MD5 digest in hexadecimal) and
// the first 4 of "setup.txt" (a version like "2.02") count.
enum : size_t { UPDATE_DIGEST_CHARS = 32, UPDATE_VERSION_CHARS = 4 };

// A block of 102400 bytes when the answer gives no length; a length above
// the ceiling still gets a block of the ceiling only.
enum : size_t { DOWNLOAD_DEFAULT_BLOCK = 102400, DOWNLOAD_MAX_BLOCK = 1024 * 1024 };

// The program download ("update.zip") is at most 64 MiB and must arrive
// within 10 minutes; the server decides neither the disk space taken nor
// how long start-up waits.
enum : uint64_t { UPDATE_PROGRAM_MAX_BYTES = 64ull * 1024 * 1024 };
enum : uint32_t { UPDATE_DOWNLOAD_MAX_MS = 10u * 60u * 1000u };

// Copies at most keep bytes of the NUL-terminated text into out (keep + 1
// bytes) and terminates it.
void CutUpdateText(const char *text, size_t keep, char *out);

// Reads the text received for "update.txt" (len bytes, NUL bytes included):
// exactly 32 hexadecimal digits, optionally after a UTF-8 byte-order mark
// and optionally followed by one line end ("\n" or "\r\n"), nothing else.
// On success out holds the digits in lower case; otherwise out is empty.
bool ParseUpdateDigest(const char *received, size_t len, char out[UPDATE_DIGEST_CHARS + 1]);

// True when the text received for "update.txt" (len bytes) is a digest as
// ParseUpdateDigest reads it and differs, without regard to case, from the
// local digest. A missing local digest (null) differs from every offer.
bool OffersNewDatabase(const char *received, size_t len, const char *localDigest);

// True when the text received for "setup.txt" offers a new program: cut after
// 4 bytes it is not empty and differs, without regard to case, from this
// program's version. The texts are compared for equality only.
bool OffersNewProgram(const char *received, const char *thisVersion);

// True when a digest text is 32 hexadecimal digits and equals the other one
// without regard to case.
bool SameDigest(const char *a, const char *b);

// True when the HTTP status text begins with "200".
bool IsStatusOk(const char *statusText);

// Reads a Content-Length value: decimal digits only (surrounding blanks
// allowed), no overflow. False for anything else.
bool ParseContentLength(const char *text, uint64_t *length);

// The block size of a download: the content length when the answer has one
// (at least 1, at most DOWNLOAD_MAX_BLOCK), else DOWNLOAD_DEFAULT_BLOCK.
size_t DownloadBlockSize(bool hasLength, uint64_t length);

// The 16 digest bytes as 32 lower-case hexadecimal digits ("%02x" each) and
// a terminating NUL.
void DigestToHex(const unsigned char digest[16], char out[33]);
