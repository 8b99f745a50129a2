// The random pool's lock: recursive, on the platform's own primitive. The
// Windows build uses a critical section, since the C++ thread library's
// Windows runtime imports functions that Windows 2000 and XP lack.
#pragma once

void PoolLockEnter(void);
void PoolLockLeave(void);

struct PoolLockGuard {
    PoolLockGuard() { PoolLockEnter(); }
    ~PoolLockGuard() { PoolLockLeave(); }
    PoolLockGuard(const PoolLockGuard &) = delete;
    PoolLockGuard &operator=(const PoolLockGuard &) = delete;
};
