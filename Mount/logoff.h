// Leaving privacy mode: the environment goes back, the virtual disk's
// Explorer windows close, every volume is dismounted and the shell restarts.
#pragma once
#include <windows.h>

// Posts WM_CLOSE to every Explorer folder window that shows the drive
// (0 = A:). 1 when at least one window was asked to close.
int CloseDriveExplorerWindows(HWND owner, int drive);
