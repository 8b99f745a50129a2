// The connection to the redirection minifilter: started as the last step of
// entering privacy mode, stopped as the last step of leaving it.
//
// The filter thread loads the minifilter (installing it once from
// "sidestep.inf" beside the executable when it is missing), connects to its
// port with the redirection device as context, and serves its requests on 64
// workers fed by one completion port, each answering with MatchRedirect's
// decision. Unloading the minifilter fails every pending request, which ends
// the workers and then the filter thread.
#pragma once
#include <windows.h>

// Starts the filter thread; whether it was created.
bool StartRedirectionFilter(void);

// Unloads the minifilter, which ends the workers and the filter thread; the
// result of the unload.
HRESULT StopRedirectionFilter(void);

// Installs the minifilter from "sidestep.inf" in the executable's folder.
void InstallRedirectionFilter(void);

// The filter thread's body (no argument).
DWORD WINAPI RunRedirectionFilter(LPVOID unused);

// A worker's body; context is the FilterPortContext of the connection.
DWORD WINAPI RedirectionWorker(LPVOID context);
