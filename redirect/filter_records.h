// The records exchanged with the redirection minifilter and the shared state
// of the threads that serve it.
#pragma once
#include <windows.h>

#include <cstddef>

#include "redirect/filter_seam.h"

enum {
    REDIRECT_PATH_UNITS = 512,      // Path and Target, terminator included
    REDIRECT_WIRE_SIZE = 1040,      // header and Path (or Target): what the port carries
    REDIRECT_WORKERS = 64,          // also the completion port's concurrency
    REDIRECT_PRIMED_PER_WORKER = 5, // outstanding requests per worker
};

// One outstanding request: the header and Path the minifilter sends, then the
// OVERLAPPED of the pending get-message, from which a completion finds its
// buffer again.
struct RedirectMessage {
    FilterMessageHeader header;          // ReplyLength, MessageId
    WCHAR Path[REDIRECT_PATH_UNITS];     // the NT path being accessed
    OVERLAPPED Overlapped;
};

// The answer to one request; one per worker.
struct RedirectReply {
    FilterReplyHeader header;            // Status (always 0), MessageId
    WCHAR Target[REDIRECT_PATH_UNITS];   // NT path to re-point to, or empty
};

// Read by every worker: the connection and its completion port.
struct FilterPortContext {
    HANDLE port;
    HANDLE completion;
};

static_assert(offsetof(RedirectMessage, Path) == 16, "Path follows the header");
static_assert(offsetof(RedirectMessage, Overlapped) == REDIRECT_WIRE_SIZE, "OVERLAPPED follows the Path");
static_assert(sizeof(RedirectReply) == REDIRECT_WIRE_SIZE, "reply size");
static_assert(offsetof(RedirectReply, Target) == 16, "Target follows the header");
#if defined(_WIN32) && !defined(_WIN64) && !defined(__WINE__)
// The 32-bit program's layout; a 64-bit OVERLAPPED is larger.
static_assert(sizeof(OVERLAPPED) == 20, "32-bit OVERLAPPED");
static_assert(sizeof(RedirectMessage) == 1064, "32-bit message buffer");
#endif

// Clears a request buffer (header, Path, OVERLAPPED) and queues it for the
// next message on the port: HRESULT_FROM_WIN32(ERROR_IO_PENDING) when queued.
HRESULT ArmRedirectMessage(HANDLE port, RedirectMessage *message);

// The request's Path when it is a terminated string inside the bytes the port
// delivered (bytes counts the header too); null for a malformed request.
const WCHAR *RequestPath(const RedirectMessage *message, DWORD bytes);
