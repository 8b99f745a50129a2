// The filter thread: loads the minifilter, connects to its port, runs the
// pool of workers until the minifilter is unloaded, then cleans up. Starts
// and stops are numbered sessions so that a late stop, a late thread or a
// slow pool of one session never acts on the next.
#include "redirect/redirection_filter.h"

#include <cstdio>

#include "Mount/language.h"
#include "Mount/msgbox.h"
#include "common/token_privileges.h"
#include "redirect/filter_records.h"
#include "redirect/redirect_rules.h"

namespace {

const WCHAR FilterName[] = L"Sidestep";
const WCHAR PortName[] = L"\\ReparsePort";
const HRESULT FilterNotFound = HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
const HRESULT RequestPending = HRESULT_FROM_WIN32(ERROR_IO_PENDING);
// How long a stop, a new start or the end of the rules waits for a session's
// thread and its workers; a pool that does not end by then is left alone
// (its memory is not freed under it).
const DWORD EndTimeoutMs = 10000;

// The sessions. The lock also covers every load and unload of the
// minifilter, so that "is this session still on" and the load or unload it
// allows happen as one step.
struct Sessions {
    CRITICAL_SECTION lock;
    ULONG generation = 0;  // of the latest start
    bool stopped = true;   // the latest session was stopped
    // Counted before a stop waits for the lock, so that a thread between
    // two steps sees a stop that is on its way.
    volatile LONG stopRequests = 0;
    HANDLE ended = nullptr;  // set when the latest session's thread is done with the filter
    HWND owner = nullptr;
    UINT logoffCommand = 0;
    Sessions() { InitializeCriticalSection(&lock); }
};

Sessions s_sessions;

struct Locked {
    Locked() { EnterCriticalSection(&s_sessions.lock); }
    ~Locked() { LeaveCriticalSection(&s_sessions.lock); }
};

struct ThreadStart {
    ULONG generation;
    LONG stops;  // stop requests when the session started
    HANDLE ended;
};

// With the lock held: whether this session is the latest and no stop has
// been asked for since it started.
bool IsCurrent(const ThreadStart &start)
{
    return start.generation == s_sessions.generation && !s_sessions.stopped &&
           InterlockedCompareExchange(&s_sessions.stopRequests, 0, 0) == start.stops;
}

enum LoadResult { Loaded, Missing, Stopped };

// Loads the minifilter, installing it once from its INF when the Filter
// Manager does not know it. Any other result of the load (it may already be
// loaded) goes on to connect. Stopped when the session was stopped before
// the load: then nothing is loaded.
LoadResult LoadFilter(const ThreadStart &start)
{
    bool installAllowed = true;
    SetPrivilege(L"SeLoadDriverPrivilege", TRUE);
    for (;;) {
        {
            Locked guard;
            if (!IsCurrent(start))
                return Stopped;
            HRESULT result = FilterSeamLoad(FilterName);
            if (result != FilterNotFound) {
                // A stop asked for during the load: undo this load.
                if (!IsCurrent(start)) {
                    if (SUCCEEDED(result))
                        FilterSeamUnload(FilterName);
                    return Stopped;
                }
                return Loaded;
            }
        }
        if (!installAllowed)
            return Missing;
        installAllowed = false;
        InstallRedirectionFilter();
    }
}

// One worker and its share of outstanding requests. False when the worker
// cannot be created or a request cannot be queued.
bool StartWorker(FilterPortContext *context, HANDLE *worker)
{
    *worker = CreateThread(nullptr, 0, RedirectionWorker, context, 0, nullptr);
    if (!*worker)
        return false;
    for (int i = 0; i < REDIRECT_PRIMED_PER_WORKER; ++i) {
        // Kept while the process lives: a buffer may still be the target of
        // a request the system completes late.
        RedirectMessage *message = static_cast<RedirectMessage *>(
            HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(RedirectMessage)));
        if (!message) {
            ShowError(GetString("OUTOFMEMORY"));
            return false;
        }
        if (ArmRedirectMessage(context->port, message) != RequestPending) {
            HeapFree(GetProcessHeap(), 0, message);
            return false;
        }
    }
    return true;
}

// Serves the connection until the minifilter goes away; closes the port.
void Serve(HANDLE port)
{
    // Read by every worker; freed only once all of them have ended.
    FilterPortContext *context = static_cast<FilterPortContext *>(
        HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(FilterPortContext)));
    HANDLE completion = CreateIoCompletionPort(port, nullptr, 0, REDIRECT_WORKERS);
    if (!context || !completion) {
        if (completion)
            CloseHandle(completion);
        if (context)
            HeapFree(GetProcessHeap(), 0, context);
        CloseHandle(port);
        return;
    }
    context->port = port;
    context->completion = completion;
    HANDLE workers[REDIRECT_WORKERS];
    DWORD count = 0;
    bool serving = true;
    while (serving && count < REDIRECT_WORKERS) {
        HANDLE worker = nullptr;
        serving = StartWorker(context, &worker);
        if (worker)
            workers[count++] = worker;
    }

    bool joined = true;
    if (serving) {
        // Normally every worker ends when the unload fails its pending
        // request; that is the end of the session.
        WaitForMultipleObjects(count, workers, TRUE, INFINITE);
    } else if (count) {
        // The pool could not be completed: an empty packet per worker ends
        // each one after the request it may be answering. The port stays
        // open until they have ended, since they reply on it.
        for (DWORD i = 0; i < count; ++i)
            PostQueuedCompletionStatus(completion, 0, 0, nullptr);
        joined = WaitForMultipleObjects(count, workers, TRUE, EndTimeoutMs) < WAIT_OBJECT_0 + count;
    }
    for (DWORD i = 0; i < count; ++i)
        CloseHandle(workers[i]);
    if (!joined)
        return;  // a worker still uses the port, the completion port and the context
    CloseHandle(port);
    CloseHandle(completion);
    HeapFree(GetProcessHeap(), 0, context);
}

DWORD WINAPI RunRedirectionFilter(LPVOID param)
{
    ThreadStart start = *static_cast<ThreadStart *>(param);
    HeapFree(GetProcessHeap(), 0, param);

    LoadResult loaded = LoadFilter(start);
    if (loaded != Loaded) {
        HWND owner;
        UINT logoff;
        {
            Locked guard;
            owner = s_sessions.owner;
            logoff = s_sessions.logoffCommand;
        }
        SetEvent(start.ended);
        if (loaded == Stopped)
            return 0;
        // Privacy mode without redirection would leave traces on the real
        // disks: end the session (lParam 1: without asking), then explain.
        // Posted: the session flow may be inside a broadcast of its own
        // right now and must not run the logoff nested in it.
        if (owner)
            PostMessageW(owner, WM_COMMAND, logoff, 1);
        ShowError(GetString("WARNING360"));
        SetLastError(static_cast<DWORD>(-1));
        return static_cast<DWORD>(-1);
    }

    fputs("Sidestep: Connecting to the filter ...\n", stdout);
    fflush(stdout);
    HANDLE port = nullptr;
    HRESULT connected = E_ABORT;
    {
        // Not after a stop: the connection would only be cut again.
        Locked guard;
        // The context is the redirection device, the whole 520-byte buffer.
        if (IsCurrent(start))
            connected = FilterSeamConnectPort(PortName, 0, g_redirectionDevice, sizeof g_redirectionDevice, nullptr,
                                              &port);
    }
    if (SUCCEEDED(connected))
        Serve(port);
    {
        // Normally the session was stopped, which unloaded the minifilter.
        // Otherwise (no connection, a pool that could not be completed) it
        // is unloaded here, unless a newer session owns it by now.
        Locked guard;
        if (IsCurrent(start))
            FilterSeamUnload(FilterName);
    }
    SetEvent(start.ended);
    return 0;
}

} // namespace

void SetRedirectionFilterLogoff(HWND owner, UINT logoffCommand)
{
    Locked guard;
    s_sessions.owner = owner;
    s_sessions.logoffCommand = logoffCommand;
}

bool WaitRedirectionFilterEnded(DWORD timeoutMs)
{
    HANDLE ended = nullptr, own = nullptr;
    {
        Locked guard;
        own = s_sessions.ended;
        if (!own)
            return true;
        if (!DuplicateHandle(GetCurrentProcess(), own, GetCurrentProcess(), &ended, 0, FALSE,
                             DUPLICATE_SAME_ACCESS))
            return false;
    }
    bool done = WaitForSingleObject(ended, timeoutMs) == WAIT_OBJECT_0;
    CloseHandle(ended);
    if (done) {
        // The session's thread is done with the filter: its event is not
        // needed any more (unless a newer session replaced it meanwhile).
        Locked guard;
        if (s_sessions.ended == own) {
            CloseHandle(own);
            s_sessions.ended = nullptr;
        }
    }
    return done;
}

bool EndRedirectionFilter(void)
{
    bool live;
    {
        Locked guard;
        live = !s_sessions.stopped;
    }
    if (live)
        StopRedirectionFilter();
    return WaitRedirectionFilterEnded(EndTimeoutMs);
}

bool StartRedirectionFilter(void)
{
    {
        Locked guard;
        // The current session is still served: nothing to start.
        if (!s_sessions.stopped && s_sessions.ended && WaitForSingleObject(s_sessions.ended, 0) == WAIT_TIMEOUT)
            return true;
    }
    // A stopped session's pool may still be draining; it reads the rules and
    // the redirection device, which the new session is about to use.
    if (!WaitRedirectionFilterEnded(EndTimeoutMs))
        return false;

    ThreadStart *start = static_cast<ThreadStart *>(HeapAlloc(GetProcessHeap(), 0, sizeof(ThreadStart)));
    HANDLE ended = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!start || !ended) {
        if (start)
            HeapFree(GetProcessHeap(), 0, start);
        if (ended)
            CloseHandle(ended);
        return false;
    }
    g_endRuleReaders = EndRedirectionFilter;
    Locked guard;
    start->generation = ++s_sessions.generation;
    start->stops = InterlockedCompareExchange(&s_sessions.stopRequests, 0, 0);
    start->ended = ended;
    HANDLE thread = CreateThread(nullptr, 0, RunRedirectionFilter, start, 0, nullptr);
    if (!thread) {
        HeapFree(GetProcessHeap(), 0, start);
        CloseHandle(ended);
        s_sessions.stopped = true;
        return false;
    }
    CloseHandle(thread);
    if (s_sessions.ended)
        CloseHandle(s_sessions.ended);
    s_sessions.ended = ended;
    s_sessions.stopped = false;
    return true;
}

HRESULT StopRedirectionFilter(void)
{
    HRESULT result;
    InterlockedIncrement(&s_sessions.stopRequests);
    {
        Locked guard;
        s_sessions.stopped = true;
        result = FilterSeamUnload(FilterName);
    }
    WaitRedirectionFilterEnded(EndTimeoutMs);
    return result;
}
