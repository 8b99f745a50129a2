#include "processes.h"

#include <psapi.h>
#include <shlwapi.h>

// Calls visit(process handle, executable path) for every process that can be
// opened; stops when visit returns FALSE.
template <typename Visit>
static void ForEachProcess(Visit visit)
{
    DWORD ids[1024];
    DWORD bytes = 0;
    if (!EnumProcesses(ids, sizeof(ids), &bytes))
        return;
    DWORD count = bytes / sizeof(DWORD);
    for (DWORD i = 0; i < count; ++i) {
        if (ids[i] == 0)
            continue;
        HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ | PROCESS_TERMINATE, FALSE, ids[i]);
        if (!process)
            continue;
        WCHAR path[MAX_PATH] = L"";
        BOOL goOn = TRUE;
        if (GetModuleFileNameExW(process, nullptr, path, MAX_PATH))
            goOn = visit(process, path);
        CloseHandle(process);
        if (!goOn)
            return;
    }
}

// The process that draws the desktop itself. Under Wine that is an
// explorer.exe too, but not the user's shell: ending it would take the
// desktop and the notification area from every program of the session, and
// the one that next opens a window would start it again with its own
// standard handles. On Windows the desktop window belongs to the system.
static BOOL IsWineDesktopProcess(HANDLE process)
{
#ifdef __WINE__
    DWORD desktop = 0;
    GetWindowThreadProcessId(GetDesktopWindow(), &desktop);
    return desktop && GetProcessId(process) == desktop;
#else
    (void)process;
    return FALSE;
#endif
}

void EndExplorerProcesses(void)
{
    ForEachProcess([](HANDLE process, const WCHAR *path) {
        if (StrRStrIW(path, nullptr, L"explorer.exe") && !IsWineDesktopProcess(process))
            TerminateProcess(process, 0);
        return TRUE;
    });
}

// Whether a shell still runs after EndExplorerProcesses. Under Wine the
// desktop process is the shell and is never ended: "explorer.exe" started
// beside it would only open a folder window on the desktop, once at every
// login and logoff. On Windows the shell was ended and must come back.
static BOOL ShellStillRuns(void)
{
#ifdef __WINE__
    DWORD desktop = 0;
    GetWindowThreadProcessId(GetDesktopWindow(), &desktop);
    HANDLE process = desktop ? OpenProcess(SYNCHRONIZE, FALSE, desktop) : nullptr;
    if (!process)
        return FALSE;
    BOOL running = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    CloseHandle(process);
    return running;
#else
    return FALSE;
#endif
}

void StartExplorer(void)
{
    if (ShellStillRuns())
        return;
    WCHAR commandLine[] = L"explorer.exe";
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessW(nullptr, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return;
    WaitForInputIdle(pi.hProcess, 1000);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
}

void WarnAboutSecuritySoftware(HWND owner)
{
    BOOL found = FALSE;
    ForEachProcess([&found](HANDLE, const WCHAR *path) {
        if (StrRStrIW(path, nullptr, L"360Safe.exe") || StrRStrIW(path, nullptr, L"360tray.exe")) {
            found = TRUE;
            return FALSE;
        }
        return TRUE;
    });
    if (found)
        MessageBoxW(owner,
                    L"Veilguard检测到360安全卫士正在运行，由于360安全卫士的错误诊断会导致Veilguard不能正常工作，"
                    L"建议您先退出360安全卫士或者关闭它的防火墙功能再继续。",
                    L"提示", MB_ICONEXCLAMATION);
}
