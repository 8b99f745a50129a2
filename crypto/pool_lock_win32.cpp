#include "crypto/pool_lock.h"

#include <windows.h>

// Ready before main runs, and never deleted: the pool may be drawn from
// until the process ends.
static CRITICAL_SECTION s_poolLock;
static const bool s_poolLockReady = (InitializeCriticalSection(&s_poolLock), true);

void PoolLockEnter(void) { EnterCriticalSection(&s_poolLock); }
void PoolLockLeave(void) { LeaveCriticalSection(&s_poolLock); }
