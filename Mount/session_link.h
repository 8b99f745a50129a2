// What the shell needs from the volume driver, the session flows and the
// update check. The driver connection, mount and dismount live in volume/;
// the cleaning is not part of this build yet (see pending_flows.cpp).
#pragma once
#include <windows.h>

#include "volume/driver_control.h"
#include "volume/mount.h"
#include "volume/volume_errors.h"

BOOL StartupLogin(HWND owner, char drive, const char *containerPath);
int Login(HWND owner, int drive);
int Logoff(HWND owner, BOOL force, BOOL interactive, int attempts, DWORD delayMs);
BOOL CloseTracedApplications(HWND owner, int mode);
void ChangePassword(HWND owner);
void ShowCleanTraceDialog(void);
