// The look shared by the program's dialogs: the CustomDlg class that keeps a
// busy cursor on screen, the cursor operations of the long-running flows, and
// static controls turned into web links.
#pragma once
#include <windows.h>

LRESULT CALLBACK CustomDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

void ShowWaitCursor(void);
void ShowNormalCursor(void);
void ShowAppStartingCursor(void);
void ShowHandCursor(void);

void MakeHyperlink(HWND dialog, int controlId);

// The REDTICK window class (standard application icon, light grey brush).
BOOL RegisterRedTickClass(HINSTANCE instance);

// The About dialog procedure.
INT_PTR CALLBACK AboutDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

// The cursor the CustomDlg class shows while the mouse is over a dialog, or
// null for the class's own.
extern HCURSOR g_hCurrentCursor;
