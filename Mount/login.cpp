// Logging in: the password is asked for and the container mounted; a
// successful mount has already switched the environment onto the new drive
// and shown the privacy-mode icon. The password record and the hidden-volume
// password are wiped after every attempt and at the end.
#include <windows.h>

#include "app_state.h"
#include "dialog_look.h"
#include "language.h"
#include "main_window.h"
#include "msgbox.h"
#include "password_dialog.h"
#include "processes.h"
#include "session_flows.h"
#include "volume/mount.h"
#include "volume/driver_control.h"
#include "tray_icon.h"
#include "env/privacy_env.h"
#include "env/reg_text.h"

static void WipeLoginRecords(void)
{
    WipeMemory(&g_LoginPassword, sizeof(g_LoginPassword));
    WipeMemory(&g_MountOptions.ProtectedHidVolPassword, sizeof(g_MountOptions.ProtectedHidVolPassword));
}

BOOL StartupLogin(HWND owner, char drive, const char *containerPath)
{
    int result = 0;
    do {
        g_LoginPassword.ByteCount = 0;
        if (!AskPassword(owner, &g_LoginPassword)) {
            result = 0;
            break;
        }
        ShowWaitCursor();
        result = MountVolume(owner, drive - 'A', containerPath, &g_LoginPassword, FALSE, FALSE, &g_MountOptions,
                             TRUE);
        ShowNormalCursor();
        WipeLoginRecords();
    } while (result == 0);
    WipeLoginRecords();
    return result > 0;
}

// Lowest drive number in the driver's mounted list, or -1.
static int LowestMountedDrive(void)
{
    QdskMountedList *list =
        static_cast<QdskMountedList *>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(QdskMountedList)));
    if (!list)
        return -1;
    ListMountedVolumes(list);
    int lowest = -1;
    for (int d = 0; d < 26 && lowest < 0; ++d)
        if (list->DriveMask & (1u << d))
            lowest = d;
    HeapFree(GetProcessHeap(), 0, list);
    return lowest;
}

int Login(HWND owner, int drive)
{
    if (drive == 0)
        drive = FirstFreeDrive();

    int mounted = LowestMountedDrive();
    if (mounted >= 0) {
        // A volume is mounted already (the program was restarted while
        // logged in): switch onto it without asking.
        SetAutoRestartShell(0);
        EndExplorerProcesses();
        EnterPrivacyEnvironment(static_cast<WCHAR>(L'A' + mounted), owner);
        BroadcastEnvironmentChange(SMTO_ABORTIFHUNG, 5000);
        StartExplorer();
        SetAutoRestartShell(1);
        StartTrayIconThread(ShowPrivacyTrayIcon, owner);
        ShowWarning(GetString("MOUNTED"));
        return 0;
    }

    g_LoginPassword.ByteCount = 0;
    const char *container = g_szContainerPath;
    if (!container[0])
        return 0;
    if (IsContainerMounted(container)) {
        ShowWarning(GetString("MOUNTED"));
        return 0;
    }

    WrongPasswordCount = 0;
    ShowWaitCursor();
    // No password: the driver tries the passwords it has cached.
    int result = MountVolume(owner, drive, container, nullptr, FALSE, FALSE, &g_MountOptions, FALSE);
    ShowNormalCursor();
    while (result == 0) {
        if (!AskPassword(owner, &g_LoginPassword))
            break;
        ShowWaitCursor();
        result = MountVolume(owner, drive, container, &g_LoginPassword, FALSE, FALSE, &g_MountOptions, TRUE);
        ShowNormalCursor();
        if (result > 0 && !CheckPasswordChars(nullptr, &g_LoginPassword))
            ShowWarning(GetString("WARNING_NOASCII"));
        WipeLoginRecords();
    }
    int loggedIn = result > 0 ? 1 : 0;
    if (loggedIn)
        MessageBeep(0xFFFFFFFF);
    WipeLoginRecords();
    return loggedIn;
}
