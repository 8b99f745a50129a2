// The mark that a newly created container carries at the start of its data
// area (encrypted like the rest of the area): it tells the volume driver
// emulation that the area holds no files yet, as opposed to a data area it
// cannot read, which it must never overwrite.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>

constexpr size_t FRESH_MARK_SIZE = 16;
inline const uint8_t *FreshMark() { return reinterpret_cast<const uint8_t *>("QDSKFRESHVOLUME1"); }
inline bool IsFreshMark(const uint8_t *plain) { return memcmp(plain, FreshMark(), FRESH_MARK_SIZE) == 0; }
