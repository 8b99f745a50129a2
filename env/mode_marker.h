// The mode marker: the default value of
// HKCU "Software\Tessaline\Veilguard\inprivate", the one record of the mode
// that outlives the process.
#pragma once
#include <windows.h>

// 1 when the marker reads exactly "inPrivate"; 0 otherwise (also when it
// cannot be read).
int ReadModeMarkerIsPrivate(void);

// Writes the marker text; the registry's result.
LONG WriteModeMarker(const WCHAR *text);

// A registry switch whose leaving staging key has not reached the switch
// database yet (it failed to, or the switch was cut off): its mode (1 or 2)
// while that is so, else 0. The next switch stores that key first.
DWORD ReadUnstoredSwitch(void);
LONG WriteUnstoredSwitch(DWORD mode);
