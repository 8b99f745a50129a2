// CRC-32 as used by the volume header, the start-up checksum and the random
// pool's input hooks: the reflected polynomial 0xEDB88320, table-driven.
#pragma once
#include <cstddef>
#include <cstdint>

// The standard CRC-32: initial value all ones, final inversion.
uint32_t Crc32(const void *data, size_t length);

// The CRC-32 of the four bytes of a 32-bit value, least significant first.
uint32_t Crc32OfInt(uint32_t value);

// The bare table chain: feeds bytes into crc without the initial value and
// without the final inversion (the input hooks start it from 0).
uint32_t Crc32Chain(uint32_t crc, const void *data, size_t length);
