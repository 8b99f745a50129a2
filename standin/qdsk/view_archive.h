// How the stand-in keeps a mounted volume's files inside the container: the
// folder tree of the mounted view packed into one frame that is encrypted
// into the container's data area at dismount and unpacked at mount.
//
// Frame: "QDSKVIEW", u32 format (1), u32 entry count, u64 payload length,
// u32 CRC-32 of the payload, 4 zero bytes, then the payload: per entry u8
// type (1 folder, 2 file), u16 path length, u32 mode bits, u64 size, the
// path (relative, '/'-separated) and the file's bytes. All little-endian.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

constexpr size_t VIEW_FRAME_HEADER = 32;

// Memory that holds a volume's plain files is overwritten before it is
// given back, also when a buffer grows and moves.
template <class T> struct WipingAllocator {
    using value_type = T;
    WipingAllocator() = default;
    template <class U> WipingAllocator(const WipingAllocator<U> &) {}
    T *allocate(size_t n) { return std::allocator<T>().allocate(n); }
    void deallocate(T *p, size_t n)
    {
        volatile unsigned char *b = reinterpret_cast<volatile unsigned char *>(p);
        for (size_t i = 0; i < n * sizeof(T); ++i)
            b[i] = 0;
        std::allocator<T>().deallocate(p, n);
    }
    template <class U> bool operator==(const WipingAllocator<U> &) const { return true; }
    template <class U> bool operator!=(const WipingAllocator<U> &) const { return false; }
};
using ViewBytes = std::vector<uint8_t, WipingAllocator<uint8_t>>;

// Packs the tree under dir. False when it cannot be read.
bool PackView(const std::string &dir, ViewBytes &frame);
// The whole frame's length from its first VIEW_FRAME_HEADER bytes, or 0
// when they do not start a frame (a fresh container holds random bytes).
uint64_t ViewFrameLength(const uint8_t *head);
// Unpacks a frame into dir (which exists). False when the frame is damaged
// or names a path outside dir.
bool UnpackView(const uint8_t *frame, size_t length, const std::string &dir);
// Overwrites every file under dir with zeros and removes the tree.
void WipeTree(const std::string &dir);
// Whether any of the process's descriptors points under dir (via
// /proc/<pid>/fd).
bool ProcessHasOpenUnder(int pid, const std::string &dir);
