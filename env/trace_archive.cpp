#include "env/trace_archive.h"

#include "env/archive_password.h"

#include <cstdlib>
#include <cstring>
#include <zip.h>
#include <zlib.h>

const char *TraceArchiveResultText(TraceArchiveResult result)
{
    switch (result) {
    case TRACE_ARCHIVE_OK: return "ok";
    case TRACE_ARCHIVE_TOO_LARGE: return "archive or database too large";
    case TRACE_ARCHIVE_NOT_ZIP: return "not a valid zip archive";
    case TRACE_ARCHIVE_EMPTY: return "archive has no entry";
    case TRACE_ARCHIVE_BAD_NAME: return "entry name is not a plain file name";
    case TRACE_ARCHIVE_NOT_ENCRYPTED: return "entry is not encrypted as expected";
    case TRACE_ARCHIVE_BAD_PASSWORD: return "wrong archive password";
    case TRACE_ARCHIVE_READ_FAILED: return "entry cannot be decrypted or decompressed";
    case TRACE_ARCHIVE_LENGTH_MISMATCH: return "entry length does not match";
    case TRACE_ARCHIVE_CRC_MISMATCH: return "entry CRC does not match";
    case TRACE_ARCHIVE_NOT_SQLITE: return "entry is not an SQLite database";
    case TRACE_ARCHIVE_NO_MEMORY: return "out of memory";
    }
    return "unknown error";
}

bool IsPlainEntryName(const char *name)
{
    if (!name || !*name)
        return false;
    size_t len = strlen(name);
    if (len > 255)
        return false;
    if (strcmp(name, ".") == 0 || strcmp(name, "..") == 0)
        return false;
    for (size_t i = 0; i < len; ++i) {
        unsigned char c = static_cast<unsigned char>(name[i]);
        if (c < 0x20 || c == 0x7F || c == '/' || c == '\\' || c == ':')
            return false;
    }
    return true;
}

bool LooksLikeSqliteFile(const unsigned char *data, size_t size)
{
    static const char kMagic[16] = "SQLite format 3";  // with its NUL: 16 bytes
    if (!data || size < 512 || memcmp(data, kMagic, 16) != 0)
        return false;
    // Bytes 16-17: page size, big-endian; 1 stands for 65536.
    unsigned pageSize = (static_cast<unsigned>(data[16]) << 8) | data[17];
    if (pageSize == 1)
        pageSize = 65536;
    if (pageSize < 512 || pageSize > 65536 || (pageSize & (pageSize - 1)) != 0)
        return false;
    return size % pageSize == 0;
}

namespace {

TraceArchiveResult ReadEntryZero(zip_t *za, const char *password,
                                 unsigned char **db, size_t *dbSize)
{
    zip_int64_t entries = zip_get_num_entries(za, 0);
    if (entries <= 0)
        return TRACE_ARCHIVE_EMPTY;

    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_stat_index(za, 0, 0, &st) != 0)
        return TRACE_ARCHIVE_NOT_ZIP;
    const zip_uint64_t needed = ZIP_STAT_NAME | ZIP_STAT_SIZE | ZIP_STAT_CRC |
                                ZIP_STAT_ENCRYPTION_METHOD;
    if ((st.valid & needed) != needed)
        return TRACE_ARCHIVE_NOT_ZIP;
    if (!IsPlainEntryName(st.name))
        return TRACE_ARCHIVE_BAD_NAME;
    if (st.encryption_method != ZIP_EM_TRAD_PKWARE)
        return TRACE_ARCHIVE_NOT_ENCRYPTED;
    if (st.size > TRACE_DB_MAX_BYTES)
        return TRACE_ARCHIVE_TOO_LARGE;

    zip_file_t *zf = zip_fopen_index_encrypted(za, 0, 0, password);
    if (!zf) {
        int code = zip_error_code_zip(zip_get_error(za));
        return code == ZIP_ER_WRONGPASSWD ? TRACE_ARCHIVE_BAD_PASSWORD
                                          : TRACE_ARCHIVE_READ_FAILED;
    }

    // One byte more than announced, to notice an entry that is longer.
    size_t capacity = static_cast<size_t>(st.size) + 1;
    unsigned char *buf = static_cast<unsigned char *>(malloc(capacity));
    if (!buf) {
        zip_fclose(zf);
        return TRACE_ARCHIVE_NO_MEMORY;
    }
    size_t total = 0;
    TraceArchiveResult result = TRACE_ARCHIVE_OK;
    for (;;) {
        if (total == capacity) {
            result = TRACE_ARCHIVE_LENGTH_MISMATCH;
            break;
        }
        zip_int64_t n = zip_fread(zf, buf + total, capacity - total);
        if (n < 0) {
            result = TRACE_ARCHIVE_READ_FAILED;
            break;
        }
        if (n == 0)
            break;
        total += static_cast<size_t>(n);
    }
    if (zip_fclose(zf) != 0 && result == TRACE_ARCHIVE_OK)
        result = TRACE_ARCHIVE_READ_FAILED;
    if (result == TRACE_ARCHIVE_OK && total != st.size)
        result = TRACE_ARCHIVE_LENGTH_MISMATCH;
    if (result == TRACE_ARCHIVE_OK) {
        // Traditional encryption checks the password by one byte only: the
        // CRC over the whole content is what proves that it decrypted.
        uLong crc = crc32(0L, Z_NULL, 0);
        size_t done = 0;
        while (done < total) {
            uInt chunk = static_cast<uInt>(total - done > 0x40000000u ? 0x40000000u : total - done);
            crc = crc32(crc, buf + done, chunk);
            done += chunk;
        }
        if (static_cast<zip_uint32_t>(crc) != st.crc)
            result = TRACE_ARCHIVE_CRC_MISMATCH;
    }
    if (result == TRACE_ARCHIVE_OK && !LooksLikeSqliteFile(buf, total))
        result = TRACE_ARCHIVE_NOT_SQLITE;
    if (result != TRACE_ARCHIVE_OK) {
        free(buf);
        return result;
    }
    *db = buf;
    *dbSize = total;
    return TRACE_ARCHIVE_OK;
}

} // namespace

TraceArchiveResult ExtractTraceArchiveWithPassword(const unsigned char *data, size_t size,
                                                   const char *password,
                                                   unsigned char **db, size_t *dbSize)
{
    *db = nullptr;
    *dbSize = 0;
    if (!data || size == 0)
        return TRACE_ARCHIVE_NOT_ZIP;
    if (size > TRACE_ARCHIVE_MAX_BYTES)
        return TRACE_ARCHIVE_TOO_LARGE;

    zip_error_t error;
    zip_error_init(&error);
    zip_source_t *src = zip_source_buffer_create(data, size, 0, &error);
    if (!src) {
        zip_error_fini(&error);
        return TRACE_ARCHIVE_NO_MEMORY;
    }
    zip_t *za = zip_open_from_source(src, ZIP_RDONLY | ZIP_CHECKCONS, &error);
    zip_error_fini(&error);
    if (!za) {
        zip_source_free(src);
        return TRACE_ARCHIVE_NOT_ZIP;
    }
    TraceArchiveResult result = ReadEntryZero(za, password, db, dbSize);
    zip_discard(za);  // also releases the source
    return result;
}

TraceArchiveResult ExtractTraceArchive(const unsigned char *data, size_t size,
                                       unsigned char **db, size_t *dbSize)
{
    char password[ARCHIVE_PASSWORD_LENGTH + 1];
    BuildArchivePassword(password);
    TraceArchiveResult result = ExtractTraceArchiveWithPassword(data, size, password, db, dbSize);
    WipeArchivePassword(password);
    return result;
}
