// Reading the trace database out of its archive ("mani.sys").
//
// The archive is a zip file whose entry 0 is the SQLite database, encrypted
// with the traditional PKWARE method. The update check downloads it from a
// web server, so it is untrusted input: everything about it is checked and
// the database comes back in memory only; the caller decides where it goes.
// Platform-neutral (libzip and zlib).
#pragma once

#include <cstddef>

// Limits on what is accepted: the archive file and the database inside it.
enum : size_t {
    TRACE_ARCHIVE_MAX_BYTES = 16u * 1024u * 1024u,
    TRACE_DB_MAX_BYTES = 64u * 1024u * 1024u,
};

enum TraceArchiveResult {
    TRACE_ARCHIVE_OK = 0,
    TRACE_ARCHIVE_TOO_LARGE,      // archive or entry over the limits above
    TRACE_ARCHIVE_NOT_ZIP,        // not a readable, consistent zip archive
    TRACE_ARCHIVE_EMPTY,          // no entry at all
    TRACE_ARCHIVE_BAD_NAME,       // entry 0's name holds a folder, "..", a drive
    TRACE_ARCHIVE_NOT_ENCRYPTED,  // entry 0 not protected with the PKWARE method
    TRACE_ARCHIVE_BAD_PASSWORD,   // the password check of the entry failed
    TRACE_ARCHIVE_READ_FAILED,    // decryption or decompression failed
    TRACE_ARCHIVE_LENGTH_MISMATCH,
    TRACE_ARCHIVE_CRC_MISMATCH,
    TRACE_ARCHIVE_NOT_SQLITE,     // the content is not an SQLite database file
    TRACE_ARCHIVE_NO_MEMORY,
};

// Short English text for a result, for tools and diagnostics.
const char *TraceArchiveResultText(TraceArchiveResult result);

// Extracts entry 0 of the archive held in data/size with the program's
// archive password. On success *db is a malloc'ed buffer of *dbSize bytes
// (release it with free); on failure both are cleared.
TraceArchiveResult ExtractTraceArchive(const unsigned char *data, size_t size,
                                       unsigned char **db, size_t *dbSize);

// The same with an explicit password (tests, and the archive tool's check).
TraceArchiveResult ExtractTraceArchiveWithPassword(const unsigned char *data, size_t size,
                                                   const char *password,
                                                   unsigned char **db, size_t *dbSize);

// True when an entry name is a plain file name: not empty, at most 255 bytes,
// no folder separator, no drive colon, no control character, not "." or "..".
bool IsPlainEntryName(const char *name);

// True when the bytes have the shape of an SQLite database file: the magic
// header, a valid page size and a length that is a whole number of pages.
bool LooksLikeSqliteFile(const unsigned char *data, size_t size);
