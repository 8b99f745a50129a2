// The connection to the redirection minifilter: started as the last step of
// entering privacy mode, stopped as the last step of leaving it.
//
// The filter thread loads the minifilter (installing it once from
// "sidestep.inf" beside the executable when it is missing), connects to its
// port with the redirection device as context, and serves its requests on 64
// workers fed by one completion port, each answering with MatchRedirect's
// decision. Unloading the minifilter fails every pending request, which ends
// the workers and then the filter thread.
//
// Every start opens a new session (a generation number). A stop belongs to
// the session it finds: one that arrives before the thread has loaded the
// minifilter makes the thread unload it again and end without serving, and a
// thread of an older session never unloads the minifilter of a newer one.
// Stop, a new start, the drive binding and freeing the rules wait (with a
// time limit) until the previous thread and its workers have ended.
#pragma once
#include <windows.h>

// The window that ends the session and the WM_COMMAND identifier that asks it
// to (posted with lParam 1: without asking) when the minifilter cannot be
// loaded. Without a window the session is not ended from here.
void SetRedirectionFilterLogoff(HWND owner, UINT logoffCommand);

// Starts the filter thread of a new session; whether it was created. A
// previous session's thread still ending is waited for first.
bool StartRedirectionFilter(void);

// Ends the current session: unloads the minifilter, which ends the workers
// and the filter thread, and waits for them (at most about ten seconds). The
// result of this unload: the Filter Manager's error when there was nothing to
// unload, also when the session's thread had not loaded the minifilter yet
// (it then unloads its own load and ends without serving).
HRESULT StopRedirectionFilter(void);

// Waits (at most timeoutMs) until no filter thread is running; whether none
// is. Does not stop anything.
bool WaitRedirectionFilterEnded(DWORD timeoutMs);

// Stops the current session if there is one and waits (about ten seconds at
// most) for its thread and workers to end; whether they did. For freeing
// what the workers read.
bool EndRedirectionFilter(void);

// Installs the minifilter from "sidestep.inf" in the executable's folder.
void InstallRedirectionFilter(void);

// A worker's body; context is the FilterPortContext of the connection.
DWORD WINAPI RedirectionWorker(LPVOID context);
