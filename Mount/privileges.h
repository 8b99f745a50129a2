// Privileges of the process token.
#pragma once
#include <windows.h>

// Turns the named privilege on or off. Returns 0 or the Windows error code
// (ERROR_NOT_ALL_ASSIGNED when the token does not hold it).
DWORD SetPrivilege(const WCHAR *name, BOOL enable);

// Turns "SeDebugPrivilege" on; done after every mount and dismount.
DWORD EnableDebugPrivilege(void);
