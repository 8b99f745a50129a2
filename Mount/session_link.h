// What the shell needs from the volume driver, the session flows and the
// update check.
// The driver connection, the login, logoff, password change and cleaning are
// not part of this build yet: until they are, the program runs in normal mode
// only, with no volume ever mounted (see pending_flows.cpp).
#pragma once
#include <windows.h>

// Set while the program itself broadcasts a drive change.
extern volatile LONG IgnoreDeviceChange;

// Lowest free drive number from D: (3) to Z: (25), or -1 when all are taken.
int FirstFreeDrive(void);

BOOL WipePasswordCache(void);
BOOL AnyVolumeMounted(void);
BOOL IsContainerMounted(const char *containerPath);
void RefreshMountedList(void);
void DismountVolumesOnRemovedDrive(HWND owner, int removedDrive);

BOOL StartupLogin(HWND owner, char drive, const char *containerPath);
int Login(HWND owner, int drive);
int Logoff(HWND owner, BOOL force, BOOL interactive, int attempts, DWORD delayMs);
BOOL CloseTracedApplications(HWND owner, int mode);
void ChangePassword(HWND owner);
void ShowCleanTraceDialog(void);

// Start-up and exit.
void CheckForUpdates(HWND owner);
void DisconnectDriverAtExit(void);
