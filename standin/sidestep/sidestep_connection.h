// Inside the minifilter stand-in: the state of the port's connection, shared
// by the filter seam (sidestep_filter.cpp) and the requests of tests and
// tools (sidestep_requests.cpp).
#pragma once
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <semaphore>
#include <unordered_map>

#include "standin/sidestep/sidestep_standin.h"

namespace sidestep {

enum { WireSize = 1040 };

// A request waiting for its reply.
struct Waiter {
    std::binary_semaphore done{0};
    bool answered = false;
    SidestepAnswer *answer = nullptr;
};

// One connection of the program to the port. Lives while the reader thread
// or a request uses it; its server end is closed with the last user.
struct Connection {
    HANDLE server = INVALID_HANDLE_VALUE;  // the pipe's server end (overlapped)
    HANDLE reader = nullptr;               // thread reading the replies
    std::atomic<bool> open{true};
    std::atomic<bool> ready{false};        // C: is served (or needs not be)
    std::mutex lock;  // the waiting requests
    std::unordered_map<uint64_t, Waiter *> waiting;
    ~Connection();
};

// The current connection, or null.
std::shared_ptr<Connection> Current(void);
ULONGLONG NextMessageId(void);
void CountSent(void);
void CountStopAnswered(void);

// Writes one whole message without an event and without a completion
// packet, waiting for it when the pipe is full. FALSE on failure.
BOOL WriteMessage(HANDLE pipe, const void *data, DWORD size);

// The prefix's C: drive served by the file system process while there is a
// connection (sidestep_interpose.cpp). Start: whether the drive is served
// (with the redirection drive's device from the connection's context).
// Stop gives the drive back (ten seconds at most) and is a no-op when not
// started.
bool StartInterposition(const WCHAR *redirectionDevice);
void StopInterposition(void);
void SetInterposition(BOOL on);
void HoldAnswers(BOOL hold);
// The file system gave up on the program: unload as FilterUnload would.
void UnloadBySelf(void);

} // namespace sidestep
