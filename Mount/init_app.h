// Start-up pieces called by the entry point.
#pragma once
#include <windows.h>

// Instance, version, COM, crash filter and the CustomDlg class. Ends the
// process on an unsupported system.
void InitApplication(HINSTANCE instance);

// Run at normal process exit: wipes the command line and releases what
// start-up registered.
void ExitCleanup(void);

// The update-check dialog procedure of start-up.
INT_PTR CALLBACK StartupCheckDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
