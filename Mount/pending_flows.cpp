// The pieces of the tray window's world that belong to the volume driver and
// the session flows. Until those are built, no driver is connected: nothing
// can be mounted, so the program stays in normal mode, the Login, Logoff,
// Change password and Clean trace commands have nothing to act on, there is
// no password cache to wipe, and start-up asks the web server nothing.
#include "session_link.h"

volatile LONG IgnoreDeviceChange;

int FirstFreeDrive(void)
{
    DWORD used = GetLogicalDrives();
    for (int drive = 3; drive <= 25; ++drive)
        if (!(used & (1u << drive)))
            return drive;
    return -1;
}

BOOL WipePasswordCache(void) { return TRUE; }
BOOL AnyVolumeMounted(void) { return FALSE; }
BOOL IsContainerMounted(const char *) { return FALSE; }
void RefreshMountedList(void) {}
void DismountVolumesOnRemovedDrive(HWND, int) {}

BOOL StartupLogin(HWND, char, const char *) { return FALSE; }
int Login(HWND, int) { return 0; }
int Logoff(HWND, BOOL, BOOL, int, DWORD) { return 1; }
BOOL CloseTracedApplications(HWND, int) { return TRUE; }
void ChangePassword(HWND) {}
void ShowCleanTraceDialog(void) {}

void CheckForUpdates(HWND) {}
void DisconnectDriverAtExit(void) {}
