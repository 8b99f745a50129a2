// Before a quit or a logoff in privacy mode: closes the running processes of
// the listed applications, when the user agrees.
#include "clean/clean_ops.h"

#include <psapi.h>
#include <shlwapi.h>

#include <vector>

#include "Mount/language.h"
#include "Mount/msgbox_ask.h"
#include "env/trace_db.h"

namespace {

// How long the applications asked to close get, all together, before what
// is left is ended.
const DWORD kCloseWaitMs = 5000;

// Whether the final component of path is a listed application's
// executable name (the whole name, case ignored).
bool IsTracedExecutable(const WCHAR *path)
{
    const WCHAR *name = path;
    for (const WCHAR *p = path; *p; ++p)
        if (*p == L'\\' || *p == L'/')
            name = p + 1;
    for (INT32 i = 0; i < g_appCount; ++i) {
        const AppEntry *app = g_apps[i];
        // An empty name would match every process.
        if (app && app->exename && app->exename[0] && lstrcmpiW(name, app->exename) == 0)
            return true;
    }
    return false;
}

struct CloseRequest {
    const DWORD *ids;
    size_t count;
    std::vector<bool> asked;  // per id: a window of it was asked to close
};

// Asks every visible top-level window of the processes to close.
BOOL CALLBACK AskWindowToClose(HWND window, LPARAM param)
{
    CloseRequest *request = reinterpret_cast<CloseRequest *>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    for (size_t i = 0; i < request->count; ++i)
        if (request->ids[i] == owner && IsWindowVisible(window) && !GetWindow(window, GW_OWNER)) {
            if (PostMessageW(window, WM_CLOSE, 0, 0))
                request->asked[i] = true;
            break;
        }
    return TRUE;
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
    std::vector<DWORD> traced;
    std::vector<HANDLE> processes;
    for (DWORD i = 0; i < bytes / sizeof(DWORD); ++i) {
        if (ids[i] == 0 || ids[i] == self)
            continue;
        HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ | PROCESS_TERMINATE | SYNCHRONIZE,
                                     FALSE, ids[i]);
        if (!process)
            continue;
        WCHAR path[MAX_PATH];
        if (GetModuleFileNameExW(process, nullptr, path, MAX_PATH) && IsTracedExecutable(path)) {
            traced.push_back(ids[i]);
            processes.push_back(process);
        } else {
            CloseHandle(process);
        }
    }
    // First the polite way: each application closes its windows itself and
    // may save its documents; only what is still running afterwards is ended.
    // A process without a window to ask is ended at once.
    CloseRequest request = {traced.data(), traced.size(), std::vector<bool>(traced.size(), false)};
    if (!traced.empty())
        EnumWindows(AskWindowToClose, reinterpret_cast<LPARAM>(&request));
    DWORD start = GetTickCount();
    for (size_t i = 0; i < processes.size(); ++i) {
        DWORD spent = GetTickCount() - start;
        DWORD left = request.asked[i] && spent < kCloseWaitMs ? kCloseWaitMs - spent : 0;
        if (WaitForSingleObject(processes[i], left) != WAIT_OBJECT_0)
            TerminateProcess(processes[i], 0);
        CloseHandle(processes[i]);
    }
    return TRUE;
}
