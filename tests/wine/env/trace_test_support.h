// Helpers shared by the integration tests of the trace database and the
// redirection rules: scratch folders, the build's mani.sys and fest.sys,
// small SQLite databases made from SQL text, and test drive letters.
// Include after gtest_wine.h.
#pragma once

#include <shlobj.h>
#include <shlwapi.h>
#include <sqlite3.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include "env/sqlite_win32.h"
#include "env/trace_db.h"

// UTF-16 texts compared and shown as UTF-8 (gtest's own wide-string
// comparison uses the C library, which assumes 32-bit characters here).
inline ::testing::AssertionResult WideEqual(const char *ea, const char *eb, const WCHAR *a, const WCHAR *b)
{
    if (a && b && lstrcmpW(a, b) == 0)
        return ::testing::AssertionSuccess();
    if (!a && !b)
        return ::testing::AssertionSuccess();
    char ua[1024] = "(null)", ub[1024] = "(null)";
    if (a)
        WideCharToMultiByte(CP_UTF8, 0, a, -1, ua, sizeof ua, nullptr, nullptr);
    if (b)
        WideCharToMultiByte(CP_UTF8, 0, b, -1, ub, sizeof ub, nullptr, nullptr);
    return ::testing::AssertionFailure() << ea << " is \"" << ua << "\", " << eb << " is \"" << ub << "\"";
}
#define EXPECT_WSTREQ(a, b) EXPECT_PRED_FORMAT2(WideEqual, a, b)
#define ASSERT_WSTREQ(a, b) ASSERT_PRED_FORMAT2(WideEqual, a, b)

// A scratch folder under the temporary folder, unique to this process.
struct ScratchDir {
    WCHAR path[MAX_PATH];
    explicit ScratchDir(const WCHAR *tag)
    {
        WCHAR temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        wsprintfW(path, L"%svg-%s-%lu", temp, tag, GetCurrentProcessId());
        SHCreateDirectoryExW(nullptr, path, nullptr);
    }
    ~ScratchDir()
    {
        WCHAR from[MAX_PATH + 1] = {0};
        lstrcpynW(from, path, MAX_PATH);  // double-NUL terminated
        SHFILEOPSTRUCTW op = {};
        op.wFunc = FO_DELETE;
        op.pFrom = from;
        op.fFlags = FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_SILENT;
        SHFileOperationW(&op);
    }
    // "%s\%s" of the folder and a name.
    void File(const WCHAR *name, WCHAR *out) const { wsprintfW(out, L"%s\\%s", path, name); }
};

// The folder of this test program.
inline void TestProgramFolder(WCHAR *out)
{
    GetModuleFileNameW(nullptr, out, MAX_PATH);
    WCHAR *slash = nullptr;
    for (WCHAR *p = out; *p; ++p)
        if (*p == L'\\')
            slash = p;
    if (slash)
        *slash = 0;
}

// The build's output folder (bin/), where mani.sys and fest.sys are made.
inline void BuildBinFolder(WCHAR *out)
{
    WCHAR here[MAX_PATH], joined[MAX_PATH];
    TestProgramFolder(here);
    wsprintfW(joined, L"%s\\..\\..\\bin", here);
    GetFullPathNameW(joined, MAX_PATH, out, nullptr);
}

inline void BuildBinFile(const WCHAR *name, WCHAR *out)
{
    WCHAR folder[MAX_PATH];
    BuildBinFolder(folder);
    wsprintfW(out, L"%s\\%s", folder, name);
}

// Makes an SQLite database at a Win32 path from SQL text.
inline int MakeDatabase(const WCHAR *path, const char *sql)
{
    DeleteFileW(path);
    sqlite3 *db = nullptr;
    int rc = OpenSqliteAtPath(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, &db);
    if (rc == SQLITE_OK)
        rc = sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
    if (db)
        sqlite3_close(db);
    return rc;
}

inline bool FileExists(const WCHAR *path)
{
    return GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES;
}

inline bool WriteText(const WCHAR *path, const char *text)
{
    HANDLE h = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    DWORD put = 0;
    BOOL ok = WriteFile(h, text, lstrlenA(text), &put, nullptr);
    CloseHandle(h);
    return ok && put == static_cast<DWORD>(lstrlenA(text));
}

inline bool ReadText(const WCHAR *path, char *out, DWORD size)
{
    HANDLE h = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    DWORD got = 0;
    BOOL ok = ReadFile(h, out, size - 1, &got, nullptr);
    CloseHandle(h);
    out[ok ? got : 0] = 0;
    return ok;
}

// Makes a drive letter lead to a folder, as the volume stand-in does for a
// mounted disk: a link in the prefix's dosdevices folder. Removed again by
// the destructor.
struct TestDrive {
    char link[1024];
    bool ok = false;
    TestDrive(WCHAR letter, const WCHAR *folder)
    {
        link[0] = 0;
        const char *prefix = getenv("WINEPREFIX");
        char *target = wine_get_unix_file_name(folder);
        if (prefix && target) {
            snprintf(link, sizeof link, "%s/dosdevices/%c:", prefix, static_cast<char>(letter | 0x20));
            unlink(link);
            ok = symlink(target, link) == 0;
        }
        if (target)
            HeapFree(GetProcessHeap(), 0, target);
    }
    ~TestDrive()
    {
        if (ok)
            unlink(link);
    }
};

// Makes a trace database from SQL text in the folder and opens it as the
// program does.
inline bool OpenTraceDatabaseFromSql(const ScratchDir &dir, const char *sql, WCHAR *dbPath)
{
    dir.File(L"trace.db", dbPath);
    if (MakeDatabase(dbPath, sql) != SQLITE_OK)
        return false;
    return OpenTraceDatabase(dbPath) == 1;
}

// The trace database schema, for tests that fill their own rows.
inline const char *TraceSchemaSql()
{
    return "create table apps (id integer primary key, name text, describe text, DetectKey text,"
           " ShellName text, exename text, profile text);"
           "create table profiles (appid integer, items text, filePath text, section text);"
           "create table appregs (key text, subkey text, item text, aid integer);"
           "create table apppaths (aid integer, path text, name text, isRecurse integer, isCopy integer);";
}
