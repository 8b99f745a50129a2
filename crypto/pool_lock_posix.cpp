#include "crypto/pool_lock.h"

#include <mutex>

static std::recursive_mutex s_poolLock;

void PoolLockEnter(void) { s_poolLock.lock(); }
void PoolLockLeave(void) { s_poolLock.unlock(); }
