// A first-fit allocator over one locked region. Blocks carry a 16-byte
// header (payload size and a used flag) and are 16-byte aligned; neighbouring
// free blocks are merged while searching. The arena serves a few hundred
// blocks at most (key schedules and hash states), so a linear walk is cheap.
#include "crypto/secure_arena.h"

#include <cstdlib>
#include <cstring>

#include <gcrypt.h>

#include "crypto/arena_lock.h"
#include "crypto/secure_memory.h"

namespace {

// 64-bit fields in every build, so that the header is 16 bytes in the
// 32-bit program too.
struct BlockHeader {
    uint64_t size;  // payload bytes behind the header
    uint64_t used;
};
static_assert(sizeof(BlockHeader) == 16, "payloads stay 16-byte aligned");

constexpr size_t Alignment = 16;

struct Arena {
    unsigned char *base = nullptr;
    size_t capacity = 0;
    size_t inUse = 0;
    size_t peak = 0;
    uint64_t served = 0;
    uint64_t refused = 0;
    bool locked = false;
};

Arena &TheArena()
{
    static Arena arena;
    return arena;
}

BlockHeader *HeaderOf(void *payload) { return reinterpret_cast<BlockHeader *>(payload) - 1; }

BlockHeader *NextBlock(Arena &a, BlockHeader *b)
{
    unsigned char *next = reinterpret_cast<unsigned char *>(b + 1) + b->size;
    return next < a.base + a.capacity ? reinterpret_cast<BlockHeader *>(next) : nullptr;
}

bool Inside(const Arena &a, const void *p)
{
    const unsigned char *c = static_cast<const unsigned char *>(p);
    return a.base != nullptr && c >= a.base && c < a.base + a.capacity;
}

// Caller holds the lock.
void *AllocateLocked(Arena &a, size_t size)
{
    if (a.base == nullptr || size == 0 || size > a.capacity) {
        a.refused++;
        return nullptr;
    }
    size_t need = (size + Alignment - 1) / Alignment * Alignment;
    for (BlockHeader *b = reinterpret_cast<BlockHeader *>(a.base); b != nullptr; b = NextBlock(a, b)) {
        if (b->used)
            continue;
        for (BlockHeader *n = NextBlock(a, b); n != nullptr && !n->used; n = NextBlock(a, b)) {
            b->size += sizeof(BlockHeader) + n->size;  // merge the free neighbour (its payload is wiped)
            BurnMemory(n, sizeof(BlockHeader));
        }
        if (b->size < need)
            continue;
        if (b->size >= need + sizeof(BlockHeader) + Alignment) {
            BlockHeader *rest = reinterpret_cast<BlockHeader *>(reinterpret_cast<unsigned char *>(b + 1) + need);
            rest->size = b->size - need - sizeof(BlockHeader);
            rest->used = 0;
            b->size = need;
        }
        b->used = 1;
        a.inUse += sizeof(BlockHeader) + static_cast<size_t>(b->size);
        if (a.inUse > a.peak)
            a.peak = a.inUse;
        a.served++;
        return b + 1;  // free payloads are all zeros
    }
    a.refused++;
    return nullptr;
}

// While the random pool stirs, the library frees a copy of the pool's hash
// state for nearly every hash, thousands of times per poll: payloads are
// zeroed with memset rather than byte by byte. The barrier makes the
// compiler treat the zeros as read, so the stores stay even though nothing
// reads the block before it is handed out again.
void WipePayload(void *memory, size_t size)
{
    std::memset(memory, 0, size);
    __asm__ __volatile__("" : : "r"(memory) : "memory");
}

void FreeLocked(Arena &a, void *memory)
{
    BlockHeader *b = HeaderOf(memory);
    WipePayload(memory, static_cast<size_t>(b->size));
    b->used = 0;
    a.inUse -= sizeof(BlockHeader) + static_cast<size_t>(b->size);
}

// The library's handlers: ordinary memory from the C heap, secure memory
// from the arena only.
void *HeapAllocate(size_t size) { return std::malloc(size); }

int IsSecure(const void *memory) { return SecureArenaContains(memory) ? 1 : 0; }

void *AnyReallocate(void *memory, size_t size)
{
    if (SecureArenaContains(memory))
        return SecureArenaReallocate(memory, size);
    return std::realloc(memory, size);
}

void AnyFree(void *memory)
{
    if (SecureArenaContains(memory))
        SecureArenaFree(memory);
    else
        std::free(memory);
}

}  // namespace

void *SecureArenaAllocate(size_t size)
{
    Arena &a = TheArena();
    ArenaLockGuard guard;
    return AllocateLocked(a, size);
}

void *SecureArenaReallocate(void *memory, size_t size)
{
    Arena &a = TheArena();
    ArenaLockGuard guard;
    if (memory == nullptr)
        return AllocateLocked(a, size);
    BlockHeader *old = HeaderOf(memory);
    if (size <= old->size)
        return memory;
    void *moved = AllocateLocked(a, size);
    if (moved == nullptr)
        return nullptr;  // the old block stays valid, as realloc promises
    std::memcpy(moved, memory, static_cast<size_t>(old->size));
    FreeLocked(a, memory);
    return moved;
}

void SecureArenaFree(void *memory)
{
    Arena &a = TheArena();
    ArenaLockGuard guard;
    if (Inside(a, memory))
        FreeLocked(a, memory);
}

bool SecureArenaContains(const void *memory)
{
    Arena &a = TheArena();
    return Inside(a, memory);  // base and capacity never change once set
}

bool InstallSecureArena()
{
    Arena &a = TheArena();
    {
        ArenaLockGuard guard;
        if (a.base == nullptr) {
            void *region = AllocatePinnedMemory(SECURE_ARENA_SIZE);
            if (region == nullptr)
                return false;
            a.base = static_cast<unsigned char *>(region);
            a.capacity = SECURE_ARENA_SIZE;
            a.locked = true;
            BlockHeader *first = reinterpret_cast<BlockHeader *>(a.base);
            first->size = a.capacity - sizeof(BlockHeader);
            first->used = 0;
        }
    }
    gcry_set_allocation_handler(HeapAllocate, SecureArenaAllocate, IsSecure, AnyReallocate, AnyFree);
    return true;
}

SecureArenaStats GetSecureArenaStats()
{
    Arena &a = TheArena();
    ArenaLockGuard guard;
    return SecureArenaStats{a.capacity, a.inUse, a.peak, a.served, a.refused, a.locked};
}

void ResetSecureArenaPeak()
{
    Arena &a = TheArena();
    ArenaLockGuard guard;
    a.peak = a.inUse;
}
