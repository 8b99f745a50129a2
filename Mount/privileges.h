// Privileges of the process token.
#pragma once
#include <windows.h>

#include "common/token_privileges.h"  // SetPrivilege

// Turns "SeDebugPrivilege" on; done after every mount and dismount.
DWORD EnableDebugPrivilege(void);
