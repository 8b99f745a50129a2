// Starting and stopping the random pool on Windows: the pool memory, the
// keyboard and mouse hooks of the calling (user-interface) thread, the
// CryptoAPI provider and the polling thread that runs a quick poll every
// half second. Draw with GetRandomBytes (random_pool.h) while it runs.
#pragma once
#include <windows.h>

// How the pool reports failures to the user; the crypto library shows
// nothing itself. A message key (such as "ERR_NOT_ENOUGH_RANDOM_DATA"), and
// the last Windows error of a failed system call.
typedef void (*RandomPoolKeyReporter)(const char *key);
typedef DWORD (*RandomPoolWindowsErrorReporter)(HWND owner);

// 0 when started (or already running), 1 when it could not be started.
// Failures go to the reporters given (null: not shown); the shell passes
// ShowErrorKey and ShowLastWindowsError (Mount/msgbox.h).
int StartRandomPool(RandomPoolKeyReporter reportKey = nullptr,
                    RandomPoolWindowsErrorReporter reportWindowsError = nullptr);

// Removes the hooks, ends the polling thread, releases the provider and the
// network library, and wipes and frees the pool. Nothing when not started.
void StopRandomPool();
