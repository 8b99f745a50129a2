// Shared pieces of the cleaning tests: a trace database made from SQL, a
// list control for the counts, files of chosen sizes (sparse when large),
// registry items, and a private recycle bin.
#pragma once
#include "gtest_wine.h"

#include <commctrl.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "../env/trace_test_support.h"
#include "Mount/init_app.h"
#include "Mount/language.h"
#include "clean/app_list.h"
#include "clean/clean_ops.h"
#include "clean/size_text.h"
#include "env/trace_db.h"
#include "redirect/redirect_rules.h"

namespace clean_test {

inline std::string Utf8(const WCHAR *w)
{
    char out[4096];
    WideCharToMultiByte(CP_UTF8, 0, w, -1, out, sizeof out, nullptr, nullptr);
    return out;
}

// Loads the application, registry-item and rule tables from SQL rows (the
// schema is added here) and expands the rules.
inline bool LoadCleanTables(const ScratchDir &dir, const std::string &rows)
{
    WCHAR db[MAX_PATH];
    std::string sql = std::string(TraceSchemaSql()) + rows;
    if (!OpenTraceDatabaseFromSql(dir, sql.c_str(), db))
        return false;
    bool ok = LoadApplications() == 1 && LoadRegistryItems() == 1 && LoadRedirectRules() == 1;
    CloseTraceDatabase(db);
    ExpandRedirectRules();
    return ok;
}

inline void FreeCleanTables()
{
    FreeRedirectRules();
    FreeRegistryItems();
    FreeApplications();
}

// Language texts for the list and the dialog; the dialog class once per
// process.
inline void InitCleanUi()
{
    static bool done;
    if (done)
        return;
    done = true;
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_LISTVIEW_CLASSES | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&icc);
    SetPreferredLanguage("zh-cn");
    LoadLanguage();
    // The volume tests' set-up may have registered the dialog class already.
    WNDCLASSEXW known = {sizeof known};
    if (!GetClassInfoExW(GetModuleHandleW(nullptr), L"CustomDlg", &known))
        InitApplication(GetModuleHandleW(nullptr));
}

// A hidden list control on this thread, attached as the dialog's list.
struct TestList {
    HWND parent = nullptr;
    TestList()
    {
        InitCleanUi();
        parent = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 600, 400, nullptr, nullptr, nullptr, nullptr);
        HWND list = CreateWindowExW(0, WC_LISTVIEWW, L"", WS_CHILD | LVS_REPORT, 0, 0, 600, 400, parent, nullptr,
                                    nullptr, nullptr);
        g_appList.Attach(list);
        const WCHAR *heads[] = {L"APPNAME", L"NUMBER", L"SIZE", L"APPDETAIL", L"i"};
        for (const WCHAR *h : heads)
            g_appList.InsertColumn(h, 100);
    }
    ~TestList()
    {
        g_appList.Attach(nullptr);
        DestroyWindow(parent);
    }
    std::string Cell(INT32 appId, int column)
    {
        int row = FindRowByAppId(appId);
        if (row < 0)
            return "(no row)";
        WCHAR text[200];
        g_appList.GetCell(row, column, text, 200);
        return Utf8(text);
    }
};

inline std::string SizeText(double bytes)
{
    char text[64];
    FormatSizeText(bytes, text, sizeof text);
    return text;
}

// A file of size bytes; past 1 MB the file is only extended (sparse).
inline bool MakeFile(const WCHAR *path, UINT64 size)
{
    HANDLE h = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    bool ok = true;
    if (size <= (1u << 20)) {
        std::string bytes(static_cast<size_t>(size), 'x');
        DWORD put = 0;
        ok = size == 0 || (WriteFile(h, bytes.data(), static_cast<DWORD>(size), &put, nullptr) && put == size);
    } else {
        LARGE_INTEGER end;
        end.QuadPart = static_cast<LONGLONG>(size);
        ok = SetFilePointerEx(h, end, nullptr, FILE_BEGIN) && SetEndOfFile(h);
    }
    CloseHandle(h);
    return ok;
}

// Makes folder and its parents ("\\?\" form for long paths).
inline bool MakeFolders(const WCHAR *folder)
{
    WCHAR path[1024];
    lstrcpynW(path, folder, 1024);
    for (WCHAR *p = path + 7; *p; ++p) {
        if (*p != L'\\')
            continue;
        *p = 0;
        CreateDirectoryW(path, nullptr);
        *p = L'\\';
    }
    return CreateDirectoryW(path, nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

inline bool SetValue(const WCHAR *key, const WCHAR *name, DWORD type, const void *data, DWORD size)
{
    HKEY h;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h, nullptr))
        return false;
    LONG rc = RegSetValueExW(h, name, 0, type, static_cast<const BYTE *>(data), size);
    RegCloseKey(h);
    return rc == ERROR_SUCCESS;
}

inline bool ValueExists(const WCHAR *key, const WCHAR *name)
{
    HKEY h;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, key, 0, KEY_READ, &h))
        return false;
    bool there = RegQueryValueExW(h, name, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    RegCloseKey(h);
    return there;
}

inline bool KeyExists(const WCHAR *key)
{
    HKEY h;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, key, 0, KEY_READ, &h))
        return false;
    RegCloseKey(h);
    return true;
}

// Points this process's recycle bin (the desktop's trash under Wine) at a
// folder of its own.
inline void PrivateTrash(const WCHAR *folder)
{
    char *unix = wine_get_unix_file_name(folder);
    if (unix) {
        setenv("XDG_DATA_HOME", unix, 1);
        HeapFree(GetProcessHeap(), 0, unix);
    }
}

// A message box of this process with the caption.
struct BoxSearch {
    const WCHAR *caption;
    HWND found;
};

inline BOOL CALLBACK MatchBox(HWND window, LPARAM param)
{
    BoxSearch *search = reinterpret_cast<BoxSearch *>(param);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    WCHAR cls[16] = {0}, title[64] = {0};
    GetClassNameW(window, cls, 16);
    InternalGetWindowText(window, title, 64);
    if (process == GetCurrentProcessId() && lstrcmpW(cls, L"#32770") == 0 && lstrcmpW(title, search->caption) == 0 &&
        IsWindowVisible(window)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

struct Answering {
    std::vector<std::string> texts;  // the boxes shown, in order
};

struct AnswerRun {
    void (*body)(void *);
    void *context;
};

inline DWORD WINAPI AnswerRunBody(LPVOID param)
{
    AnswerRun *run = static_cast<AnswerRun *>(param);
    run->body(run->context);
    return 0;
}

// Runs body on a worker thread and answers each box captioned caption with
// the next answer (IDNO when they run out); the texts shown are returned.
template <class F>
std::vector<std::string> RunAnsweringBoxes(F body, const WCHAR *caption, std::vector<int> answers = {})
{
    AnswerRun run = {[](void *c) { (*static_cast<F *>(c))(); }, &body};
    HANDLE thread = CreateThread(nullptr, 0, AnswerRunBody, &run, 0, nullptr);
    std::vector<std::string> texts;
    size_t next = 0;
    for (int waited = 0; waited < 60000; waited += 20) {
        if (WaitForSingleObject(thread, 20) == WAIT_OBJECT_0)
            break;
        BoxSearch search = {caption, nullptr};
        EnumWindows(MatchBox, reinterpret_cast<LPARAM>(&search));
        if (!search.found)
            continue;
        WCHAR text[2048] = {0};
        GetWindowTextW(GetDlgItem(search.found, 0xFFFF), text, 2048);
        texts.push_back(Utf8(text));
        PostMessageW(search.found, WM_COMMAND, next < answers.size() ? answers[next++] : IDNO, 0);
        for (int i = 0; i < 250 && IsWindow(search.found); ++i)
            Sleep(20);
    }
    WaitForSingleObject(thread, 5000);
    CloseHandle(thread);
    return texts;
}

} // namespace clean_test
