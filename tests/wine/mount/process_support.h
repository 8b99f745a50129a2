// Stand-ins for named processes: a copy of Wine's notepad under another
// file name shows that name in the process list.
#pragma once
#include <windows.h>

// Starts a copy of Wine's notepad under the given file name in a scratch
// folder; the process list then shows that name. quiet: its standard
// handles (and those of any process Wine starts for it) lead nowhere.
inline HANDLE StartNamedProcess(const WCHAR *folder, const WCHAR *name, BOOL quiet = FALSE)
{
    WCHAR system[MAX_PATH], source[MAX_PATH], target[MAX_PATH];
    GetSystemDirectoryW(system, MAX_PATH);
    wsprintfW(source, L"%s\\notepad.exe", system);
    wsprintfW(target, L"%s\\%s", folder, name);
    if (!CopyFileW(source, target, FALSE))
        return nullptr;
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESHOWWINDOW | (quiet ? STARTF_USESTDHANDLES : 0);
    si.wShowWindow = SW_HIDE;
    HANDLE sink = INVALID_HANDLE_VALUE;
    if (quiet) {
        // Wine hands a child's standard handles down as its Unix descriptors:
        // a file here keeps the parent's (ctest's pipe) away from it.
        SECURITY_ATTRIBUTES sa = {sizeof(sa), nullptr, TRUE};
        WCHAR log[MAX_PATH];
        wsprintfW(log, L"%s\\%s.log", folder, name);
        sink = CreateFileW(log, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa, CREATE_ALWAYS, 0, nullptr);
        si.hStdInput = si.hStdOutput = si.hStdError = sink;
    }
    PROCESS_INFORMATION pi = {};
    BOOL started = CreateProcessW(target, nullptr, nullptr, nullptr, quiet, 0, nullptr, nullptr, &si, &pi);
    if (sink != INVALID_HANDLE_VALUE)
        CloseHandle(sink);
    if (!started)
        return nullptr;
    CloseHandle(pi.hThread);
    WaitForInputIdle(pi.hProcess, 5000);
    return pi.hProcess;
}
