// Entering and leaving privacy mode, in the fixed order of the switch.
#include "env/privacy_env.h"

#include "Mount/msgbox.h"
#include "env/env_folders.h"
#include "env/mode_marker.h"
#include "redirect/redirect_rules.h"
#include "redirect/redirection_filter.h"

int IsInPrivacyMode(void) { return ReadModeMarkerIsPrivate(); }

int EnterPrivacyEnvironment(WCHAR letter)
{
    WCHAR drive[3] = {letter, L':', 0};
    PrepareRedirection(drive);
    if (!IsInPrivacyMode()) {
        RedirectSystemTemp(letter);
        RedirectUserTemp(letter);
        RedirectUserShellFolders(letter);
        RedirectShellFolders(letter);
        RedirectAppProfiles(letter);
    } else {
        // Entered before and never left: the values point at the drive
        // already; only the copies of this run are refilled.
        RefreshShellFolderCopies();
    }
    SwitchRegistryState(1);
    StartRedirectionFilter();
    return 1;
}

HRESULT LeavePrivacyEnvironment(void)
{
    RestoreSystemTemp();
    RestoreUserTemp();
    RestoreUserShellFolders();
    RestoreShellFolders();
    RestoreAppProfiles();
    // The rules point at their own folders again.
    RestoreRuleDriveLetters();
    if (g_redirectionDrive[0])
        SwitchRegistryState(2);
    else
        OutputDebugStringW(L"Leaving privacy mode without a redirection drive: the registry items stay as they are.");
    return StopRedirectionFilter();
}

void SetAutoRestartShell(DWORD value)
{
    HKEY key;
    LONG rc = RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon", 0,
                              nullptr, 0, 0x20006, nullptr, &key, nullptr);
    if (rc != ERROR_SUCCESS) {
        ShowRegistryError(rc);
        return;
    }
    rc = RegSetValueExW(key, L"AutoRestartShell", 0, REG_DWORD, reinterpret_cast<const BYTE *>(&value),
                        sizeof(value));
    if (rc != ERROR_SUCCESS)
        ShowRegistryError(rc);
    RegCloseKey(key);
}
