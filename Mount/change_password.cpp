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

static const WCHAR *W(const char16_t *s) { return reinterpret_cast<const WCHAR *>(s); }

static const int kPasswordEdits[] = {IDC_OLD_PASSWORD, IDC_PASSWORD, IDC_VERIFY};

int CheckCapsLock(HWND hwnd, BOOL quiet)
{
    if (!(GetKeyState(VK_CAPITAL) & 1))
        return 0;
    if (!quiet && !SilentMode)
        MessageBoxW(hwnd, W(u"警告：Caps Lock 已开启。 这可能导致您输入密码错误。"), g_szProgramTitle,
                    MB_ICONWARNING);
    return 1;
}

// OK only with an old password, a new one, and the same new one again.
static void UpdateOkButton(HWND dialog)
{
    char old[QDSK_MAX_PASSWORD + 1], fresh[QDSK_MAX_PASSWORD + 1], verify[QDSK_MAX_PASSWORD + 1];
    GetDlgItemTextA(dialog, IDC_OLD_PASSWORD, old, sizeof(old));
    GetDlgItemTextA(dialog, IDC_PASSWORD, fresh, sizeof(fresh));
    GetDlgItemTextA(dialog, IDC_VERIFY, verify, sizeof(verify));
    BOOL enable = old[0] && fresh[0] && lstrcmpA(fresh, verify) == 0;
    EnableWindow(GetDlgItem(dialog, IDOK), enable);
    WipeMemory(old, sizeof(old));
    WipeMemory(fresh, sizeof(fresh));
    WipeMemory(verify, sizeof(verify));
}

static void OverwriteEdits(HWND dialog)
{
    for (int id : kPasswordEdits)
        OverwritePasswordEdit(GetDlgItem(dialog, id));
}

static void ReadPassword(HWND dialog, int id, QdskPassword *record)
{
    char *bytes = reinterpret_cast<char *>(record->Bytes);
    GetDlgItemTextA(dialog, id, bytes, QDSK_MAX_PASSWORD + 1);
    record->ByteCount = static_cast<uint32_t>(lstrlenA(bytes));
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
    ReadPassword(dialog, IDC_OLD_PASSWORD, oldPassword);
    ReadPassword(dialog, IDC_PASSWORD, newPassword);
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
