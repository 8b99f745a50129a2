// Opening an SQLite database at a Win32 path. Under Winelib the library is
// the host's and wants a Unix path; on Windows it wants UTF-8.
#pragma once

#include <windows.h>

struct sqlite3;

// sqlite3_open_v2 on the file at path with the given flags; returns the
// SQLite result code. *db is set as sqlite3_open_v2 sets it (it may need
// sqlite3_close even on failure), or null when the path cannot be converted.
int OpenSqliteAtPath(const WCHAR *path, int flags, sqlite3 **db);
