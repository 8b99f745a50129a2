// The clean dialog's scan (rules, counting, size texts, list updates) on a
// generated tree of 100,000 files in 5,000 folders, beside a bare recursion
// of FindFirstFileW/FindNextFileW that only adds up sizes (the floor of any
// Win32 scan) and find(1) over the same tree. Prints scan_files_per_s,
// scan_speed_vs_find and, last, scan_speed_vs_win32_walk.
#include <windows.h>

#include <commctrl.h>
#include <shlobj.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <fcntl.h>
#include <unistd.h>

#include <string>

#include "Mount/language.h"
#include "clean/app_list.h"
#include "clean/clean_ops.h"
#include "env/sqlite_win32.h"
#include "env/trace_db.h"
#include "redirect/redirect_rules.h"

#include <sqlite3.h>

namespace {

const int kTop = 50, kPerTop = 100, kFiles = 20;  // 5,000 leaf folders, 100,000 files

double Now()
{
    LARGE_INTEGER f, c;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&c);
    return double(c.QuadPart) / double(f.QuadPart);
}

// The tree, made through the host's calls (much faster than through Wine).
bool MakeTree(const char *unixRoot)
{
    char path[4096];
    mkdir(unixRoot, 0700);
    for (int t = 0; t < kTop; ++t) {
        snprintf(path, sizeof path, "%s/p%02d", unixRoot, t);
        mkdir(path, 0700);
        for (int s = 0; s < kPerTop; ++s) {
            snprintf(path, sizeof path, "%s/p%02d/s%03d", unixRoot, t, s);
            if (mkdir(path, 0700) && errno != EEXIST)
                return false;
            for (int f = 0; f < kFiles; ++f) {
                snprintf(path, sizeof path, "%s/p%02d/s%03d/file%02d.dat", unixRoot, t, s, f);
                int fd = open(path, O_WRONLY | O_CREAT | O_TRUNC, 0600);
                if (fd < 0)
                    return false;
                if (ftruncate(fd, 100 + f * 37))
                    return false;
                close(fd);
            }
        }
    }
    return true;
}

WCHAR g_path[32768];

void BareWalk(int end, UINT64 *count, UINT64 *size)
{
    lstrcpyW(g_path + end, L"*.*");
    WIN32_FIND_DATAW find;
    HANDLE h = FindFirstFileW(g_path, &find);
    if (h == INVALID_HANDLE_VALUE)
        return;
    do {
        if (find.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (find.cFileName[0] == L'.' &&
                (find.cFileName[1] == 0 || (find.cFileName[1] == L'.' && find.cFileName[2] == 0)))
                continue;
            int n = lstrlenW(find.cFileName);
            lstrcpyW(g_path + end, find.cFileName);
            g_path[end + n] = L'\\';
            g_path[end + n + 1] = 0;
            BareWalk(end + n + 1, count, size);
        } else {
            *count += 1;
            *size += (UINT64(find.nFileSizeHigh) << 32) + find.nFileSizeLow;
        }
    } while (FindNextFileW(h, &find));
    FindClose(h);
}

bool LoadTables(const WCHAR *folder)
{
    WCHAR db[MAX_PATH];
    wsprintfW(db, L"%s\\bench.db", folder);
    DeleteFileW(db);
    sqlite3 *handle = nullptr;
    const char *sql =
        "create table apps (id integer primary key, name text, describe text, DetectKey text,"
        " ShellName text, exename text, profile text);"
        "create table profiles (appid integer, items text, filePath text, section text);"
        "create table appregs (key text, subkey text, item text, aid integer);"
        "create table apppaths (aid integer, path text, name text, isRecurse integer, isCopy integer);"
        "insert into apps values (1,'Cache','a browser cache','%VGBENCH%',NULL,NULL,NULL);"
        "insert into apps values (2,'Profiles','a browser profile','%VGBENCH%',NULL,NULL,NULL);"
        "insert into apppaths values (1,'%VGBENCH%\\tree\\',NULL,1,0);"
        "insert into apppaths values (2,'%VGBENCH%\\tree\\p0*\\','History*;Cookies*;Login Data*;Web Data*',0,0);"
        "insert into apppaths values (2,'%VGBENCH%\\tree\\p1*\\sessions\\',NULL,1,0);"
        "insert into appregs values ('HKEY_CURRENT_USER','Software\\VgBenchNone',NULL,2);";
    if (OpenSqliteAtPath(db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, &handle) != SQLITE_OK)
        return false;
    bool ok = sqlite3_exec(handle, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(handle);
    if (!ok || OpenTraceDatabase(db) != 1)
        return false;
    ok = LoadApplications() == 1 && LoadRegistryItems() == 1 && LoadRedirectRules() == 1;
    CloseTraceDatabase(db);
    ExpandRedirectRules();
    return ok;
}

} // namespace

extern "C" int wmain(int, WCHAR **)
{
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_LISTVIEW_CLASSES | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&icc);
    SetPreferredLanguage("zh-cn");
    LoadLanguage();
    WCHAR temp[MAX_PATH], folder[MAX_PATH], tree[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    wsprintfW(folder, L"%svg-scan-bench-%lu", temp, GetCurrentProcessId());
    CreateDirectoryW(folder, nullptr);
    wsprintfW(tree, L"%s\\tree", folder);
    char *unixTree = wine_get_unix_file_name(tree);
    char *unixFolder = wine_get_unix_file_name(folder);
    if (!unixTree || !unixFolder || !MakeTree(unixTree)) {
        fprintf(stderr, "cannot make the tree\n");
        return 1;
    }
    SetEnvironmentVariableW(L"VGBENCH", folder);
    if (!LoadTables(folder)) {
        fprintf(stderr, "cannot load the tables\n");
        return 1;
    }
    // The dialog's controls, on this thread as in the dialog.
    HWND parent = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 600, 400, nullptr, nullptr, nullptr, nullptr);
    HWND list = CreateWindowExW(0, WC_LISTVIEWW, L"", WS_CHILD | LVS_REPORT, 0, 0, 600, 300, parent, nullptr,
                                nullptr, nullptr);
    HWND progress = CreateWindowExW(0, PROGRESS_CLASSW, L"", WS_CHILD, 0, 300, 600, 10, parent, nullptr, nullptr,
                                    nullptr);
    HWND text = CreateWindowExW(0, L"STATIC", L"", WS_CHILD, 0, 320, 600, 20, parent, nullptr, nullptr, nullptr);
    g_appList.Attach(list);
    for (const WCHAR *h : {L"APPNAME", L"NUMBER", L"SIZE", L"APPDETAIL", L"i"})
        g_appList.InsertColumn(h, 100);

    double scanBest = 1e9, walkBest = 1e9, findBest = 1e9;
    UINT64 walkCount = 0;
    char cellText[200] = "";
    for (int round = 0; round < 3; ++round) {
        double t0 = Now();
        g_appList.DeleteAllRows();
        FillAppList();
        ScanRegistryTraces(progress, text);
        ScanFileTraces(progress, text);
        double t1 = Now();
        if (t1 - t0 < scanBest)
            scanBest = t1 - t0;
        WCHAR cell[200];
        g_appList.GetCell(FindRowByAppId(1), COL_NUMBER, cell, 200);
        WideCharToMultiByte(CP_UTF8, 0, cell, -1, cellText, sizeof cellText, nullptr, nullptr);

        UINT64 count = 0, size = 0;
        wsprintfW(g_path, L"%s\\", tree);
        t0 = Now();
        BareWalk(lstrlenW(g_path), &count, &size);
        t1 = Now();
        walkCount = count;
        if (t1 - t0 < walkBest)
            walkBest = t1 - t0;

        char command[4096];
        snprintf(command, sizeof command, "find '%s' -type f -printf '%%s\\n' > /dev/null", unixTree);
        t0 = Now();
        if (system(command) != 0)
            fprintf(stderr, "find failed\n");
        t1 = Now();
        if (t1 - t0 < findBest)
            findBest = t1 - t0;
    }
    if (strtoull(cellText, nullptr, 10) != walkCount || walkCount != UINT64(kTop) * kPerTop * kFiles) {
        fprintf(stderr, "the scan counted %s files, the walk %llu\n", cellText, (unsigned long long)walkCount);
        return 1;
    }
    char command[4096];
    snprintf(command, sizeof command, "rm -rf '%s'", unixFolder);
    if (system(command) != 0)
        fprintf(stderr, "cannot remove %s\n", unixFolder);
    HeapFree(GetProcessHeap(), 0, unixTree);
    HeapFree(GetProcessHeap(), 0, unixFolder);
    printf("scan_seconds %.3f\nwin32_walk_seconds %.3f\nfind_seconds %.3f\n", scanBest, walkBest, findBest);
    printf("scan_files_per_s %.0f\n", double(walkCount) / scanBest);
    printf("scan_speed_vs_find %.3f\n", findBest / scanBest);
    printf("scan_speed_vs_win32_walk %.3f\n", walkBest / scanBest);
    DestroyWindow(parent);
    return 0;
}
