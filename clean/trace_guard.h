// The one guard for every folder the cleaning walks or deletes in. Deleting
// is irreversible and the cleaning runs elevated, while the trace database
// comes over the network and the environment, the registry values that
// resolve application folders and most trace folders are writable by any
// program of the user: every folder is taken to its canonical form (a
// drive-letter path of long names, no component a junction or link) and
// judged by file identity, not by its text.
#pragma once
#include <windows.h>

// A file or folder as the file system knows it, whatever its name.
struct FileIdentity {
    DWORD volume;
    DWORD high;
    DWORD low;
};

inline bool SameIdentity(const FileIdentity &a, const FileIdentity &b)
{
    return a.volume == b.volume && a.high == b.high && a.low == b.low;
}

// The identity and attributes of an open handle.
bool IdentityOfHandle(HANDLE handle, FileIdentity *identity, DWORD *attributes);

// Reads the protected and the allowed places afresh (the shell folders,
// temporary folders and application folders may have changed since the
// last pass). The first check builds them when no pass has.
void RefreshTraceGuard(void);

// Checks a folder the cleaning is to walk. wholeFolder: every file of it,
// or its sub-folders, would be taken (a recursive rule or a "*" mask), as
// opposed to named files directly in it. On success writes the canonical
// form (no trailing backslash, at most units units) and the folder's
// identity; FALSE when it must not be walked (the reason goes to the
// debugger output).
BOOL CheckTraceFolder(const WCHAR *folder, BOOL wholeFolder, WCHAR *canonical, int units, FileIdentity *identity);

// True when folder must never be walked as a whole.
BOOL IsRefusedTraceFolder(const WCHAR *folder);

// True when a folder met during a walk (by its identity) must not be
// entered: the Windows folder, the profiles, Program Files, the program's
// own folder and the like, reached from below through any name.
BOOL IsProtectedIdentity(const FileIdentity &identity);
