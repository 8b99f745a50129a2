// The notification-area icon that tells the mode.
#pragma once
#include <windows.h>

#define WM_TRAY_CALLBACK (WM_APP + 3)

// Thread procedures: each replaces the shown icon with its mode's icon and
// balloon. Start them with CreateThread(..., main window, ...).
DWORD WINAPI ShowPrivacyTrayIcon(LPVOID mainWindow);
DWORD WINAPI ShowNormalTrayIcon(LPVOID mainWindow);

// Starts one of the procedures above on a thread of its own.
void StartTrayIconThread(LPTHREAD_START_ROUTINE proc, HWND mainWindow);

BOOL RemoveTrayIcon(HWND mainWindow);

// Non-null while this program shows its icon.
extern HANDLE g_hTrayMutex;
