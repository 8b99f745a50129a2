// The clean-trace dialog. Scans run on a thread of their own and report
// into the list; cleaning runs on the dialog's thread. The file walker keeps
// its path in one process-wide buffer, so only one scan or cleaning runs at
// a time.
#include "clean/clean_dialog.h"

#include <commctrl.h>

#include "Mount/language.h"
#include "Mount/msgbox_ask.h"
#include "Mount/resource.h"
#include "clean/app_list.h"
#include "clean/clean_ops.h"
#include "volume/driver_control.h"

namespace {

volatile LONG g_scanRunning;
HANDLE g_scanThread;

void SetScanButtons(HWND dialog, BOOL enable)
{
    EnableWindow(GetDlgItem(dialog, ID_CLEAN), enable);
    EnableWindow(GetDlgItem(dialog, IDC_REFRESH), enable);
}

DWORD WINAPI ScanTracesThread(LPVOID param)
{
    HWND dialog = static_cast<HWND>(param);
    RecycleBinInfo *bin = GetRecycleBinInfo();
    FillAppList();
    HWND progress = GetDlgItem(dialog, IDC_PROGRESS);
    HWND text = GetDlgItem(dialog, IDC_PATH);
    ShowWindow(progress, SW_SHOW);
    ScanRegistryTraces(progress, text);
    ScanFileTraces(progress, text);
    if (!g_cleanAbort)
        bin->Query();
    ShowWindow(progress, SW_HIDE);
    SetWindowTextW(text, L"");
    SetScanButtons(dialog, TRUE);
    EnableWindow(GetDlgItem(dialog, IDCANCEL), TRUE);
    InterlockedExchange(&g_scanRunning, 0);
    return 0;
}

// Starts a scan unless one runs. The previous scan's thread has ended by
// then; its handle is released here.
void StartScan(HWND dialog)
{
    if (InterlockedCompareExchange(&g_scanRunning, 1, 0) != 0)
        return;
    if (g_scanThread) {
        WaitForSingleObject(g_scanThread, INFINITE);
        CloseHandle(g_scanThread);
        g_scanThread = nullptr;
    }
    SetScanButtons(dialog, FALSE);
    g_scanThread = CreateThread(nullptr, 0, ScanTracesThread, dialog, 0, nullptr);
    if (!g_scanThread) {
        InterlockedExchange(&g_scanRunning, 0);
        SetScanButtons(dialog, TRUE);
        EnableWindow(GetDlgItem(dialog, IDCANCEL), TRUE);
    }
}

// Waits for the scan thread to end, serving this thread's messages meanwhile
// (the scan sends its list updates to windows of this thread).
void EndScanThread(void)
{
    if (!g_scanThread)
        return;
    while (MsgWaitForMultipleObjects(1, &g_scanThread, FALSE, INFINITE, QS_ALLINPUT) == WAIT_OBJECT_0 + 1) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    CloseHandle(g_scanThread);
    g_scanThread = nullptr;
}

void Clean(HWND dialog)
{
    if (g_scanRunning)
        return;
    EnableWindow(GetDlgItem(dialog, ID_CLEAN), FALSE);
    EnableWindow(GetDlgItem(dialog, IDC_REFRESH), FALSE);
    CollectSelection();
    HWND progress = GetDlgItem(dialog, IDC_PROGRESS);
    HWND text = GetDlgItem(dialog, IDC_PATH);
    ShowWindow(progress, SW_SHOW);
    CleanRegistryTraces(progress, text);
    CleanFileTraces(progress, text);
    if (IsRecycleBinSelected())
        GetRecycleBinInfo()->Empty();
    ShowWindow(progress, SW_HIDE);
    SetWindowTextW(text, L"");
    EnableWindow(GetDlgItem(dialog, ID_CLEAN), TRUE);
    EnableWindow(GetDlgItem(dialog, IDC_REFRESH), TRUE);
    // Files left for deletion at restart: offer the restart, in normal mode
    // only (privacy-mode traces live on the virtual disk, which the logoff
    // hides anyway). Nothing is mounted then, so there is nothing to dismount
    // before the restart.
    if (!AnyVolumeMounted() && pendingDeleteCount > 0 &&
        AskWithCaption(nullptr, GetString("NEEDRESTART"), GetString("INFORMATION"), MB_YESNO | MB_ICONQUESTION) ==
            IDYES)
        RestartWindows(true);
}

void InitDialog(HWND dialog)
{
    SetDlgItemTextW(dialog, IDC_CLEANTIPS, GetString(AnyVolumeMounted() ? "PRIVACYHELP" : "NORMALHELP"));
    g_appList.Attach(GetDlgItem(dialog, IDC_LISTAPP));
    g_appList.InsertColumn(GetString("APPNAME"), 240);
    g_appList.InsertColumn(GetString("NUMBER"), 100);
    g_appList.InsertColumn(GetString("SIZE"), 100);
    g_appList.InsertColumn(GetString("APPDETAIL"), 500);
    g_appList.InsertColumn(L"i", 1);
    StartScan(dialog);
    LocalizeDialog(dialog, "IDD_APPLIST");
}

} // namespace

BOOL IsTraceScanRunning(void)
{
    return g_scanRunning != 0;
}

INT_PTR CALLBACK CleanTraceDialog(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_INITDIALOG:
        InitDialog(hwnd);
        return TRUE;
    case WM_CLOSE:
        // A running scan is told to stop; ShowCleanTraceDialog waits for it.
        InterlockedExchange(&g_cleanAbort, 1);
        EndDialog(hwnd, 1);
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDCANCEL:
            InterlockedExchange(&g_cleanAbort, 1);
            EndDialog(hwnd, 1);
            return TRUE;
        case IDC_REFRESH:
            if (!g_scanRunning) {
                g_appList.DeleteAllRows();
                StartScan(hwnd);
            }
            return TRUE;
        case ID_CLEAN:
            Clean(hwnd);
            return TRUE;
        }
        break;
    }
    return FALSE;
}

void ShowCleanTraceDialog(void)
{
    InterlockedExchange(&g_cleanAbort, 0);
    DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_APPLIST), nullptr, CleanTraceDialog, 0);
    EndScanThread();
    g_appList.Attach(nullptr);
    InterlockedExchange(&g_cleanAbort, 0);
}

#ifndef EWX_FORCEIFHUNG
#define EWX_FORCEIFHUNG 0x00000010
#endif

bool RestartWindows(bool reboot)
{
    HANDLE token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token))
        return false;
    TOKEN_PRIVILEGES privileges = {};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    BOOL found = LookupPrivilegeValueW(nullptr, L"SeShutdownPrivilege", &privileges.Privileges[0].Luid);
    SetLastError(ERROR_SUCCESS);
    if (found)
        AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr);
    DWORD error = found ? GetLastError() : ERROR_NO_SUCH_PRIVILEGE;
    CloseHandle(token);
    if (error != ERROR_SUCCESS)
        return false;
    // Applications that answer are asked to close and may save their work;
    // only hung ones are ended.
    return ExitWindowsEx((reboot ? EWX_REBOOT : EWX_SHUTDOWN) | EWX_FORCEIFHUNG, 0x80020000) != 0;
}
