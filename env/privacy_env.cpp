// Entering and leaving privacy mode, in the fixed order of the switch.
#include "env/privacy_env.h"

#include "Mount/msgbox.h"
#include "env/env_folders.h"
#include "env/mode_marker.h"
#include "redirect/redirect_rules.h"
#include "redirect/redirection_filter.h"

int IsInPrivacyMode(void) { return ReadModeMarkerIsPrivate(); }

// Moves every location onto the drive, starting from the normal-mode record
// (made here the first time): after a kill, a crash or a reboot in privacy
// mode the locations follow the volume to the drive it is mounted on now.
static void RedirectLocations(WCHAR letter)
{
    RecordTempFolders();
    RecordShellFolders();
    RedirectSystemTemp(letter);
    RedirectUserTemp(letter);
    RedirectUserShellFolders(letter);
    RedirectShellFolders(letter);
    RedirectAppProfiles(letter);
}

int EnterPrivacyEnvironment(WCHAR letter, HWND owner)
{
    WCHAR drive[3] = {letter, L':', 0};
    PrepareRedirection(drive);
    RedirectLocations(letter);
    // Does nothing when the marker says the items are switched already.
    SwitchRegistryState(1, owner);
    StartRedirectionFilter();
    return 1;
}

int RestoreLocationsOutsideDrive(void)
{
    int restored = RestoreSystemTemp();
    restored &= RestoreUserTemp();
    restored &= RestoreUserShellFolders();
    restored &= RestoreShellFolders();
    restored &= RestoreAppProfiles();
    // The rules point at their own folders again.
    RestoreRuleDriveLetters();
    return restored;
}

HRESULT LeavePrivacyEnvironment(HWND owner)
{
    // The locations go back to what the record holds (nothing, when they
    // are back already), the registry items only when the marker says they
    // are switched: leaving twice changes nothing the second time.
    RestoreLocationsOutsideDrive();
    if (IsInPrivacyMode()) {
        if (g_redirectionDrive[0])
            SwitchRegistryState(2, owner);
        else
            OutputDebugStringW(L"Leaving privacy mode without a redirection drive: the registry items stay as they are.");
    }
    return StopRedirectionFilter();
}

void ResumePrivacyEnvironment(WCHAR letter)
{
    if (IsInPrivacyMode()) {
        EnterPrivacyEnvironment(letter);
    } else {
        // Mounted, but the switch never ran: the logoff still finds the
        // drive to switch back from.
        WCHAR drive[3] = {letter, L':', 0};
        BindRedirectionDrive(drive, nullptr);
    }
}

int LeaveVanishedDrive(WCHAR letter)
{
    // Only a drive still in privacy mode: after a logoff the drive is bound
    // until the next login, and its own dismount is nothing to report.
    if (!g_redirectionDrive[0] || (letter && (g_redirectionDrive[0] | 0x20) != (letter | 0x20)) ||
        !IsInPrivacyMode())
        return 0;
    // What lives on the real disk comes back; the registry items wait in
    // their privacy-mode state for the next logoff with the volume.
    RestoreLocationsOutsideDrive();
    StopRedirectionFilter();
    BindRedirectionDrive(nullptr, nullptr);
    return 1;
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
