// The secure arena's lock: on the platform's own primitive, like the random
// pool's (the C++ thread library's Windows runtime imports functions that
// Windows 2000 and XP lack). Held only inside the arena's own routines,
// which take no other lock.
#pragma once

void ArenaLockEnter(void);
void ArenaLockLeave(void);

struct ArenaLockGuard {
    ArenaLockGuard() { ArenaLockEnter(); }
    ~ArenaLockGuard() { ArenaLockLeave(); }
    ArenaLockGuard(const ArenaLockGuard &) = delete;
    ArenaLockGuard &operator=(const ArenaLockGuard &) = delete;
};
