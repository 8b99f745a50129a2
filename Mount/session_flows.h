// The session flows that tie the subsystems together: the login at start-up
// and from the menu, the logoff, and the change of the container's password.
#pragma once
#include <windows.h>

BOOL StartupLogin(HWND owner, char drive, const char *containerPath);
int Login(HWND owner, int drive);
int Logoff(HWND owner, BOOL force, BOOL interactive, int attempts, DWORD delayMs);
void ChangePassword(HWND owner);
