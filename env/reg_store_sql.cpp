// The rows of the switch database that hold registry contents, read and
// written through the platform-neutral row code (env/reg_rows.cpp) with the
// Windows code pages for the names, and the hive files they come from and
// go to.
#include "env/reg_store_sql.h"

#include <stdlib.h>

#include <string>

#include "env/reg_rows.h"

const char *SavingColumn(int mode) { return mode == 1 ? "pubvalue" : "privalue"; }
const char *LoadingColumn(int mode) { return mode == 1 ? "privalue" : "pubvalue"; }

namespace {

static_assert(sizeof(WCHAR) == sizeof(char16_t), "names are UTF-16");

// Converts a name to the code page; false when it cannot be converted (or,
// for the ANSI code page, when a character has no exact ANSI form: such a
// name was never stored in ANSI as itself).
bool ToCodePage(const char16_t *name, UINT codePage, std::string &out)
{
    const WCHAR *text = reinterpret_cast<const WCHAR *>(name);
    BOOL lossy = FALSE;
    BOOL *check = codePage == CP_UTF8 ? nullptr : &lossy;
    DWORD flags = codePage == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
    int bytes = WideCharToMultiByte(codePage, flags, text, -1, nullptr, 0, nullptr, check);
    if (bytes <= 0 || lossy)
        return false;
    out.assign(static_cast<size_t>(bytes), '\0');
    if (WideCharToMultiByte(codePage, flags, text, -1, &out[0], bytes, nullptr, check) <= 0 || lossy)
        return false;
    out.resize(static_cast<size_t>(bytes - 1));
    return true;
}

bool ToUtf8(const char16_t *name, std::string &out) { return ToCodePage(name, CP_UTF8, out); }
bool ToAnsi(const char16_t *name, std::string &out) { return ToCodePage(name, CP_ACP, out); }

const RowTextEncoders kEncoders = {ToUtf8, ToAnsi};

RegRowKey Key(HKEY root, const WCHAR *keyPath, const WCHAR *valueName)
{
    return {static_cast<uint32_t>(reinterpret_cast<ULONG_PTR>(root)), reinterpret_cast<const char16_t *>(keyPath),
            reinterpret_cast<const char16_t *>(valueName)};
}

// Writes a stored hive into its file (made only when there is a hive).
struct HiveFile {
    const WCHAR *path;
};

bool WriteHive(const void *bytes, uint32_t size, void *context)
{
    const WCHAR *file = static_cast<HiveFile *>(context)->path;
    HANDLE h = CreateFileW(file, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    DWORD put = 0;
    bool written = WriteFile(h, bytes, size, &put, nullptr) && put == size;
    CloseHandle(h);
    // A cut hive must not be restored in place of the whole one.
    if (!written)
        DeleteFileW(file);
    return written;
}

} // namespace

int LoadRegBackup(const char *column, const WCHAR *file)
{
    HiveFile hive = {file};
    return ReadRegBackupRow(g_traceDb, column, WriteHive, &hive);
}

int SaveRegBackup(const char *column, const WCHAR *file)
{
    HANDLE h = CreateFileW(file, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return 0;
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(h, &info) || info.nFileSizeHigh != 0) {
        CloseHandle(h);
        return 0;
    }
    DWORD size = info.nFileSizeLow;
    BYTE *bytes = static_cast<BYTE *>(malloc(size ? size : 1));
    DWORD got = 0;
    bool stored = bytes && ReadFile(h, bytes, size, &got, nullptr) && got == size &&
                  StoreRegBackupRow(g_traceDb, column, bytes, size);
    free(bytes);
    CloseHandle(h);
    return stored ? 1 : 0;
}

BYTE *LoadRegValue(const char *column, HKEY root, const WCHAR *keyPath, const WCHAR *valueName, DWORD *size)
{
    uint32_t bytes = 0;
    BYTE *out = ReadRegValueRow(g_traceDb, column, Key(root, keyPath, valueName), kEncoders, &bytes);
    if (out)
        *size = bytes;
    return out;
}

int SaveRegValue(const char *column, HKEY root, const WCHAR *keyPath, const WCHAR *valueName, const BYTE *data,
                 DWORD size)
{
    return StoreRegValueRow(g_traceDb, column, Key(root, keyPath, valueName), kEncoders, data, size) ? 1 : 0;
}
