#include "env/sqlite_win32.h"

#include <sqlite3.h>

int OpenSqliteAtPath(const WCHAR *path, int flags, sqlite3 **db)
{
    *db = nullptr;
    if (!path || !path[0])
        return SQLITE_CANTOPEN;
#ifdef __WINE__
    char *unixPath = wine_get_unix_file_name(path);
    if (!unixPath)
        return SQLITE_CANTOPEN;
    int rc = sqlite3_open_v2(unixPath, db, flags, nullptr);
    HeapFree(GetProcessHeap(), 0, unixPath);
    return rc;
#else
    int bytes = WideCharToMultiByte(CP_UTF8, 0, path, -1, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0)
        return SQLITE_CANTOPEN;
    char *utf8 = static_cast<char *>(HeapAlloc(GetProcessHeap(), 0, bytes));
    if (!utf8)
        return SQLITE_NOMEM;
    WideCharToMultiByte(CP_UTF8, 0, path, -1, utf8, bytes, nullptr, nullptr);
    int rc = sqlite3_open_v2(utf8, db, flags, nullptr);
    HeapFree(GetProcessHeap(), 0, utf8);
    return rc;
#endif
}
