// The privileges the shell turns on, through the one token routine.
#include "privileges.h"

DWORD EnableDebugPrivilege(void)
{
    return SetPrivilege(L"SeDebugPrivilege", TRUE);
}
