// The folder the program runs from: the files it carries beside itself
// (databases, drivers, the update's download) are found there.
#pragma once
#include <windows.h>

// The executable's folder, without a trailing backslash (260 units).
BOOL GetProgramFolder(WCHAR *folder);
