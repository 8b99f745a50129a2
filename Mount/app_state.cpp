#include "app_state.h"

HINSTANCE g_hInst;
HWND g_hMainWnd;
WCHAR g_szProgramTitle[128];

int WindowsVersionCode;
DWORD g_dwOsMajor;
DWORD g_dwOsMinor;
DWORD g_dwServicePackMajor;
BOOL g_bRemoteSession;

QdskPassword g_LoginPassword;
MountOptions g_MountOptions;

void WipeMemory(void *p, SIZE_T n)
{
    volatile BYTE *b = static_cast<volatile BYTE *>(p);
    while (n--)
        *b++ = 0;
}
