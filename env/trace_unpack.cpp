// Unpacking "mani.sys" into a temporary file at start-up.
#include "env/trace_db.h"

#include "env/trace_archive.h"

#include <stdlib.h>

namespace {

// Reads a whole file of at most maxBytes into a malloc'ed buffer.
BOOL ReadWholeFile(const WCHAR *path, size_t maxBytes, unsigned char **data, size_t *size)
{
    *data = nullptr;
    *size = 0;
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return FALSE;
    LARGE_INTEGER length;
    BOOL ok = GetFileSizeEx(file, &length) && length.QuadPart > 0 &&
              static_cast<unsigned long long>(length.QuadPart) <= maxBytes;
    unsigned char *buf = nullptr;
    size_t total = 0;
    if (ok) {
        total = static_cast<size_t>(length.QuadPart);
        buf = static_cast<unsigned char *>(malloc(total));
        ok = buf != nullptr;
    }
    size_t done = 0;
    while (ok && done < total) {
        DWORD got = 0;
        DWORD want = static_cast<DWORD>(total - done > 0x100000 ? 0x100000 : total - done);
        if (!ReadFile(file, buf + done, want, &got, nullptr) || got == 0)
            ok = FALSE;
        done += got;
    }
    CloseHandle(file);
    if (!ok) {
        free(buf);
        return FALSE;
    }
    *data = buf;
    *size = total;
    return TRUE;
}

BOOL WriteWholeFile(const WCHAR *path, const unsigned char *data, size_t size)
{
    HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return FALSE;
    BOOL ok = TRUE;
    size_t done = 0;
    while (ok && done < size) {
        DWORD put = 0;
        DWORD want = static_cast<DWORD>(size - done > 0x100000 ? 0x100000 : size - done);
        if (!WriteFile(file, data + done, want, &put, nullptr) || put != want)
            ok = FALSE;
        done += put;
    }
    if (!CloseHandle(file))
        ok = FALSE;
    return ok;
}

} // namespace

int UnpackTraceDatabaseFrom(const WCHAR *archivePath, WCHAR *tempPath)
{
    DWORD attributes = GetFileAttributesW(archivePath);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return 0;

    WCHAR tempFolder[MAX_PATH];
    DWORD n = GetTempPathW(MAX_PATH, tempFolder);
    if (n == 0 || n > MAX_PATH)
        lstrcpyW(tempFolder, L"./");

    // The name goes to the caller before anything is extracted, so that the
    // file can be deleted whatever happens next.
    if (!GetTempFileNameW(tempFolder, L"LwH", 0, tempPath))
        lstrcpyW(tempPath, L"LwH6945.tmp");

    // The archive may come from the update server: it is read whole into
    // memory within a size limit and checked there, and only the verified
    // database is written, into the temporary file and nowhere else.
    unsigned char *archive = nullptr;
    size_t archiveSize = 0;
    unsigned char *db = nullptr;
    size_t dbSize = 0;
    int result = 0;
    if (ReadWholeFile(archivePath, TRACE_ARCHIVE_MAX_BYTES, &archive, &archiveSize) &&
        ExtractTraceArchive(archive, archiveSize, &db, &dbSize) == TRACE_ARCHIVE_OK &&
        WriteWholeFile(tempPath, db, dbSize)) {
        SetFileAttributesW(tempPath, FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
        result = 1;
    }
    free(archive);
    free(db);
    if (!result) {
        SetFileAttributesW(tempPath, FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(tempPath);
    }
    return result;
}

int UnpackTraceDatabase(WCHAR *tempPath)
{
    WCHAR folder[MAX_PATH];
    WCHAR archivePath[MAX_PATH];
    if (!GetProgramFolder(folder))
        return 0;
    if (lstrlenW(folder) + 10 >= MAX_PATH)
        return 0;
    wsprintfW(archivePath, L"%s\\mani.sys", folder);
    return UnpackTraceDatabaseFrom(archivePath, tempPath);
}
