// The connection to the redirection minifilter: started as the last step of
// entering privacy mode, stopped as the last step of leaving it.
#pragma once
#include <windows.h>

// Starts the filter thread; whether it was created.
bool StartRedirectionFilter(void);

// Unloads the minifilter, which ends the workers and the filter thread; the
// result of the unload.
HRESULT StopRedirectionFilter(void);
