// The hidden main window: owner of the tray icon, its menu and the handlers
// of the system events that end privacy mode.
#pragma once
#include <windows.h>

LRESULT CALLBACK MainWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

// The tray icon's pop-up menu; Logoff in place of Login while mounted.
HMENU BuildTrayMenu(BOOL mounted);

// Folder of the executable followed by "vdisk.dat" (ANSI), set at creation.
extern char g_szContainerPath[MAX_PATH];
// Drive letter for the login, set at creation.
extern char g_cLoginDrive;
