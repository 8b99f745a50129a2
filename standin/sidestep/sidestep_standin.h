// The kernel side of the redirection minifilter's stand-in, for tests, the
// benchmark and the sidestep tool. The program reaches the stand-in only
// through the filter seam (redirect/filter_seam.h).
//
// The port is a named pipe: the program's port handle is the overlapped
// client end, the server end stays here. A request is one pipe message of at
// most 1040 bytes (header and Path) with a MessageId filled in here; a reply
// is the program's 1040-byte message the other way, matched back to the
// request by its MessageId.
#pragma once
#include <windows.h>

#include <cstddef>

struct SidestepStandinCounters {
    int installAttempts;  // InstallHinfSectionW calls
    int installs;         // of them, from an INF that installs the minifilter
    int loads;            // successful loads
    int unloads;          // successful unloads
    int connects;         // successful port connections
    int stopsAnswered;    // unloads whose file system said C: is back
                          // (one that does not is waited for, then C: is
                          // given back from the program's side)
    LONG64 sent;          // requests written to the port
    LONG64 answered;      // replies matched to a waiting request
    LONG64 unmatched;     // replies with an unknown or already answered
                          // MessageId, or of a size other than 1040
};

// The answer to one request.
struct SidestepAnswer {
    LONG status;
    ULONGLONG messageId;  // of the request; the reply carried the same
    WCHAR target[512];
};

// Back to "not installed": the connection is cut (the program's pending
// requests fail), the minifilter unloaded, the counters zero.
void SidestepStandinReset(void);
// As if someone else had installed (and maybe loaded) the minifilter.
void SidestepStandinPreset(BOOL installed, BOOL loaded);
void SidestepStandinGetCounters(SidestepStandinCounters *counters);
BOOL SidestepStandinIsLoaded(void);
// While held, every load waits (ten seconds at most) before it looks at the
// state, as a slow Filter Manager would; the number of loads waiting now.
void SidestepStandinHoldLoads(BOOL hold);
int SidestepStandinLoadsWaiting(void);
// Whether a connection interposes the prefix's C: drive (on unless turned
// off; for the tools that only exercise the port).
void SidestepStandinInterpose(BOOL on);
// While held, the file system's questions wait unanswered (20 s at most), as
// with a program that hangs.
void SidestepStandinHoldAnswers(BOOL hold);
// Waits until a program is connected to the port and the prefix's C: drive
// is served for it; FALSE after the timeout.
BOOL SidestepStandinWaitConnected(DWORD timeoutMs);
// The context the program connected with (up to 260 units, terminated).
void SidestepStandinContext(WCHAR *out);

// One request for an NT path (at most 511 units), as the minifilter sends it:
// a full 1040-byte message. Waits for the answer: FALSE when there is no
// connection, it went away, or no answer came within ten seconds.
BOOL SidestepStandinAsk(const WCHAR *ntPath, SidestepAnswer *answer);
// A message of any content and size (at most 1040 bytes). When it is long
// enough to hold a MessageId, the stand-in writes its own there and waits for
// the answer as above; a shorter one is only sent (TRUE, messageId 0).
BOOL SidestepStandinAskRaw(const void *message, DWORD size, SidestepAnswer *answer);
// Many requests at once: requesters threads take the paths in turn until all
// are asked. answers (count records) and latencyUs (microseconds per request)
// may be null. The number of requests answered.
size_t SidestepStandinAskMany(const WCHAR *const *paths, size_t count, int requesters, SidestepAnswer *answers,
                              DWORD *latencyUs);
