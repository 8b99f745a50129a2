// The wipe shared by every build; the page allocation and locking live in
// memory_lock_posix.cpp and memory_lock_win32.cpp.
#include "crypto/secure_memory.h"

void BurnMemory(void *memory, size_t size)
{
    if (memory == nullptr)
        return;
    volatile unsigned char *p = static_cast<volatile unsigned char *>(memory);
    while (size--)
        *p++ = 0;
    // Keeps the stores ordered before whatever frees the memory next.
    __asm__ __volatile__("" : : "r"(memory) : "memory");
}
