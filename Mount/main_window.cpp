#include "main_window.h"

#include <dbt.h>
#include <shellapi.h>
#include <shlwapi.h>

#include "app_state.h"
#include "dialog_look.h"
#include "language.h"
#include "msgbox.h"
#include "resource.h"
#include "tray_icon.h"
#include "session_flows.h"
#include "volume/mount.h"
#include "volume/driver_control.h"
#include "clean/clean_dialog.h"
#include "clean/clean_ops.h"
#include "env/privacy_env.h"
#include "env/trace_db.h"
#include "privacy_handover.h"
#include "volume/password_change.h"

char g_szContainerPath[MAX_PATH];
char g_cLoginDrive;
static BOOL s_screenSaverSeen;

static void FormContainerPath(void)
{
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    char *slash = (n > 0 && n < MAX_PATH) ? StrRChrA(path, nullptr, '\\') : nullptr;
    if (!slash) {
        g_szContainerPath[0] = 0;
        return;
    }
    slash[1] = 0;
    wnsprintfA(g_szContainerPath, MAX_PATH, "%svdisk.dat", path);
}

static LRESULT OnCreate(HWND hwnd)
{
    g_hMainWnd = hwnd;
    RegisterHotKey(hwnd, 0, MOD_CONTROL, VK_F8);
    KeepContainerTimeStamps = TRUE;
    if (!WipePasswordCache())
        ShowLastWindowsError(hwnd);

    g_cLoginDrive = static_cast<char>('A' + FirstFreeDrive());
    FormContainerPath();

    if (!IsContainerMounted(g_szContainerPath)) {
        if (StartupLogin(hwnd, g_cLoginDrive, g_szContainerPath))
            MessageBeep(0xFFFFFFFF);
        else
            StartTrayIconThread(ShowNormalTrayIcon, hwnd);
    } else {
        ResumePrivacySession();
        StartTrayIconThread(ShowPrivacyTrayIcon, hwnd);
        ShowWarning(GetString("MOUNTED"));
    }

    ShowWindow(hwnd, SW_HIDE);
    SetTimer(hwnd, 1, 1000, nullptr);
    return 0;
}

HMENU BuildTrayMenu(BOOL mounted)
{
    HMENU menu = CreatePopupMenu();
    if (!AppendMenuW(menu, MF_STRING, IDM_ABOUT, GetString("MENU_ABOUT")))
        FatalWindowsError(L"AppendMenu");
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    if (mounted)
        AppendMenuW(menu, MF_STRING, IDM_LOGOFF, GetString("MENU_LOGOFF"));
    else
        AppendMenuW(menu, MF_STRING, IDM_LOGIN, GetString("MENU_LOGIN"));
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_STRING, IDM_CHANGEPASS, GetString("MENU_CHANGEPASS"));
    AppendMenuW(menu, MF_STRING, IDM_CLEAN, GetString("MENU_CLEAN"));
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_STRING, IDM_HELP, GetString("MENU_HELP"));
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_STRING, IDM_QUIT, GetString("MENU_QUIT"));
    return menu;
}

static void ShowTrayMenu(HWND hwnd)
{
    HMENU menu = BuildTrayMenu(AnyVolumeMounted());
    POINT pt;
    GetCursorPos(&pt);
    int command = TrackPopupMenu(menu, TPM_RIGHTBUTTON | TPM_BOTTOMALIGN | TPM_RETURNCMD, pt.x, pt.y, 0, hwnd,
                                 nullptr);
    if (command == IDM_QUIT) {
        if (AskWarningNoYes(GetString("ASK_QUIT")) == IDYES)
            SendMessageA(hwnd, WM_COMMAND, IDM_QUIT, 0);
    } else {
        SendMessageA(hwnd, WM_COMMAND, command, 0);
    }
    PostMessageW(hwnd, WM_NULL, 0, 0);
    DestroyMenu(menu);
}

static void OpenHelp(void)
{
    WCHAR folder[MAX_PATH], path[MAX_PATH + 16];
    if (!GetProgramFolder(folder))
        return;
    wsprintfW(path, L"%s\\%s", folder, L"help.chm");
    ShellExecuteW(nullptr, L"open", path, nullptr, nullptr, SW_SHOWNORMAL);
}

static LRESULT OnCommand(HWND hwnd, WPARAM wParam, LPARAM lParam)
{
    switch (LOWORD(wParam)) {
    case IDM_QUIT:
        if (AnyVolumeMounted()) {
            if (!CloseTracedApplications(hwnd, 1))
                return 0;
            UserLogoff(hwnd);
        }
        RemoveTrayIcon(hwnd);
        PostQuitMessage(0);
        DestroyWindow(hwnd);
        return 0;
    case IDM_ABOUT:
        DialogBoxParamW(g_hInst, MAKEINTRESOURCEW(IDD_ABOUT_DLG), nullptr, AboutDlgProc, 0);
        return 0;
    case IDM_CLEAN:
        ShowCleanTraceDialog();
        return 0;
    case IDM_LOGOFF:
        // lParam 1: the filter could not be loaded; the logoff neither asks
        // nor waits for anyone.
        if (AnyVolumeMounted() && CloseTracedApplications(hwnd, lParam == 1 ? 0 : 1)) {
            if (lParam == 1)
                Logoff(hwnd, TRUE, TRUE, 10, 50);
            else
                UserLogoff(hwnd);
        }
        return 0;
    case IDM_LOGIN:
        if (!AnyVolumeMounted())
            Login(hwnd, 0);
        return 0;
    case IDM_CHANGEPASS:
        ChangePassword(hwnd);
        return 0;
    case IDM_HELP:
        OpenHelp();
        return 0;
    }
    return 0;
}

static void OnTimer(HWND hwnd)
{
    BOOL running = FALSE;
    SystemParametersInfoW(SPI_GETSCREENSAVERRUNNING, 0, &running, 0);
    if (running && !s_screenSaverSeen) {
        s_screenSaverSeen = TRUE;
        Logoff(hwnd, TRUE, FALSE, 10, 50);
        WipePasswordCache();
    } else {
        s_screenSaverSeen = running;
    }
}

static void OnDeviceChange(HWND hwnd, WPARAM event, LPARAM data)
{
    if (IgnoreDeviceChange || event == DBT_DEVICEARRIVAL || IsOwnDriveBroadcast(data))
        return;
    RefreshMountedList();
    if (event != DBT_DEVICEREMOVECOMPLETE || !data)
        return;
    const DEV_BROADCAST_HDR *hdr = reinterpret_cast<const DEV_BROADCAST_HDR *>(data);
    if (hdr->dbch_devicetype != DBT_DEVTYP_VOLUME)
        return;
    DWORD removed = reinterpret_cast<const DEV_BROADCAST_VOLUME *>(data)->dbcv_unitmask;
    for (int drive = 0; drive < 26; ++drive) {
        if (!(removed & (1u << drive)))
            continue;
        if (LeaveVanishedDrive(static_cast<WCHAR>(L'A' + drive)))
            ShowWarning(GetString("DRIVE_GONE"));
        DismountVolumesOnRemovedDrive(hwnd, drive);
    }
}

LRESULT CALLBACK MainWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_CREATE:
        return OnCreate(hwnd);
    case WM_TRAY_CALLBACK:
        if (lParam == WM_LBUTTONDOWN)
            ShowWindow(hwnd, SW_HIDE);
        else if (lParam == WM_RBUTTONDOWN)
            ShowTrayMenu(hwnd);
        return 0;
    case WM_COMMAND:
        return OnCommand(hwnd, wParam, lParam);
    case WM_HOTKEY:
        return 1;
    case WM_TIMER:
        if (g_hTrayMutex)
            OnTimer(hwnd);
        return 0;
    case WM_POWERBROADCAST:
        if (g_hTrayMutex && wParam == PBT_APMSUSPEND) {
            Logoff(hwnd, TRUE, TRUE, 10, 50);
            WipePasswordCache();
        }
        return TRUE;
    case WM_ENDSESSION:
        if (g_hTrayMutex) {
            WipePasswordCache();
            if (!Logoff(hwnd, FALSE, FALSE, 5, 1000))
                Logoff(hwnd, TRUE, FALSE, 1, 0);
        }
        return 0;
    case WM_DEVICECHANGE:
        OnDeviceChange(hwnd, wParam, lParam);
        return TRUE;
    case WM_SHOWWINDOW:
    case WM_SIZE:
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}
