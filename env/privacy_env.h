// Turning the user's environment into privacy mode on the virtual disk and
// back: temporary and shell folders, the applications' settings files, their
// registry items (through the switch database on the disk), the mode marker
// and the file redirection.
#pragma once
#include <windows.h>

// Enters privacy mode on the drive with this letter. Always 1. Entering
// again (also after a kill, a crash or a reboot in privacy mode) moves the
// locations onto this drive and leaves the registry items as they are.
// owner: the session flow's window, which owns the Converting dialog.
int EnterPrivacyEnvironment(WCHAR letter, HWND owner = nullptr);

// Leaves privacy mode; the result of stopping the file redirection. Leaving
// again changes nothing.
HRESULT LeavePrivacyEnvironment(HWND owner = nullptr);

// Puts back the locations that live on the real disk (temporary folders,
// shell folders, settings files) from the normal-mode record. 1 when every
// recorded one was written back.
int RestoreLocationsOutsideDrive(void);

// A start that finds the volume mounted on the drive: privacy mode goes on
// there (when the marker says so), and a logoff can switch everything back.
void ResumePrivacyEnvironment(WCHAR letter);

// The drive of privacy mode went away without a logoff: the locations
// outside it come back and file redirection stops. 1 when the letter (0:
// any) was the privacy drive.
int LeaveVanishedDrive(WCHAR letter);

// 1 when the mode marker reads "inPrivate".
int IsInPrivacyMode(void);

// Winlogon's automatic restart of the shell, on (1) or off (0).
void SetAutoRestartShell(DWORD value);

// Swaps the listed registry items: mode 1 into privacy mode, 2 back; only
// from the other mode's state (the mode marker). 0 after a failure that was
// shown (nothing stored is lost then), else 1.
int SwitchRegistryState(int mode, HWND owner = nullptr);

// Points the listed settings-file entries of installed applications at the
// drive (a fresh ".vgrd" backup of each file is made at the first entry of
// a session and recorded), and puts the recorded files back (deleting the
// backup; a failure is shown and keeps it). 1 when all came back.
void RedirectAppProfiles(WCHAR letter);
int RestoreAppProfiles(void);

// The Converting dialog while a registry switch runs (null otherwise); it
// owns the registry error boxes shown meanwhile, so they show above it.
extern HWND g_hConvertingDlg;
