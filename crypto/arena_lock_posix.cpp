#include "crypto/arena_lock.h"

#include <mutex>

static std::mutex s_arenaLock;

void ArenaLockEnter(void) { s_arenaLock.lock(); }
void ArenaLockLeave(void) { s_arenaLock.unlock(); }
