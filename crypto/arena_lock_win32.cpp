#include "crypto/arena_lock.h"

#include <windows.h>

// Ready before main runs, and never deleted: the library may free secure
// memory until the process ends.
static CRITICAL_SECTION s_arenaLock;
static const bool s_arenaLockReady = (InitializeCriticalSection(&s_arenaLock), true);

void ArenaLockEnter(void) { EnterCriticalSection(&s_arenaLock); }
void ArenaLockLeave(void) { LeaveCriticalSection(&s_arenaLock); }
