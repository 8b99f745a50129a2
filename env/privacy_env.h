// Turning the user's environment into privacy mode on the virtual disk and
// back: temporary and shell folders, the applications' settings files, their
// registry items (through the switch database on the disk), the mode marker
// and the file redirection.
#pragma once
#include <windows.h>

// Enters privacy mode on the drive with this letter. Always 1.
int EnterPrivacyEnvironment(WCHAR letter);

// Leaves privacy mode; the result of stopping the file redirection.
HRESULT LeavePrivacyEnvironment(void);

// 1 when the mode marker reads "inPrivate".
int IsInPrivacyMode(void);

// Winlogon's automatic restart of the shell, on (1) or off (0).
void SetAutoRestartShell(DWORD value);

// Swaps the listed registry items: mode 1 into privacy mode, 2 back.
void SwitchRegistryState(int mode);

// Points the listed settings-file entries of installed applications at the
// drive (keeping a ".vgrd" backup of each file), and puts the files back.
void RedirectAppProfiles(WCHAR letter);
void RestoreAppProfiles(void);

// The Converting dialog while a registry switch runs (null otherwise).
extern HWND g_hConvertingDlg;
