// The rows of the switch database that hold registry contents. Key paths and
// value names are bound as parameters (an apostrophe in a name is stored
// like any other character); rows are told apart by root, key path and
// value name.
#include "env/reg_store_sql.h"

#include <sqlite3.h>
#include <stdlib.h>

const char *SavingColumn(int mode) { return mode == 1 ? "pubvalue" : "privalue"; }
const char *LoadingColumn(int mode) { return mode == 1 ? "privalue" : "pubvalue"; }

// Only the two mode columns may be pasted into a statement.
static bool IsModeColumn(const char *column)
{
    return column && (lstrcmpA(column, "pubvalue") == 0 || lstrcmpA(column, "privalue") == 0);
}

static sqlite3_stmt *Prepare(const char *format, const char *column)
{
    if (!g_traceDb || !IsModeColumn(column))
        return nullptr;
    char sql[160];
    wsprintfA(sql, format, column);
    sqlite3_stmt *statement = nullptr;
    if (sqlite3_prepare_v2(g_traceDb, sql, -1, &statement, nullptr) != SQLITE_OK) {
        sqlite3_finalize(statement);
        return nullptr;
    }
    return statement;
}

// Binds text in the given code page; false when it cannot be bound (or,
// for the ANSI code page, when a character has no exact ANSI form: such a
// name was never stored in ANSI as itself).
static bool BindText(sqlite3_stmt *statement, int index, const WCHAR *text, UINT codePage)
{
    BOOL lossy = FALSE;
    BOOL *check = codePage == CP_UTF8 ? nullptr : &lossy;
    DWORD flags = codePage == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
    int bytes = WideCharToMultiByte(codePage, flags, text, -1, nullptr, 0, nullptr, check);
    if (bytes <= 0 || lossy)
        return false;
    char *narrow = static_cast<char *>(malloc(bytes));
    if (!narrow)
        return false;
    WideCharToMultiByte(codePage, flags, text, -1, narrow, bytes, nullptr, check);
    return sqlite3_bind_text(statement, index, narrow, -1, free) == SQLITE_OK;
}

// Rows are told apart by root, key path and value name. The names are
// stored in UTF-8, so different names never share a row; for an ASCII name
// that is the row the ANSI code page gave it too.
static bool BindKey(sqlite3_stmt *statement, int first, HKEY root, const WCHAR *keyPath, const WCHAR *valueName,
                    UINT codePage = CP_UTF8)
{
    sqlite3_int64 rootValue = static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(root));
    return sqlite3_bind_int64(statement, first, rootValue) == SQLITE_OK &&
           BindText(statement, first + 1, keyPath, codePage) && BindText(statement, first + 2, valueName, codePage);
}

static bool IsAscii(const WCHAR *text)
{
    for (; *text; ++text)
        if (*text > 0x7F)
            return false;
    return true;
}

int LoadRegBackup(const char *column, const WCHAR *file)
{
    sqlite3_stmt *statement = Prepare("select %s from regbackup", column);
    if (!statement)
        return 0;
    int written = 0;
    if (sqlite3_step(statement) == SQLITE_ROW && sqlite3_column_bytes(statement, 0) > 0) {
        const void *blob = sqlite3_column_blob(statement, 0);
        DWORD bytes = static_cast<DWORD>(sqlite3_column_bytes(statement, 0));
        HANDLE h = CreateFileW(file, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            DWORD put = 0;
            written = WriteFile(h, blob, bytes, &put, nullptr) && put == bytes;
            CloseHandle(h);
            // A cut hive must not be restored in place of the whole one.
            if (!written)
                DeleteFileW(file);
        }
        if (!written)
            written = -1;
    }
    sqlite3_finalize(statement);
    return written;
}

// Runs a statement that returns rows: 1 with rows, 0 without, -1 on error.
static int HasRows(const char *sql)
{
    char **cells = nullptr, *error = nullptr;
    int rows = 0, cols = 0;
    int rc = sqlite3_get_table(g_traceDb, sql, &cells, &rows, &cols, &error);
    sqlite3_free(error);
    sqlite3_free_table(cells);
    if (rc != SQLITE_OK)
        return -1;
    return rows > 0 ? 1 : 0;
}

static bool StepOnce(sqlite3_stmt *statement)
{
    int rc = sqlite3_step(statement);
    sqlite3_finalize(statement);
    return rc == SQLITE_DONE || rc == SQLITE_ROW;
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
    bool stored = false;
    if (bytes && ReadFile(h, bytes, size, &got, nullptr) && got == size && g_traceDb) {
        int existing = HasRows("select * from regbackup");
        bool haveRow = existing == 1;
        if (existing == 0) {
            char *error = nullptr;
            haveRow = sqlite3_exec(g_traceDb, "insert into regbackup (pubvalue,privalue) values (null,null) ", nullptr,
                                   nullptr, &error) == SQLITE_OK;
            sqlite3_free(error);
        }
        sqlite3_stmt *statement = haveRow ? Prepare("update regbackup set %s = ? ", column) : nullptr;
        if (statement && sqlite3_bind_blob(statement, 1, bytes, static_cast<int>(size), SQLITE_STATIC) == SQLITE_OK)
            stored = StepOnce(statement);
        else
            sqlite3_finalize(statement);
    }
    free(bytes);
    CloseHandle(h);
    return stored ? 1 : 0;
}

// The stored bytes of one row, names bound in codePage.
static BYTE *LoadRow(const char *column, HKEY root, const WCHAR *keyPath, const WCHAR *valueName, DWORD *size,
                     UINT codePage)
{
    sqlite3_stmt *statement =
        Prepare("select %s from regvalue where keyroot = ? and keypath = ? and valuename = ?", column);
    if (!statement)
        return nullptr;
    BYTE *out = nullptr;
    if (BindKey(statement, 1, root, keyPath, valueName, codePage) && sqlite3_step(statement) == SQLITE_ROW) {
        int bytes = sqlite3_column_bytes(statement, 0);
        if (bytes > 0) {
            // At least the usual 8192 bytes, and as many as were stored.
            size_t capacity = bytes > 8192 ? static_cast<size_t>(bytes) : 8192;
            out = static_cast<BYTE *>(calloc(capacity, 1));
            if (out) {
                CopyMemory(out, sqlite3_column_blob(statement, 0), bytes);
                *size = static_cast<DWORD>(bytes);
            }
        }
    }
    sqlite3_finalize(statement);
    return out;
}

BYTE *LoadRegValue(const char *column, HKEY root, const WCHAR *keyPath, const WCHAR *valueName, DWORD *size)
{
    BYTE *out = LoadRow(column, root, keyPath, valueName, size, CP_UTF8);
    // A non-ASCII name that an earlier version stored in the ANSI code page.
    if (!out && !(IsAscii(keyPath) && IsAscii(valueName)))
        out = LoadRow(column, root, keyPath, valueName, size, CP_ACP);
    return out;
}

int SaveRegValue(const char *column, HKEY root, const WCHAR *keyPath, const WCHAR *valueName, const BYTE *data,
                 DWORD size)
{
    if (!g_traceDb || !IsModeColumn(column))
        return 0;
    sqlite3_stmt *find = nullptr;
    if (sqlite3_prepare_v2(g_traceDb,
                           "select keypath from  regvalue where keyroot = ? and keypath = ? and valuename = ?", -1,
                           &find, nullptr) != SQLITE_OK ||
        !BindKey(find, 1, root, keyPath, valueName)) {
        sqlite3_finalize(find);
        return 0;
    }
    int rc = sqlite3_step(find);
    sqlite3_finalize(find);
    if (rc != SQLITE_ROW && rc != SQLITE_DONE)
        return 0;
    if (rc == SQLITE_DONE) {
        sqlite3_stmt *insert = nullptr;
        bool bound = sqlite3_prepare_v2(g_traceDb, "insert into regvalue (keyroot,keypath,valuename) values (?,?,?) ",
                                        -1, &insert, nullptr) == SQLITE_OK &&
                     BindKey(insert, 1, root, keyPath, valueName);
        if (!bound) {
            sqlite3_finalize(insert);
            return 0;
        }
        if (!StepOnce(insert))
            return 0;
    }
    sqlite3_stmt *update =
        Prepare("update regvalue set %s = ? where keyroot = ? and keypath = ? and valuename = ?", column);
    if (!update)
        return 0;
    if (sqlite3_bind_blob(update, 1, data, static_cast<int>(size), SQLITE_STATIC) != SQLITE_OK ||
        !BindKey(update, 2, root, keyPath, valueName)) {
        sqlite3_finalize(update);
        return 0;
    }
    return StepOnce(update) ? 1 : 0;
}
