// Locked secret memory on Windows: whole pages from VirtualAlloc, pinned
// with VirtualLock.
#include "crypto/secure_memory.h"

#include <windows.h>

void *AllocateLockedMemory(size_t size)
{
    if (size == 0)
        return nullptr;
    // Pages of its own, so that VirtualUnlock of one secret never unlocks
    // another that shares a page with it. VirtualAlloc memory is zero-filled.
    void *p = VirtualAlloc(nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (p == nullptr)
        return nullptr;
    VirtualLock(p, size);  // may be refused past the working-set quota
    return p;
}

void *AllocatePinnedMemory(size_t size)
{
    if (size == 0)
        return nullptr;
    // A process may lock little more than its minimum working set (a few
    // hundred KiB by default): grow both bounds by the size first.
    HANDLE self = GetCurrentProcess();
    SIZE_T minimum = 0, maximum = 0;
    if (GetProcessWorkingSetSize(self, &minimum, &maximum))
        SetProcessWorkingSetSize(self, minimum + size, maximum + size);
    void *p = VirtualAlloc(nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (p == nullptr)
        return nullptr;
    if (!VirtualLock(p, size)) {
        VirtualFree(p, 0, MEM_RELEASE);
        return nullptr;
    }
    return p;
}

void FreeLockedMemory(void *memory, size_t size)
{
    if (memory == nullptr || size == 0)
        return;
    BurnMemory(memory, size);
    VirtualUnlock(memory, size);
    VirtualFree(memory, 0, MEM_RELEASE);
}

bool LockMemoryRange(void *memory, size_t size)
{
    return memory != nullptr && VirtualLock(memory, size) != FALSE;
}

void UnlockMemoryRange(void *memory, size_t size)
{
    if (memory != nullptr)
        VirtualUnlock(memory, size);
}
