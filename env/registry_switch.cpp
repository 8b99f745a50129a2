// The registry step of a switch: the mode marker, the listed registry items
// swapped through the switch database on the virtual disk, and the
// Converting dialog that shows the progress.
#include "env/privacy_env.h"

#include <commctrl.h>
#include <sqlite3.h>

#include "Mount/language.h"
#include "Mount/msgbox.h"
#include "common/token_privileges.h"
#include "Mount/resource.h"
#include "env/item_journal.h"
#include "env/mode_marker.h"
#include "env/staging_keys.h"
#include "env/trace_db.h"
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
static void ShowConvertingDialog(HWND owner, int itemCount)
{
    // The switch pumps no messages: an owner of another thread would wait
    // on this one (and this one on it) when the dialog is activated.
    if (owner && GetWindowThreadProcessId(owner, nullptr) != GetCurrentThreadId())
        owner = nullptr;
    if (!g_hConvertingDlg)
        g_hConvertingDlg = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_MOUNT_DLG), owner,
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

// The hive file's name at the root of the virtual disk: hives hold a mode's
// registry contents and never touch the real disk. One name, so that a hive
// kept by a failed store is replaced by the next one.
static bool HiveFileOnDrive(WCHAR *hive)
{
    if (!g_redirectionDrive[0])
        return false;
    wsprintfW(hive, L"%c:\\switch.hiv", g_redirectionDrive[0]);
    DeleteFileW(hive);  // the hive calls want a new file
    return true;
}

// True when the switch database takes writes now (not read-only, not
// locked): a switch that could not store what it moves does not start.
static bool SwitchDatabaseWritable(void)
{
    if (sqlite3_exec(g_traceDb, "begin immediate", nullptr, nullptr, nullptr) != SQLITE_OK)
        return false;
    return sqlite3_exec(g_traceDb, "commit", nullptr, nullptr, nullptr) == SQLITE_OK;
}

static void EndSwitch(void)
{
    SetPrivilege(L"SeRestorePrivilege", FALSE);
    SetPrivilege(L"SeBackupPrivilege", FALSE);
    CloseSwitchDatabase();
}

// Stores the leaving staging key of a switch that did not store it (its
// mode, or 0 when there was none), so that nothing of it is lost before the
// switch goes on from staging keys loaded afresh.
static LONG StoreUnstoredSwitch(const WCHAR *hive, DWORD *unstored)
{
    *unstored = ReadUnstoredSwitch();
    if (!*unstored)
        return ERROR_SUCCESS;
    // A staging key that holds nothing (gone, or never filled) must not
    // replace what the database holds.
    if (StagingKeyHoldsData(static_cast<int>(*unstored))) {
        LONG rc = StoreStagingKey(static_cast<int>(*unstored), hive);
        if (rc != ERROR_SUCCESS)
            return rc;
    }
    DeleteStagingKeys();
    OpenStagingKeys();
    return ERROR_SUCCESS;
}

// The end of a switch that stopped before its items moved: the stored
// contents stay in the database. The staging keys go unless they wait to be
// stored (keep).
static int AbandonSwitch(LONG rc, bool keep)
{
    if (keep)
        CloseStagingKeys();
    else
        DeleteStagingKeys();
    EndSwitch();
    ShowRegistryError(rc);
    return 0;
}

// One run of the item loop in this mode. A fresh switch first notes every
// item it will move; a switch that was cut off (fresh false) goes on with
// the items its notes still name. Then the record of the unstored switch,
// the marker (entering), the items, the store of the leaving staging key,
// the marker (leaving). 0 after a failure that was shown.
static int RunSwitch(int mode, bool fresh, HWND owner, const WCHAR *hive)
{
    LONG rc = RestoreStagingKey(mode, hive);
    if (rc == ERROR_SUCCESS)
        rc = PreloadLeavingStagingKey(mode, hive);
    // Until the record below is written, a cut-off switch is a fresh one
    // again for whoever runs next: the notes go first.
    if (rc == ERROR_SUCCESS && fresh)
        rc = NoteItemsToMove(mode);
    // The leaving contents were stored before this run loaded them.
    if (rc != ERROR_SUCCESS)
        return AbandonSwitch(rc, false);
    // From here the leaving staging key holds the only copy of what moves
    // until it is stored, and the notes say which items moved.
    rc = WriteUnstoredSwitch(static_cast<DWORD>(mode));
    if (rc == ERROR_SUCCESS && mode == 1)
        rc = WriteModeMarker(L"inPrivate");
    if (rc != ERROR_SUCCESS) {
        // A fresh switch has moved nothing (its notes say so) and goes back
        // to where it started; one that goes on stays cut off.
        bool keep = true;
        if (fresh) {
            if (mode == 1)
                WriteModeMarker(L"inpublic");
            keep = WriteUnstoredSwitch(0) != ERROR_SUCCESS;
        }
        return AbandonSwitch(rc, keep);
    }

    ShowConvertingDialog(owner, g_regItemCount);
    for (INT32 i = 0; i < g_regItemCount; ++i) {
        if (SwapRegistryItem(g_regItems[i], mode)) {
            OutputDebugStringW(L".");
            ShowConvertingProgress(i);
        }
    }
    CloseConvertingDialog();

    int done = 1;
    // The staging keys go only once the record of the unstored switch is
    // gone: until then the next switch stores them again.
    if ((rc = StoreStagingKey(mode, hive)) == ERROR_SUCCESS && (rc = WriteUnstoredSwitch(0)) == ERROR_SUCCESS) {
        DeleteStagingKeys();
        OpenStagingKeys();
    } else {
        // The staging keys and the hive stay; the next switch stores them.
        CloseStagingKeys();
        ShowRegistryError(rc);
        done = 0;
    }
    if (mode == 2) {
        if ((rc = WriteModeMarker(L"inpublic")) != ERROR_SUCCESS) {
            ShowRegistryError(rc);
            done = 0;
        }
        EmptyClipboardContents();
    }
    if (!done)
        EndSwitch();
    return done;
}

// True when the marker says the items are in the state this mode switches
// to already.
static bool SwitchedAlready(int mode) { return (ReadModeMarkerIsPrivate() != 0) == (mode == 1); }

int SwitchRegistryState(int mode, HWND owner)
{
    // Each direction runs once: entering only from normal mode, leaving only
    // from privacy mode, however often the session flows ask. A switch that
    // was cut off is finished first, whichever direction is asked.
    if (!ReadUnstoredSwitch() && SwitchedAlready(mode))
        return 1;

    SetPrivilege(L"SeRestorePrivilege", TRUE);
    SetPrivilege(L"SeBackupPrivilege", TRUE);

    // Everything the switch needs is opened before the marker and the
    // items change. Staging keys left by a switch that was cut off before
    // anything moved (or after it was stored) hold nothing to keep.
    if (!ReadUnstoredSwitch())
        DeleteStagingKeys();
    OpenStagingKeys();
    if (OpenSwitchDatabase(g_redirectionDrive) != SQLITE_OK) {
        CloseStagingKeys();
        EndSwitch();
        ShowRegistryError(ERROR_OPEN_FAILED);
        return 0;
    }
    if (!SwitchDatabaseWritable()) {
        CloseStagingKeys();
        EndSwitch();
        ShowRegistryError(ERROR_WRITE_PROTECT);
        return 0;
    }
    WCHAR hive[MAX_PATH];
    if (!HiveFileOnDrive(hive)) {
        DWORD error = GetLastError();
        CloseStagingKeys();
        EndSwitch();
        ShowRegistryError(error ? error : ERROR_PATH_NOT_FOUND);
        return 0;
    }
    // A store that failed before keeps its staging key until it succeeds;
    // until then no switch starts. A switch cut off in its item loop goes
    // on where it stopped.
    DWORD unstored = 0;
    LONG rc = StoreUnstoredSwitch(hive, &unstored);
    if (rc != ERROR_SUCCESS)
        return AbandonSwitch(rc, true);
    int done = 1;
    if (unstored)
        done = RunSwitch(static_cast<int>(unstored), false, owner, hive);
    if (done && !SwitchedAlready(mode))
        done = RunSwitch(mode, true, owner, hive);
    if (!done)
        return 0;  // ended and shown by the run
    DeleteStagingKeys();
    EndSwitch();
    return 1;
}
