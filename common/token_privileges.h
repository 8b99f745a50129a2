// Turning named privileges of the process token on and off: the one routine
// behind every privilege the program needs (debugging, loading drivers,
// backing up and restoring hives).
#pragma once
#include <windows.h>

// Turns the named privilege on or off. Returns 0 or the Windows error code
// (ERROR_NOT_ALL_ASSIGNED when the token does not hold it).
DWORD SetPrivilege(const WCHAR *name, BOOL enable);
