// The program's entry point: brings the program up in a fixed order, runs the
// user-interface thread's message loop and releases what start-up acquired.
#include <windows.h>
#include <commctrl.h>
#include <stdlib.h>

#include "app_state.h"
#include "dialog_look.h"
#include "init_app.h"
#include "language.h"
#include "main_window.h"
#include "msgbox.h"
#include "privacy_handover.h"
#include "processes.h"
#include "resource.h"
#include "session_flows.h"
#include "volume/mount.h"
#include "volume/driver_control.h"
#include "volume/volume_errors.h"
#include "splash.h"
#include "env/local_appdata.h"
#include "env/trace_startup.h"
#include "redirect/redirection_filter.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR commandLine, int showCommand)
{
    // The progress bars of the dialogs are common controls.
    INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_PROGRESS_CLASS | ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&icc);

    SetPreferredLanguage("zh-cn");
    LoadLanguage();

    // The splash fades in and out on its own thread; start-up waits for it.
    RegisterSplashClass(instance);
    HANDLE splash = StartSplash();
    if (splash) {
        WaitForSingleObject(splash, INFINITE);
        CloseHandle(splash);
    }

    WarnAboutSecuritySoftware(nullptr);

    OSVERSIONINFOEXW vi = {};
    vi.dwOSVersionInfoSize = sizeof(vi);
    if (!GetVersionExW(reinterpret_cast<OSVERSIONINFOW *>(&vi)))
        FatalError(GetString("NO_OS_VER"));
    if (vi.dwPlatformId == VER_PLATFORM_WIN32_NT && vi.dwMajorVersion <= 5)
        SetLocalAppDataDefault();

    DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_MOUNT_DLG), nullptr, StartupCheckDlgProc,
                    reinterpret_cast<LPARAM>(commandLine));

    // Before Vista the rules and the application detection need the local
    // application data folder in the environment before they are read.
    DefineLocalAppDataVariable(IsBeforeVista());

    // The application tables live in memory from here on; the database file
    // is closed again. A missing or damaged archive ends start-up silently.
    switch (LoadTraceDatabaseAtStartup()) {
    case TRACE_STARTUP_CONTINUE:
        break;
    case TRACE_STARTUP_QUIT_SILENTLY:
        return 0;
    case TRACE_STARTUP_SQL_ERROR:
        return 1;
    }

    // Only one copy runs; a second one leaves quietly. The semaphore is never
    // closed: the system removes it with the process.
    CreateSemaphoreA(nullptr, 0, 1, "QDSKVGPMINSTANCE");
    if (GetLastError() == ERROR_ALREADY_EXISTS)
        return 1;

    // A successful mount hands over to privacy mode.
    PrivacyHandOver = EnterPrivacyMode;

    atexit(ExitCleanup);
    InitApplication(instance);
    RegisterRedTickClass(instance);
    lstrcpynW(g_szProgramTitle, GetString("VGRD"), ARRAYSIZE(g_szProgramTitle));

    // Without the volume driver there is nothing to protect with.
    DWORD driver = ConnectDriver();
    if (driver != 0) {
        if (driver == 1)
            ShowLastWindowsError(nullptr);
        else
            ShowVolumeError(nullptr, static_cast<int>(driver));
        exit(1);
    }

    VirtualLock(&g_LoginPassword, sizeof(g_LoginPassword));
    VirtualLock(&g_MountOptions, sizeof(g_MountOptions));

    WNDCLASSW wc = {};
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = MainWndProc;
    wc.hInstance = instance;
    wc.lpszClassName = L"MainWnd";
    if (!RegisterClassW(&wc))
        FatalWindowsError(L"MainWnd_CreateWindow");

    HWND hwnd = CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, L"MainWnd", L"", WS_POPUP, CW_USEDEFAULT,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance, nullptr);
    if (!hwnd)
        FatalWindowsError(L"MainWnd_CreateWindow");
    g_hMainWnd = hwnd;
    // A minifilter that cannot be loaded ends privacy mode through the menu's logoff.
    SetRedirectionFilterLogoff(hwnd, IDM_LOGOFF);
    ShowWindow(hwnd, showCommand);
    UpdateWindow(hwnd);

    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (!msg.hwnd)
            msg.hwnd = g_hMainWnd;
        if (IsWindow(g_hMainWnd) && IsDialogMessageW(g_hMainWnd, &msg))
            continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    ReleaseTraceTables();
    return 0;
}
