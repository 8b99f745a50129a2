#include "tray_icon.h"

#include <shellapi.h>

#include "app_state.h"
#include "language.h"
#include "msgbox.h"
#include "resource.h"

// The icon record with a balloon and its identifying GUID (the third form of
// the record); the headers for Windows 2000 do not offer its size by name.
static const DWORD kTrayRecordSize = FIELD_OFFSET(NOTIFYICONDATAW, guidItem) + sizeof(GUID);
#if !defined(_WIN64) && !defined(__WINE__)
static_assert(FIELD_OFFSET(NOTIFYICONDATAW, guidItem) + sizeof(GUID) == 952, "tray icon record with balloon");
#endif

HANDLE g_hTrayMutex;
static HICON s_privacyIcon;
static HICON s_normalIcon;

static HICON LoadTrayIcon(int id)
{
    UINT flags = (WindowsVersionCode == WIN_2000) ? LR_VGACOLOR : 0;
    return static_cast<HICON>(LoadImageW(g_hInst, MAKEINTRESOURCEW(id), IMAGE_ICON, 16, 16, flags));
}

static DWORD ShowTrayIcon(HWND hwnd, BOOL privacy)
{
    if (g_hTrayMutex)
        RemoveTrayIcon(hwnd);

    g_hTrayMutex = CreateMutexA(nullptr, TRUE, "QDSKTaskBarIcon");
    if (!g_hTrayMutex || GetLastError() == ERROR_ALREADY_EXISTS) {
        if (g_hTrayMutex)
            CloseHandle(g_hTrayMutex);
        g_hTrayMutex = nullptr;
        return 0;
    }

    HICON icon;
    if (privacy) {
        if (!s_privacyIcon)
            s_privacyIcon = LoadTrayIcon(IDI_PRIVACY);
        icon = s_privacyIcon;
    } else {
        // Loaded once like the privacy icon: reloading at every mode change
        // leaked the previous handle.
        if (!s_normalIcon)
            s_normalIcon = LoadTrayIcon(IDI_NORMAL);
        icon = s_normalIcon;
    }
    if (!icon)
        FatalWindowsError(GetString("LOADIMAGE"));

    NOTIFYICONDATAW nid = {};
    nid.cbSize = kTrayRecordSize;
    nid.hWnd = hwnd;
    nid.uID = 1;
    nid.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP | NIF_INFO;
    nid.uCallbackMessage = WM_TRAY_CALLBACK;
    nid.hIcon = icon;
    nid.uTimeout = 30000;
    nid.dwInfoFlags = NIIF_INFO;
    lstrcpynW(nid.szTip, GetString(privacy ? "TIP_EVERSION" : "TIP_VERSION"), ARRAYSIZE(nid.szTip));
    lstrcpynW(nid.szInfoTitle, GetString(privacy ? "TIP_LOGON_TITLE" : "TIP_LOGOFF_TITLE"),
              ARRAYSIZE(nid.szInfoTitle));
    lstrcpynW(nid.szInfo, GetString(privacy ? "TIP_MOUNTED" : "TIP_LOGOFF"), ARRAYSIZE(nid.szInfo));

    // The shell may not be ready yet (Explorer restarting): keep asking.
    while (!Shell_NotifyIconW(NIM_ADD, &nid))
        Sleep(100);
    return 1;
}

DWORD WINAPI ShowPrivacyTrayIcon(LPVOID mainWindow) { return ShowTrayIcon(static_cast<HWND>(mainWindow), TRUE); }
DWORD WINAPI ShowNormalTrayIcon(LPVOID mainWindow) { return ShowTrayIcon(static_cast<HWND>(mainWindow), FALSE); }

void StartTrayIconThread(LPTHREAD_START_ROUTINE proc, HWND mainWindow)
{
    HANDLE thread = CreateThread(nullptr, 0, proc, mainWindow, 0, nullptr);
    if (thread)
        CloseHandle(thread);
}

BOOL RemoveTrayIcon(HWND mainWindow)
{
    if (!g_hTrayMutex)
        return FALSE;
    NOTIFYICONDATAW nid = {};
    nid.cbSize = kTrayRecordSize;
    nid.hWnd = mainWindow;
    nid.uID = 1;
    BOOL result = Shell_NotifyIconW(NIM_DELETE, &nid);
    CloseHandle(g_hTrayMutex);
    g_hTrayMutex = nullptr;
    return result;
}
