// The session flows that tie the subsystems together: the login at start-up
// and from the menu, the logoff, and the change of the container's password.
#pragma once
#include <windows.h>

BOOL StartupLogin(HWND owner, char drive, const char *containerPath);
int Login(HWND owner, int drive);
int Logoff(HWND owner, BOOL force, BOOL interactive, int attempts, DWORD delayMs);
// The logoff the user chose (the menu's Logoff and Quit): asks whether to
// force the dismount when a file stays open on the drive. The automatic
// logoffs (screen saver, suspend, end of the session) cannot ask and must
// not leave the drive's contents reachable: they call Logoff with force.
int UserLogoff(HWND owner);
void ChangePassword(HWND owner);
