// Logoff: switch the environment back first (file redirection stops with
// it), then dismount every volume of the driver, retrying while files are
// open, and restart the shell on the normal environment.
#include "logoff.h"

#include <dbt.h>
#include <shlwapi.h>

#include "app_state.h"
#include "dialog_look.h"
#include "language.h"
#include "msgbox.h"
#include "privileges.h"
#include "processes.h"
#include "session_flows.h"
#include "volume/mount.h"
#include "volume/driver_control.h"
#include "tray_icon.h"
#include "env/privacy_env.h"
#include "volume/driver_seam.h"

namespace {

struct ExplorerSearch {
    char root[4];
    BOOL closed;
    HWND current;
    BOOL childMatched;
};

// Explorer's folder windows: "CabinetWClass" on Windows, "ExplorerWClass"
// for Wine's explorer.
bool IsExplorerFolderWindow(HWND hwnd)
{
    char cls[260] = {};
    GetClassNameA(hwnd, cls, sizeof(cls));
    return lstrcmpA(cls, "CabinetWClass") == 0 || lstrcmpA(cls, "ExplorerWClass") == 0;
}

BOOL CALLBACK MatchChild(HWND child, LPARAM param)
{
    ExplorerSearch *s = reinterpret_cast<ExplorerSearch *>(param);
    char text[261] = {};
    GetWindowTextA(child, text, 260);
    if (StrStrIA(text, s->root)) {
        s->childMatched = TRUE;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK MatchTopLevel(HWND hwnd, LPARAM param)
{
    ExplorerSearch *s = reinterpret_cast<ExplorerSearch *>(param);
    if (!IsExplorerFolderWindow(hwnd))
        return TRUE;
    char title[260] = {};
    GetWindowTextA(hwnd, title, sizeof(title));
    if (StrStrIA(title, s->root)) {
        PostMessageW(hwnd, WM_CLOSE, 0, 0);
        s->closed = TRUE;
        return TRUE;
    }
    s->childMatched = FALSE;
    EnumChildWindows(hwnd, MatchChild, param);
    if (s->childMatched) {
        PostMessageW(hwnd, WM_CLOSE, 0, 0);
        s->closed = TRUE;
    }
    return TRUE;
}

DWORD MountedDriveMask(void)
{
    QdskMountedList *list =
        static_cast<QdskMountedList *>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(QdskMountedList)));
    if (!list)
        return 0;
    ListMountedVolumes(list);
    DWORD mask = list->DriveMask;
    HeapFree(GetProcessHeap(), 0, list);
    return mask;
}

BOOL SendDismountAll(QdskDismountRequest *req)
{
    if (DriverHandle == INVALID_HANDLE_VALUE) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    DWORD returned = 0;
    return QdskControl(DriverHandle, IOCTL_QDSK_DISMOUNT_ALL, req, sizeof(*req), req, sizeof(*req), &returned);
}

}  // namespace

int CloseDriveExplorerWindows(HWND, int drive)
{
    ExplorerSearch s = {};
    s.root[0] = static_cast<char>('A' + drive);
    s.root[1] = ':';
    s.root[2] = '\\';
    EnumWindows(MatchTopLevel, reinterpret_cast<LPARAM>(&s));
    return s.closed ? 1 : 0;
}

int Logoff(HWND owner, BOOL force, BOOL interactive, int attempts, DWORD delayMs)
{
    int status = 1;
    int result = 0;
    for (;;) {
        ShowWaitCursor();
        DWORD mask = MountedDriveMask();
        if (mask == 0) {
            // A privacy drive that went away on its own: what lives outside
            // it still goes back.
            LeaveVanishedDrive(0);
            ShowNormalCursor();
            return 1;
        }
        LeavePrivacyEnvironment(owner ? owner : g_hMainWnd);
        BroadcastDriveChange(DBT_DEVICEQUERYREMOVE, 0, mask);
        DWORD previous = mask;
        int lowest = 0;
        while (!(mask & (1u << lowest)))
            ++lowest;
        CloseDriveExplorerWindows(owner, lowest);

        // One budget of attempts for the whole call: a later pass makes one
        // request once it is spent.
        QdskDismountRequest req = {};
        for (;;) {
            req.DriveNumber = 0;
            req.ForceDismount = force ? 1 : 0;
            req.ResultCode = 0;
            if (!SendDismountAll(&req)) {
                DWORD error = GetLastError();
                ShowNormalCursor();
                SetLastError(error);
                ShowLastWindowsError(owner);
                return 0;
            }
            if (req.ResultCode != 6)
                break;
            Sleep(delayMs);
            if (--attempts <= 0)
                break;
        }
        result = req.ResultCode;

        // Announce only the drives that went away (none: nothing to say).
        DWORD gone = previous & ~MountedDriveMask();
        if (gone)
            BroadcastDriveChange(DBT_DEVICEREMOVECOMPLETE, 0, gone);
        ShowNormalCursor();
        if (result == 0)
            break;

        if (force)
            status = 0;
        if (result == 6) {
            if (interactive && AskWarningNoYes(GetString("FILEUSED")) == IDYES) {
                force = TRUE;
                continue;
            }
            return 0;
        }
        ShowError(GetString("UNMOUNDFAIL"));
        return status;
    }

    EnableDebugPrivilege();
    EndExplorerProcesses();
    StartExplorer();
    StartTrayIconThread(ShowNormalTrayIcon, owner ? owner : g_hMainWnd);
    return status;
}

int UserLogoff(HWND owner)
{
    // The dismount is tried without force first (its retries give the
    // drive's Explorer windows time to close). When a program still has a
    // file open on the drive the user is asked whether to force it: a
    // forced dismount takes the file away from that program, and what it
    // had not written yet is lost. "No" keeps the volume mounted (the
    // environment is back in normal mode already) and the next logoff tries
    // again.
    return Logoff(owner, FALSE, TRUE, 10, 50);
}
