// The program's code for the Windows version it runs on; the volume code and
// the start-up checks branch on it.
#pragma once
#include <cstdint>

enum {
    WIN_UNKNOWN = 0,
    WIN_32S = 1,
    WIN_95 = 2,
    WIN_98 = 3,
    WIN_ME = 4,
    WIN_NT4 = 6,
    WIN_2000 = 7,
    WIN_XP = 8,
    WIN_XP64 = 9,
    WIN_SERVER_2003 = 10,
    WIN_VISTA_OR_LATER = 13,
};

// platformId, major, minor and productType as OSVERSIONINFOEXW reports them
// (platform 0 Win32s, 1 Windows 9x, 2 NT; product type 1 workstation,
// 2 domain controller, 3 server).
int ComputeWindowsVersionCode(uint32_t platformId, uint32_t major, uint32_t minor, uint8_t productType);
