// Stirring the random pool: for each digest-sized slice of the pool, in
// order, the whole pool is hashed and the digest XORed into that slice.
//
// Two consecutive hashes of one stir read the same bytes up to the slice the
// earlier one changed, and no later hash of the stir changes anything before
// its own slice. So the hash state over the leading whole blocks that are
// settled is carried forward through the stir instead of being recomputed
// for every slice; each digest is still the hash of the whole pool as it
// stands. The hash handle is opened once per mixer (the process-wide pool
// keeps one while it is open) rather than once per hash, and its state is
// wiped after every stir.
#pragma once
#include <cstddef>
#include <cstdint>

struct PoolMixer;

// A mixer for repeated stirs; null when it cannot be had (StirPool then
// opens a handle of its own for each stir). The hash is chosen per stir.
PoolMixer *OpenPoolMixer();
void ClosePoolMixer(PoolMixer *mixer);  // null is fine

// Stirs size bytes with the mix hash (a PRF identifier; 1 to 4). False,
// with the pool stirred up to the failing slice, when the hash is unknown,
// does not divide size, or the library fails.
bool StirPool(PoolMixer *mixer, int32_t hash, uint8_t *pool, size_t size);
