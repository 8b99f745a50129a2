// Folders and files opened, listed and deleted relative to an open parent
// folder, through ntdll, so that what is checked is what is deleted: a name
// swapped for a junction or link after the check cannot send the operation
// elsewhere.
#pragma once
#include <windows.h>

#include "clean/trace_guard.h"

// One entry of a folder listing.
struct DirEntry {
    const WCHAR *name;  // not terminated
    int nameLength;     // in units
    DWORD attributes;
    UINT64 size;
    LARGE_INTEGER fileId;  // 0 where the system does not give it
};

// NtCreateFile as the walker calls it (object attributes and I/O status as
// ntdll defines them). Looked up in ntdll on first use; the walker calls
// whatever it holds.
typedef LONG(NTAPI *NtCreateFileFn)(PHANDLE handle, ACCESS_MASK access, void *objectAttributes, void *ioStatus,
                                    PLARGE_INTEGER allocation, ULONG attributes, ULONG sharing, ULONG disposition,
                                    ULONG options, PVOID ea, ULONG eaLength);
extern NtCreateFileFn g_NtCreateFile;

// Whether the ntdll calls were found (always on Windows 2000 and later).
bool NtDirReady(void);

// Opens a folder given by its full path ("\\?\" form) for listing; the
// caller compares its identity with the folder the guard passed.
HANDLE OpenFolderByPath(const WCHAR *path);

// Opens the sub-folder name of parent for listing (and for its own removal
// when forDelete), never through a junction or link: the result is refused
// (null) when the opened folder is a junction or link, is a protected place,
// or is not the entry listed (expectedId, when not zero). folderPath: the
// parent's full path, for the Wine build's link check when there is no
// listed entry to compare with. volume: the serial number of the walk's
// volume (a walk never crosses into another: mount points are junctions).
HANDLE OpenChildFolder(HANDLE parent, const WCHAR *name, int nameLength, LARGE_INTEGER expectedId, bool forDelete,
                       const WCHAR *folderPath, DWORD volume);

// Lists every entry of folder (without "." and ".."), calling visit for
// each; false when the listing could not be read. visit returns false to
// stop.
typedef bool (*DirVisitor)(const DirEntry &entry, void *context);
bool ListFolder(HANDLE folder, DirVisitor visit, void *context);

enum DeleteResult { DELETE_DONE, DELETE_IN_USE, DELETE_SKIPPED };

// Deletes the file entry of parent (clearing a read-only attribute first),
// only when it still is the entry listed and not a link to something else.
// folderPath: the parent's full path ("\\?\" form), for the link check the
// Wine build needs (a Unix link to a file opens as its target there).
DeleteResult DeleteChildFile(HANDLE parent, const DirEntry &entry, const WCHAR *folderPath);

// Removes the folder of the handle (opened with forDelete) when empty.
bool RemoveOpenFolder(HANDLE folder);
