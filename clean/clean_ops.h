// Counting and removing the traces of the listed applications: registry
// items, files under the rule folders, the recycle bins, and closing the
// running traced applications before a quit or a logoff.
//
// Every pass runs on one thread at a time (the file walker keeps its path in
// one process-wide buffer). Counts are reported into the clean dialog's list.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

// Paths of files that could not be deleted at once, as given to DeleteFileW.
typedef std::vector<std::u16string> PathList;

// Files that DeleteFileW refused since the program started (only whether it
// is above 0 matters).
extern UINT64 pendingDeleteCount;
// The refused paths of the current CleanFileTraces pass.
extern PathList undeletedPaths;

// Set while the clean dialog is closing: a running pass stops at the next
// entry or file.
extern volatile LONG g_cleanAbort;

struct WalkOptions {
    BOOL recurse;          // into sub-folders
    BOOL includeSystem;    // files with the system attribute too
    BOOL processTopFiles;  // files directly in the starting folder
    BOOL removeTop;        // remove the starting folder itself (never set)
};

struct TraceCounters {
    UINT64 count;
    UINT64 size;
};

void ScanRegistryTraces(HWND progress, HWND text);
void CleanRegistryTraces(HWND progress, HWND text);
void ScanFileTraces(HWND progress, HWND text);
void CleanFileTraces(HWND progress, HWND text);

// A rule folder (which may hold wildcards in its folder names) and a file
// pattern (one mask or several separated by ";"; empty means none): the
// files a cleaning would remove, and removing them.
TraceCounters CountFiles(const WCHAR *folder, const WCHAR *pattern, const WalkOptions *options, PathList *list);
TraceCounters DeleteFiles(const WCHAR *folder, const WCHAR *pattern, const WalkOptions *options, PathList *list);

// Walks one concrete folder (ending with a backslash), or with folder null
// continues in the walker's buffer. Adds what it finds (or removes) to
// counters.
void WalkFolder(const WCHAR *folder, const WCHAR *pattern, const WalkOptions *options, PathList *list,
                TraceCounters *counters, BOOL remove);

// One found file: 1 when it counts (found, removed, or scheduled for removal
// at restart), else 0.
int ProcessTraceFile(const WCHAR *path, PathList *list, const WalkOptions *options, const WIN32_FIND_DATAW *find,
                     BOOL remove);

// True when folder must never be walked: empty, a drive or share root, the
// Windows folder, the user's profile, or a folder above one of them (also
// when the same folders sit on another drive letter, as on the virtual disk).
BOOL IsRefusedTraceFolder(const WCHAR *folder);

// The recycle bins of the fixed drives.
class RecycleBinInfo {
public:
    RecycleBinInfo();
    virtual void Empty();
    virtual void Query();
    UINT64 itemCount;
    UINT64 totalSize;
    UINT64 lastItemCount;
    UINT64 lastTotalSize;
};

// The one instance, created on first use and kept until the process ends.
RecycleBinInfo *GetRecycleBinInfo(void);

// Mode 1 asks whether to close the running traced applications and closes
// them on Yes; FALSE when the user cancelled. Any other mode returns TRUE at
// once.
BOOL CloseTracedApplications(HWND owner, int mode);
