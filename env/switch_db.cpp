// The switch database "fest.sys" at the root of the virtual disk.
#include "env/trace_db.h"

#include "env/sqlite_win32.h"

#include <sqlite3.h>

int OpenSwitchDatabaseFrom(const WCHAR *drive, const WCHAR *templateFolder)
{
    if (!drive || !drive[0] || drive[1] != L':' || drive[2] != 0)
        return SQLITE_CANTOPEN;
    WCHAR path[16];
    wsprintfW(path, L"%s\\fest.sys", drive);

    if (GetFileAttributesW(path) == INVALID_FILE_ATTRIBUTES && templateFolder &&
        lstrlenW(templateFolder) + 10 < MAX_PATH) {
        // The template goes there once; an existing copy is never replaced,
        // and a failing copy is not reported (the open below tells).
        WCHAR source[MAX_PATH];
        wsprintfW(source, L"%s\\fest.sys", templateFolder);
        if (CopyFileW(source, path, TRUE))
            SetFileAttributesW(path, FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    }

    sqlite3 *db = nullptr;
    // Never created here: an empty database without the tables would fail
    // every later switch. A drive without the file is skipped.
    int rc = OpenSqliteAtPath(path, SQLITE_OPEN_READWRITE, &db);
    if (rc != SQLITE_OK) {
        OutputDebugStringW(L"Can't open database.");
        if (db)
            sqlite3_close(db);
        return rc;
    }
    g_traceDb = db;
    return SQLITE_OK;
}

int OpenSwitchDatabase(const WCHAR *drive)
{
    WCHAR folder[MAX_PATH];
    if (!GetProgramFolder(folder))
        folder[0] = 0;
    return OpenSwitchDatabaseFrom(drive, folder[0] ? folder : nullptr);
}
