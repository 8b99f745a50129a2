// Memory for secrets: a wipe the compiler cannot drop, and page-granular
// allocations that are locked in physical memory for their whole life.
#pragma once
#include <cstddef>

// Overwrites size bytes with zeros, byte by byte, through a volatile pointer
// so that the stores survive optimisation even right before a free.
void BurnMemory(void *memory, size_t size);

// Zero-filled memory of its own pages, locked against paging (best effort:
// an allocation whose lock is refused by the system is still returned).
// Null when the memory itself cannot be had.
void *AllocateLockedMemory(size_t size);

// Like AllocateLockedMemory, but null unless the lock holds: for memory
// that must never be pageable. Released with FreeLockedMemory.
void *AllocatePinnedMemory(size_t size);

// Wipes, unlocks and releases memory from AllocateLockedMemory. Null is fine.
void FreeLockedMemory(void *memory, size_t size);

// Locks/unlocks an existing range (best effort); true when the lock holds.
bool LockMemoryRange(void *memory, size_t size);
void UnlockMemoryRange(void *memory, size_t size);

// Owns one locked allocation for the length of a scope; wipes it on every
// path out.
template <typename T>
class LockedBuffer {
public:
    LockedBuffer() : p_(static_cast<T *>(AllocateLockedMemory(sizeof(T)))) {}
    ~LockedBuffer() { FreeLockedMemory(p_, sizeof(T)); }
    LockedBuffer(const LockedBuffer &) = delete;
    LockedBuffer &operator=(const LockedBuffer &) = delete;
    explicit operator bool() const { return p_ != nullptr; }
    T *get() const { return p_; }
    T *operator->() const { return p_; }
    T &operator*() const { return *p_; }

private:
    T *p_;
};
