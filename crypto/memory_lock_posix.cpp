// Locked secret memory on Linux (the native build and the Winelib build,
// whose process is a Linux process: mlock is what really pins the pages).
#include "crypto/secure_memory.h"

#include <sys/mman.h>
#include <unistd.h>

static size_t RoundToPages(size_t size)
{
    size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    if (page == 0)
        page = 4096;
    return (size + page - 1) / page * page;
}

void *AllocateLockedMemory(size_t size)
{
    if (size == 0)
        return nullptr;
    // Pages of its own, so that unlocking one secret never unlocks another
    // that shares a page with it.
    size_t length = RoundToPages(size);
    void *p = mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED)
        return nullptr;
#ifdef MADV_DONTDUMP
    madvise(p, length, MADV_DONTDUMP);
#endif
    mlock(p, length);  // refused beyond RLIMIT_MEMLOCK; the memory still serves
    return p;          // anonymous pages arrive zero-filled
}

void *AllocatePinnedMemory(size_t size)
{
    void *p = AllocateLockedMemory(size);
    if (p != nullptr && !LockMemoryRange(p, RoundToPages(size))) {
        FreeLockedMemory(p, size);
        return nullptr;
    }
    return p;
}

void FreeLockedMemory(void *memory, size_t size)
{
    if (memory == nullptr || size == 0)
        return;
    size_t length = RoundToPages(size);
    BurnMemory(memory, length);
    munlock(memory, length);
    munmap(memory, length);
}

bool LockMemoryRange(void *memory, size_t size)
{
    return memory != nullptr && mlock(memory, size) == 0;
}

void UnlockMemoryRange(void *memory, size_t size)
{
    if (memory != nullptr)
        munlock(memory, size);
}
