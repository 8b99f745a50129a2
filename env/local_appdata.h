#pragma once
#include <windows.h>

// Writes "LocalAppData" into the machine's environment and announces the
// change. 1 on success, 0 after an error box.
int SetLocalAppDataDefault(void);

// Systems before Vista have no "LOCALAPPDATA" variable. When beforeVista is
// set, defines it in this process as the real local application data folder,
// fully expanded, so that the rules and the application detection that name
// %LOCALAPPDATA% expand in one pass. Call before the trace database loads.
void DefineLocalAppDataVariable(BOOL beforeVista);

// Whether the system is older than Windows Vista (6.0).
BOOL IsBeforeVista(void);
