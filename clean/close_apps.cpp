// Before a quit or a logoff in privacy mode: ends the running processes of
// the listed applications, when the user agrees.
#include "clean/clean_ops.h"

#include <psapi.h>
#include <shlwapi.h>

#include "Mount/language.h"
#include "Mount/msgbox_ask.h"
#include "env/trace_db.h"

namespace {

// The first listed application whose executable name occurs in path.
bool IsTracedExecutable(const WCHAR *path)
{
    for (INT32 i = 0; i < g_appCount; ++i) {
        const AppEntry *app = g_apps[i];
        // An empty name would occur in every path and end every process.
        if (app && app->exename && app->exename[0] && StrRStrIW(path, nullptr, app->exename))
            return true;
    }
    return false;
}

} // namespace

BOOL CloseTracedApplications(HWND owner, int mode)
{
    if (mode != 1)
        return TRUE;
    int answer = AskWithCaption(owner, GetString("CLOSEAPPBEFORELOGOFF"), GetString("INFORMATION"),
                                MB_YESNOCANCEL | MB_ICONQUESTION);
    if (answer == IDCANCEL)
        return FALSE;
    if (answer != IDYES)
        return TRUE;
    DWORD ids[1024];
    DWORD bytes = 0;
    if (!EnumProcesses(ids, sizeof ids, &bytes))
        return TRUE;
    DWORD self = GetCurrentProcessId();
    for (DWORD i = 0; i < bytes / sizeof(DWORD); ++i) {
        if (ids[i] == 0 || ids[i] == self)
            continue;
        HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ | PROCESS_TERMINATE, FALSE, ids[i]);
        if (!process)
            continue;
        WCHAR path[MAX_PATH];
        if (GetModuleFileNameExW(process, nullptr, path, MAX_PATH) && IsTracedExecutable(path))
            TerminateProcess(process, 0);
        CloseHandle(process);
    }
    return TRUE;
}
