// Starting and stopping the random pool on Windows: the pool memory, the
// keyboard and mouse hooks of the calling (user-interface) thread, the
// CryptoAPI provider and the polling thread that runs a quick poll every
// half second. Draw with GetRandomBytes (random_pool.h) while it runs.
#pragma once

// 0 when started (or already running), 1 when it could not be started.
int StartRandomPool();

// Removes the hooks, ends the polling thread, releases the provider and the
// network library, and wipes and frees the pool. Nothing when not started.
void StopRandomPool();
