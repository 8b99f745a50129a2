// The registry step of a switch: the mode marker, the listed registry items
// swapped through the switch database on the virtual disk, and the
// Converting dialog that shows the progress.
#include "env/privacy_env.h"

#include <commctrl.h>
#include <sqlite3.h>
#include <stdlib.h>

#include "Mount/app_state.h"
#include "Mount/language.h"
#include "Mount/msgbox.h"
#include "common/token_privileges.h"
#include "Mount/resource.h"
#include "env/mode_marker.h"
#include "env/reg_store.h"
#include "redirect/redirect_rules.h"

HWND g_hConvertingDlg;

static INT_PTR CALLBACK ConvertingDlgProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_INITDIALOG:
        LocalizeDialog(dialog, "IDD_MOUNT_DLG");
        return TRUE;
    case WM_CLOSE:
        ShowWindow(dialog, SW_HIDE);
        return TRUE;
    case WM_CTLCOLORSTATIC:
        if (GetDlgCtrlID(reinterpret_cast<HWND>(lParam)) == IDC_CONVERTING) {
            HDC dc = reinterpret_cast<HDC>(wParam);
            SetBkMode(dc, TRANSPARENT);
            SetTextColor(dc, RGB(255, 0, 0));
            return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_BTNFACE));
        }
        return FALSE;
    }
    return FALSE;
}

// The switch runs no message loop: the dialog is painted when it appears and
// the bar whenever it moves.
static void ShowConvertingDialog(int itemCount)
{
    if (!g_hConvertingDlg)
        g_hConvertingDlg = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_MOUNT_DLG), g_hMainWnd,
                                              ConvertingDlgProc, 0);
    if (!g_hConvertingDlg)
        return;
    SendDlgItemMessageW(g_hConvertingDlg, IDC_PCONVERTING, PBM_SETRANGE, 0, MAKELPARAM(1, itemCount));
    RedrawWindow(g_hConvertingDlg, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

static void ShowConvertingProgress(int position)
{
    if (!g_hConvertingDlg)
        return;
    HWND bar = GetDlgItem(g_hConvertingDlg, IDC_PCONVERTING);
    SendMessageW(bar, PBM_SETPOS, position, 0);
    UpdateWindow(bar);
}

static void CloseConvertingDialog(void)
{
    if (g_hConvertingDlg)
        DestroyWindow(g_hConvertingDlg);
    g_hConvertingDlg = nullptr;
}

static void EmptyClipboardContents(void)
{
    if (OpenClipboard(nullptr)) {
        EmptyClipboard();
        CloseClipboard();
    }
}

static void CloseSwitchDatabase(void)
{
    if (g_traceDb && sqlite3_close(g_traceDb) != SQLITE_OK)
        OutputDebugStringW(L"sqlite3_close: Can't close db.");
    g_traceDb = nullptr;
}

void SwitchRegistryState(int mode)
{
    SetPrivilege(L"SeRestorePrivilege", TRUE);
    SetPrivilege(L"SeBackupPrivilege", TRUE);

    // The marker is set before any item moves; when it is set already, the
    // items are in their privacy-mode state.
    if (mode == 1) {
        if (ReadModeMarkerIsPrivate())
            return;
        WriteModeMarker(L"inPrivate");
    }

    OpenStagingKeys();
    if (OpenSwitchDatabase(g_redirectionDrive) != SQLITE_OK) {
        CloseStagingKeys();
        return;
    }

    WCHAR tempFolder[MAX_PATH], hive[MAX_PATH];
    if (!GetTempPathW(MAX_PATH, tempFolder) || !GetTempFileNameW(tempFolder, L"REG", 0, hive)) {
        ShowRegistryError(0);
        exit(1);
    }
    DeleteFileW(hive);  // the hive calls want a new file

    RestoreStagingKey(mode, hive);
    ShowConvertingDialog(g_regItemCount);
    for (INT32 i = 0; i < g_regItemCount; ++i) {
        if (SwapRegistryItem(g_regItems[i], mode)) {
            OutputDebugStringW(L".");
            ShowConvertingProgress(i);
        }
    }
    CloseConvertingDialog();
    StoreStagingKey(mode, hive);
    DeleteStagingKeys();

    SetPrivilege(L"SeRestorePrivilege", FALSE);
    SetPrivilege(L"SeBackupPrivilege", FALSE);
    CloseSwitchDatabase();

    if (mode == 2) {
        WriteModeMarker(L"inpublic");
        EmptyClipboardContents();
    }
}
