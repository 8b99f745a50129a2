// A mounted volume becomes privacy mode: the shell is ended, the environment
// switched onto the new drive, and the shell started again on it.
#include "privacy_handover.h"

#include "app_state.h"
#include "privileges.h"
#include "processes.h"
#include "tray_icon.h"
#include "env/privacy_env.h"
#include "env/reg_text.h"
#include "volume/driver_control.h"

void EnterPrivacyMode(HWND owner, int drive)
{
    // Winlogon must not bring the shell back while its folders move.
    SetAutoRestartShell(0);
    EndExplorerProcesses();
    EnterPrivacyEnvironment(static_cast<WCHAR>(L'A' + drive), owner ? owner : g_hMainWnd);
    BroadcastEnvironmentChange(SMTO_ABORTIFHUNG, 5000);
    StartExplorer();
    SetAutoRestartShell(1);
    EnableDebugPrivilege();
    StartTrayIconThread(ShowPrivacyTrayIcon, owner ? owner : g_hMainWnd);
}

void ResumePrivacySession(void)
{
    QdskMountedList *list =
        static_cast<QdskMountedList *>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(QdskMountedList)));
    if (!list)
        return;
    ListMountedVolumes(list);
    for (int drive = 0; drive < 26; ++drive)
        if (list->DriveMask & (1u << drive)) {
            ResumePrivacyEnvironment(static_cast<WCHAR>(L'A' + drive));
            break;
        }
    HeapFree(GetProcessHeap(), 0, list);
}
