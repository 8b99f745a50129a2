// The login password dialog: a tip, one password edit, OK and Cancel. The
// typed text goes straight into the caller's locked record; the edit is
// overwritten before the dialog closes.
#include "password_dialog.h"

#include <shlwapi.h>

#include "app_state.h"
#include "msgbox.h"
#include "language.h"
#include "resource.h"

static QdskPassword *s_dialogPassword;
static HFONT s_tipFont;

void OverwritePasswordEdit(HWND edit)
{
    char x[QDSK_MAX_PASSWORD + 1];
    FillMemory(x, QDSK_MAX_PASSWORD, 'X');
    x[QDSK_MAX_PASSWORD] = 0;
    // Select everything and replace it without an undo copy, so the old
    // text is neither kept for undo nor left behind in a larger buffer.
    SendMessageA(edit, EM_SETSEL, 0, -1);
    SendMessageA(edit, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(x));
    SetWindowTextA(edit, x);
    SendMessageA(edit, EM_EMPTYUNDOBUFFER, 0, 0);
}

static const SIZE_T kTextPage = 4096;

WCHAR *AcquirePasswordText(void)
{
    void *page = VirtualAlloc(nullptr, kTextPage, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (page)
        VirtualLock(page, kTextPage);
    return static_cast<WCHAR *>(page);
}

void ReleasePasswordText(WCHAR *page)
{
    if (!page)
        return;
    SecureZeroMemory(page, kTextPage);
    VirtualUnlock(page, kTextPage);
    VirtualFree(page, 0, MEM_RELEASE);
}

int ReadPasswordEdit(HWND edit, WCHAR *text)
{
    // A Unicode edit copies its text straight into the buffer: no copy of
    // it is left in a conversion buffer of the system.
    text[0] = 0;
    int units = GetWindowTextW(edit, text, QDSK_MAX_PASSWORD + 1);
    return units > 0 ? units : 0;
}

int ReadPasswordRecord(HWND edit, QdskPassword *record)
{
    record->ByteCount = 0;
    WCHAR *page = AcquirePasswordText();
    if (!page)
        return 0;
    WCHAR *text = page;
    char *ansi = reinterpret_cast<char *>(page + 128);  // 1792 bytes behind the text
    int units = ReadPasswordEdit(edit, text);
    int bytes = units ? WideCharToMultiByte(CP_ACP, 0, text, units, ansi, 1024, nullptr, nullptr) : 0;
    if (bytes > QDSK_MAX_PASSWORD)
        bytes = QDSK_MAX_PASSWORD;
    CopyMemory(record->Bytes, ansi, bytes);
    record->ByteCount = static_cast<uint32_t>(bytes);
    ReleasePasswordText(page);
    return bytes;
}

int CheckCapsLock(HWND hwnd, BOOL quiet)
{
    if (!(GetKeyState(VK_CAPITAL) & 1))
        return 0;
    if (!quiet && !SilentMode)
        MessageBoxW(hwnd, reinterpret_cast<const WCHAR *>(u"警告：Caps Lock 已开启。 这可能导致您输入密码错误。"),
                    g_szProgramTitle, MB_ICONWARNING);
    return 1;
}

int CheckPasswordChars(HWND edit, const QdskPassword *password)
{
    if (edit) {
        if (GetWindowTextLengthW(edit) > QDSK_MAX_PASSWORD)
            return 0;
        WCHAR *text = AcquirePasswordText();
        if (!text)
            return 0;
        int n = ReadPasswordEdit(edit, text);
        int ok = 1;
        for (int i = 0; i < n; ++i)
            if (text[i] < 32 || text[i] > 126)
                ok = 0;
        ReleasePasswordText(text);
        return ok;
    }
    if (!password || password->ByteCount > QDSK_MAX_PASSWORD)
        return 0;
    for (uint32_t i = 0; i < password->ByteCount; ++i)
        if (password->Bytes[i] < 32 || password->Bytes[i] > 126)
            return 0;
    return 1;
}

static void MakeTipFont(HWND dialog)
{
    HWND tip = GetDlgItem(dialog, IDC_PROTIPS);
    HFONT current = reinterpret_cast<HFONT>(SendMessageW(tip, WM_GETFONT, 0, 0));
    LOGFONTW lf = {};
    if (!current || !GetObjectW(current, sizeof(lf), &lf))
        GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof(lf), &lf);
    lf.lfHeight = 12;
    lf.lfWeight = FW_BOLD;
    lf.lfCharSet = GB2312_CHARSET;
    lstrcpynW(lf.lfFaceName, L"\x4eff\x5b8b\x4f53", LF_FACESIZE);  // 仿宋体
    if (s_tipFont)
        DeleteObject(s_tipFont);
    s_tipFont = CreateFontIndirectW(&lf);
    if (s_tipFont)
        SendMessageW(tip, WM_SETFONT, reinterpret_cast<WPARAM>(s_tipFont), TRUE);
}

static INT_PTR CALLBACK PasswordDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_INITDIALOG: {
        WCHAR tip[1024];
        wnsprintfW(tip, ARRAYSIZE(tip), GetString("TIP_LOGIN"), L"");
        SetDlgItemTextW(hwnd, IDC_PROTIPS, tip);
        ShowWindow(GetDlgItem(hwnd, IDC_CHECKCLOSE), SW_HIDE);
        s_dialogPassword = reinterpret_cast<QdskPassword *>(lParam);
        SendDlgItemMessageW(hwnd, IDC_PASSWORD, EM_LIMITTEXT, QDSK_MAX_PASSWORD, 0);
        MakeTipFont(hwnd);
        LocalizeDialog(hwnd, "IDD_PASSWORD_DLG");
        return TRUE;
    }
    case WM_CTLCOLORSTATIC:
        if (reinterpret_cast<HWND>(lParam) == GetDlgItem(hwnd, IDC_PROTIPS)) {
            HDC dc = reinterpret_cast<HDC>(wParam);
            SetBkMode(dc, TRANSPARENT);
            SetTextColor(dc, RGB(0, 0, 255));
            return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_3DFACE));
        }
        return FALSE;
    case WM_SHOWWINDOW:
        SetForegroundWindow(hwnd);
        SetFocus(GetDlgItem(hwnd, IDC_PASSWORD));
        SetActiveWindow(hwnd);
        return FALSE;
    case WM_COMMAND: {
        int id = LOWORD(wParam);
        if (id != IDOK && id != IDCANCEL)
            return FALSE;
        HWND edit = GetDlgItem(hwnd, IDC_PASSWORD);
        if (id == IDOK && s_dialogPassword)
            ReadPasswordRecord(edit, s_dialogPassword);
        OverwritePasswordEdit(edit);
        EndDialog(hwnd, id);
        return TRUE;
    }
    case WM_DESTROY:
        // However the dialog ends, the edit keeps nothing of the password.
        OverwritePasswordEdit(GetDlgItem(hwnd, IDC_PASSWORD));
        if (s_tipFont) {
            DeleteObject(s_tipFont);
            s_tipFont = nullptr;
        }
        s_dialogPassword = nullptr;
        return FALSE;
    }
    return FALSE;
}

BOOL AskPassword(HWND owner, QdskPassword *password)
{
    INT_PTR result = DialogBoxParamW(g_hInst, MAKEINTRESOURCEW(IDD_PASSWORD_DLG), owner, PasswordDlgProc,
                                     reinterpret_cast<LPARAM>(password));
    if (result == IDOK)
        return TRUE;
    password->ByteCount = 0;
    WipeMemory(&g_MountOptions.ProtectedHidVolPassword, sizeof(g_MountOptions.ProtectedHidVolPassword));
    return FALSE;
}
