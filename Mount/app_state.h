// Process-wide state of the application shell: set during start-up and read
// by the rest of the program.
#pragma once
#include <windows.h>

#include "winver_code.h"
#include "volume/password_record.h"



extern HINSTANCE g_hInst;
extern HWND g_hMainWnd;
extern WCHAR g_szProgramTitle[128];

extern int WindowsVersionCode;
extern DWORD g_dwOsMajor;
extern DWORD g_dwOsMinor;
extern DWORD g_dwServicePackMajor;
extern BOOL g_bRemoteSession;

extern QdskPassword g_LoginPassword;
extern MountOptions g_MountOptions;

// Overwrites a buffer with zeros in a way the compiler cannot drop.
void WipeMemory(void *p, SIZE_T n);
