// The Change Password command: only with the container not mounted, a
// dialog for the old password and the new one (typed twice), and the header
// rewrite on the closed container.
#include <windows.h>

#include "app_state.h"
#include "dialog_look.h"
#include "language.h"
#include "main_window.h"
#include "msgbox.h"
#include "password_dialog.h"
#include "resource.h"
#include "session_flows.h"
#include "volume/mount.h"
#include "volume/driver_control.h"
#include "volume/password_change.h"

static const int kPasswordEdits[] = {IDC_OLD_PASSWORD, IDC_PASSWORD, IDC_VERIFY};

// OK only with an old password, a new one, and the same new one again.
static void UpdateOkButton(HWND dialog)
{
    // The three texts in one locked page, read as UTF-16 and compared
    // there, wiped at release.
    WCHAR *page = AcquirePasswordText();
    if (!page) {
        EnableWindow(GetDlgItem(dialog, IDOK), FALSE);
        return;
    }
    WCHAR *old = page, *fresh = page + 128, *verify = page + 256;
    int oldUnits = ReadPasswordEdit(GetDlgItem(dialog, IDC_OLD_PASSWORD), old);
    int freshUnits = ReadPasswordEdit(GetDlgItem(dialog, IDC_PASSWORD), fresh);
    int verifyUnits = ReadPasswordEdit(GetDlgItem(dialog, IDC_VERIFY), verify);
    BOOL enable = oldUnits > 0 && freshUnits > 0 && freshUnits == verifyUnits &&
                  memcmp(fresh, verify, freshUnits * sizeof(WCHAR)) == 0;
    EnableWindow(GetDlgItem(dialog, IDOK), enable);
    ReleasePasswordText(page);
}

static void OverwriteEdits(HWND dialog)
{
    for (int id : kPasswordEdits)
        OverwritePasswordEdit(GetDlgItem(dialog, id));
}

static void OnOk(HWND dialog)
{
    if (!CheckPasswordChars(GetDlgItem(dialog, IDC_PASSWORD), nullptr)) {
        ShowError(GetString("PASSWORD_BADCHAR"));
        return;
    }
    // The two records live in locked memory only for this call.
    QdskPassword *records = static_cast<QdskPassword *>(
        VirtualAlloc(nullptr, 2 * sizeof(QdskPassword), MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    if (!records) {
        ShowError(GetString("OUTOFMEMORY"));
        return;
    }
    VirtualLock(records, 2 * sizeof(QdskPassword));
    QdskPassword *oldPassword = &records[0], *newPassword = &records[1];
    ReadPasswordRecord(GetDlgItem(dialog, IDC_OLD_PASSWORD), oldPassword);
    ReadPasswordRecord(GetDlgItem(dialog, IDC_PASSWORD), newPassword);
    ShowWaitCursor();
    int result = ChangeVolumePassword(g_szContainerPath, oldPassword, newPassword, 0, dialog);
    ShowNormalCursor();
    WipeMemory(records, 2 * sizeof(QdskPassword));
    VirtualUnlock(records, 2 * sizeof(QdskPassword));
    VirtualFree(records, 0, MEM_RELEASE);
    if (result == 0) {
        OverwriteEdits(dialog);
        EndDialog(dialog, 1);
    }
}

static INT_PTR CALLBACK PasswordChangeDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM)
{
    switch (msg) {
    case WM_INITDIALOG:
        for (int id : kPasswordEdits)
            SendDlgItemMessageW(hwnd, id, EM_LIMITTEXT, QDSK_MAX_PASSWORD, 0);
        EnableWindow(GetDlgItem(hwnd, IDOK), FALSE);
        CheckCapsLock(hwnd, FALSE);
        LocalizeDialog(hwnd, "IDD_PASSWORDCHANGE_DLG");
        return TRUE;
    case WM_COMMAND:
        if (HIWORD(wParam) == EN_CHANGE) {
            UpdateOkButton(hwnd);
            return TRUE;
        }
        if (LOWORD(wParam) == IDOK) {
            OnOk(hwnd);
            return TRUE;
        }
        if (LOWORD(wParam) == IDCANCEL) {
            OverwriteEdits(hwnd);
            EndDialog(hwnd, 2);
            return TRUE;
        }
        return FALSE;
    case WM_DESTROY:
        // However the dialog ends, the edits keep nothing of the passwords.
        OverwriteEdits(hwnd);
        return FALSE;
    }
    return FALSE;
}

void ChangePassword(HWND owner)
{
    if (IsContainerMounted(g_szContainerPath)) {
        ShowWarning(GetString("LOGOFFBEFORECHANGEPASSWORD"));
        return;
    }
    if (DialogBoxParamW(g_hInst, MAKEINTRESOURCEW(IDD_PASSWORDCHANGE_DLG), owner, PasswordChangeDlgProc, 0) == 1)
        ShowInfo(GetString("CHANGESUCCESS"));
}
