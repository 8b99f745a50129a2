#include "dialog_look.h"

HCURSOR g_hCurrentCursor;

static HCURSOR s_wait, s_appStarting, s_hand, s_arrow;
static BOOL s_trackingLink;

static HCURSOR Cached(HCURSOR &slot, const WCHAR *id)
{
    if (!slot)
        slot = LoadCursorW(nullptr, id);
    return slot;
}

LRESULT CALLBACK CustomDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_SETCURSOR && g_hCurrentCursor) {
        SetCursor(g_hCurrentCursor);
        return TRUE;
    }
    return DefDlgProcW(hwnd, msg, wParam, lParam);
}

void ShowWaitCursor(void)
{
    g_hCurrentCursor = Cached(s_wait, IDC_WAIT);
    SetCursor(g_hCurrentCursor);
}

void ShowNormalCursor(void)
{
    SetCursor(Cached(s_arrow, IDC_ARROW));
    g_hCurrentCursor = nullptr;
}

void ShowAppStartingCursor(void)
{
    g_hCurrentCursor = Cached(s_appStarting, IDC_APPSTARTING);
    SetCursor(g_hCurrentCursor);
}

void ShowHandCursor(void)
{
    g_hCurrentCursor = Cached(s_hand, IDC_HAND);
    SetCursor(g_hCurrentCursor);
}

static LRESULT CALLBACK LinkProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_SETCURSOR:
        if (!s_trackingLink) {
            TRACKMOUSEEVENT tme = {};
            tme.cbSize = sizeof(tme);
            tme.dwFlags = TME_LEAVE;
            tme.hwndTrack = hwnd;
            TrackMouseEvent(&tme);
            s_trackingLink = TRUE;
            ShowHandCursor();
        }
        return 0;
    case WM_MOUSELEAVE:
        s_trackingLink = FALSE;
        ShowNormalCursor();
        return 0;
    }
    WNDPROC previous = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    return CallWindowProcW(previous, hwnd, msg, wParam, lParam);
}

void MakeHyperlink(HWND dialog, int controlId)
{
    HWND control = GetDlgItem(dialog, controlId);
    if (!control)
        return;
    SetWindowLongPtrW(control, GWLP_USERDATA, GetWindowLongPtrW(control, GWLP_WNDPROC));
    SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(LinkProc));

    // Shrink the control to its text so that only the text is clickable.
    WCHAR text[512];
    int length = GetWindowTextW(control, text, 512);
    HDC dc = GetDC(control);
    HFONT font = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
    HGDIOBJ oldFont = font ? SelectObject(dc, font) : nullptr;
    SIZE extent = {};
    TEXTMETRICW tm = {};
    GetTextExtentPoint32W(dc, text, length, &extent);
    GetTextMetricsW(dc, &tm);
    if (oldFont)
        SelectObject(dc, oldFont);
    ReleaseDC(control, dc);
    int textWidth = extent.cx - tm.tmOverhang;

    RECT client, window;
    GetClientRect(control, &client);
    GetWindowRect(control, &window);
    int diff = client.right - textWidth;
    if (diff > 0) {
        POINT topLeft = {window.left, window.top};
        ScreenToClient(dialog, &topLeft);
        LONG style = GetWindowLongW(control, GWL_STYLE);
        int x = topLeft.x;
        if ((style & SS_TYPEMASK) == SS_CENTER)
            x += diff / 2;
        else if ((style & SS_TYPEMASK) == SS_RIGHT)
            x += diff;
        SetWindowPos(control, HWND_TOP, x, topLeft.y, (window.right - window.left) - diff,
                     window.bottom - window.top, 0);
    } else {
        SetWindowPos(control, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    }
    InvalidateRect(control, nullptr, TRUE);
}

static LRESULT CALLBACK RedTickProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

BOOL RegisterRedTickClass(HINSTANCE instance)
{
    WNDCLASSW wc = {};
    wc.lpfnWndProc = RedTickProc;
    wc.hInstance = instance;
    wc.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH));
    wc.lpszClassName = L"REDTICK";
    return RegisterClassW(&wc) != 0;
}
