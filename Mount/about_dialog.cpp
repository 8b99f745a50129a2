// The About dialog: version, home page link and credits.
#include <windows.h>
#include <shellapi.h>

#include "dialog_look.h"
#include "language.h"
#include "product.h"
#include "resource.h"

static HFONT s_linkFont;

static const WCHAR kCredits[] =
    L"Veilguard 2.0\r\n"
    L"Copyright (C) Tessaline. All rights reserved.\r\n"
    L"\r\n"
    L"Built with SQLite (public domain), zlib, libzip, libgcrypt and FreeImage, "
    L"used under their own licences.";

// An underlined copy of the control's font, for the link text.
static HFONT CreateLinkFont(HWND control)
{
    HFONT base = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
    LOGFONTW lf = {};
    if (!base || !GetObjectW(base, sizeof(lf), &lf))
        return nullptr;
    lf.lfUnderline = TRUE;
    return CreateFontIndirectW(&lf);
}

INT_PTR CALLBACK AboutDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_INITDIALOG: {
        HWND link = GetDlgItem(hwnd, IDC_HOMEPAGE);
        SetWindowTextW(link, L"" VG_HOMEPAGE_URL);
        s_linkFont = CreateLinkFont(link);
        if (s_linkFont)
            SendMessageW(link, WM_SETFONT, reinterpret_cast<WPARAM>(s_linkFont), FALSE);
        MakeHyperlink(hwnd, IDC_HOMEPAGE);
        SetDlgItemTextW(hwnd, IDT_ABOUT_VERSION2, GetString("VERSION"));
        SetDlgItemTextW(hwnd, IDC_STATIC4, GetString("HOMEPAGE"));
        SetDlgItemTextW(hwnd, IDC_ABOUT_CREDITS, kCredits);
        LocalizeDialog(hwnd, "IDD_ABOUT_DLG");
        // Focus on OK, not on the credits (whose text would show selected).
        SetFocus(GetDlgItem(hwnd, IDOK));
        return FALSE;
    }
    case WM_CTLCOLORSTATIC:
        if (reinterpret_cast<HWND>(lParam) == GetDlgItem(hwnd, IDC_HOMEPAGE)) {
            HDC dc = reinterpret_cast<HDC>(wParam);
            SetTextColor(dc, RGB(0, 0, 255));
            SetBkMode(dc, TRANSPARENT);
            return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_3DFACE));
        }
        return FALSE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDC_HOMEPAGE:
            ShowAppStartingCursor();
            ShellExecuteW(nullptr, L"open", L"" VG_HOMEPAGE_URL, nullptr, nullptr, SW_SHOWNORMAL);
            Sleep(200);
            ShowNormalCursor();
            return TRUE;
        case IDOK:
        case IDCANCEL:
            PostMessageW(hwnd, WM_CLOSE, 0, 0);
            return TRUE;
        }
        return FALSE;
    case WM_CLOSE:
        if (s_linkFont) {
            DeleteObject(s_linkFont);
            s_linkFont = nullptr;
        }
        EndDialog(hwnd, 0);
        return TRUE;
    }
    return FALSE;
}
