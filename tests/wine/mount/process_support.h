// Stand-ins for named processes: a copy of Wine's notepad under another
// file name shows that name in the process list.
#pragma once
#include <windows.h>

// Starts a copy of Wine's notepad under the given file name in a scratch
// folder; the process list then shows that name.
inline HANDLE StartNamedProcess(const WCHAR *folder, const WCHAR *name)
{
    WCHAR system[MAX_PATH], source[MAX_PATH], target[MAX_PATH];
    GetSystemDirectoryW(system, MAX_PATH);
    wsprintfW(source, L"%s\\notepad.exe", system);
    wsprintfW(target, L"%s\\%s", folder, name);
    if (!CopyFileW(source, target, FALSE))
        return nullptr;
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessW(target, nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return nullptr;
    CloseHandle(pi.hThread);
    WaitForInputIdle(pi.hProcess, 5000);
    return pi.hProcess;
}
