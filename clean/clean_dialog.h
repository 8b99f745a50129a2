// The clean-trace dialog: lists the installed applications with the number
// and size of their traces in the current mode and cleans the ticked ones.
#pragma once
#include <windows.h>

// Runs the dialog (modal, no owner). Returns when it is closed and its scan
// thread has ended.
void ShowCleanTraceDialog(void);

INT_PTR CALLBACK CleanTraceDialog(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

// Restarts (reboot) or shuts down Windows; FALSE when the shutdown privilege
// cannot be had or the system refuses.
bool RestartWindows(bool reboot);

// Whether a scan of the dialog is running now.
BOOL IsTraceScanRunning(void);
