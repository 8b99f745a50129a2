#include "init_app.h"

#include <objbase.h>

#include "app_state.h"
#include "crash_report.h"
#include "dialog_look.h"
#include "language.h"
#include "msgbox.h"
#include "resource.h"
#include "session_flows.h"
#include "volume/driver_control.h"
#include "update/update_check.h"

static BOOL s_customDlgRegistered;

static BOOL ReadVersion(OSVERSIONINFOEXW &vi)
{
    ZeroMemory(&vi, sizeof(vi));
    vi.dwOSVersionInfoSize = sizeof(vi);
    return GetVersionExW(reinterpret_cast<OSVERSIONINFOW *>(&vi));
}

// Large-disk support notices for early Windows 2000 and XP installations.
static void WarnAboutLargeDiskSupport(void)
{
    if (WindowsVersionCode == WIN_2000) {
        if (g_dwServicePackMajor < 3) {
            ShowWarning(L"LARGE_IDE_WARNING_2K");
            return;
        }
        HKEY key;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Services\\Atapi\\Parameters", 0,
                          KEY_READ, &key) == ERROR_SUCCESS) {
            DWORD value = 0, size = sizeof(value), type = 0;
            if (RegQueryValueExW(key, L"EnableBigLba", nullptr, &type, reinterpret_cast<BYTE *>(&value), &size) !=
                    ERROR_SUCCESS ||
                value != 1)
                ShowWarning(L"LARGE_IDE_WARNING_2K_REGISTRY");
            RegCloseKey(key);
        }
    } else if (WindowsVersionCode == WIN_XP && g_dwServicePackMajor < 1) {
        HKEY key;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"System\\CurrentControlSet\\Control\\minint", 0, KEY_READ, &key) !=
            ERROR_SUCCESS)
            ShowWarning(L"LARGE_IDE_WARNING_XP");
        else
            RegCloseKey(key);
    }
}

static void RegisterCustomDialogClass(HINSTANCE instance)
{
    WNDCLASSW wc;
    if (!GetClassInfoW(nullptr, L"#32770", &wc))
        FatalError(GetString("INIT_REGISTER"));
    wc.lpfnWndProc = CustomDlgProc;
    wc.hInstance = instance;
    wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_NORMAL));
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = L"CustomDlg";
    if (!RegisterClassW(&wc))
        FatalError(GetString("INIT_REGISTER"));
    s_customDlgRegistered = TRUE;
}

void InitApplication(HINSTANCE instance)
{
    g_hInst = instance;
    OSVERSIONINFOEXW vi;
    if (!ReadVersion(vi))
        FatalError(GetString("NO_OS_VER"));
    g_dwOsMajor = vi.dwMajorVersion;
    g_dwOsMinor = vi.dwMinorVersion;
    WindowsVersionCode = ComputeWindowsVersionCode(vi.dwPlatformId, vi.dwMajorVersion, vi.dwMinorVersion,
                                                   vi.wProductType);

    CoInitialize(nullptr);
    SetUnhandledExceptionFilter(CrashFilter);
    g_bRemoteSession = GetSystemMetrics(SM_REMOTESESSION) != 0;

    if (vi.dwMajorVersion < 5) {
        // The program title is not set yet: the system's caption.
        MessageBoxW(nullptr, GetString("NO_OS_VER"), nullptr, MB_ICONERROR);
        exit(1);
    }

    g_dwServicePackMajor = vi.wServicePackMajor;
    WarnAboutLargeDiskSupport();

    if (vi.dwMajorVersion == 6 && vi.dwMinorVersion == 0 && vi.dwBuildNumber < 6000) {
        ShowError(L"UNSUPPORTED_BETA_OS");
        exit(0);
    }

    RegisterCustomDialogClass(instance);
}

void ExitCleanup(void)
{
    char *commandA = GetCommandLineA();
    if (commandA) {
        size_t n = lstrlenA(commandA);
        WipeMemory(commandA, n);
    }
    WCHAR *commandW = GetCommandLineW();
    if (commandW) {
        size_t n = lstrlenW(commandW);
        WipeMemory(commandW, n * sizeof(WCHAR));
    }
    if (s_customDlgRegistered) {
        UnregisterClassW(L"CustomDlg", g_hInst);
        s_customDlgRegistered = FALSE;
    }
    DisconnectDriverAtExit();
    CoUninitialize();
}

INT_PTR CALLBACK StartupCheckDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_INITDIALOG:
        return TRUE;
    case WM_SHOWWINDOW:
        if (!wParam)
            return FALSE;
        CheckForUpdates(hwnd);
        // The dialog is modal: ending it ends the update-check step.
        EndDialog(hwnd, 0);
        return TRUE;
    }
    return FALSE;
}
