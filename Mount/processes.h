// Process utilities: Explorer restarts around a mode switch, and the check
// for a security suite known to disturb the program.
#pragma once
#include <windows.h>

// Ends every process whose executable path contains "explorer.exe".
void EndExplorerProcesses(void);

// Starts "explorer.exe" and waits up to a second for it to become idle;
// under Wine only when the desktop process (the shell there) is gone.
void StartExplorer(void);

// One warning box when the known security suite is running.
void WarnAboutSecuritySoftware(HWND owner);
