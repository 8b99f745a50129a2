// Counting and removing the traces of the listed applications: registry
// items, files under the rule folders, the recycle bins, and closing the
// running traced applications before a quit or a logoff.
//
// Every pass runs on one thread at a time (the file walker keeps its path in
// one process-wide buffer). Counts are reported into the clean dialog's list.
#pragma once
#include <windows.h>

#include <cstdint>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "clean/trace_guard.h"

// Paths of files that could not be deleted at once ("\\?\" form).
typedef std::vector<std::u16string> PathList;

// Files scheduled for deletion at the next restart since the program
// started (only whether it is above 0 matters).
extern UINT64 pendingDeleteCount;
// The files in use of the current CleanFileTraces pass, with their sizes.
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

// Files already counted for one application in a pass, by volume and file
// number: a file that two rules of the application name counts once.
typedef std::set<std::pair<DWORD, int64_t>> SeenFiles;

void ScanRegistryTraces(HWND progress, HWND text);
void CleanRegistryTraces(HWND progress, HWND text);
void ScanFileTraces(HWND progress, HWND text);
void CleanFileTraces(HWND progress, HWND text);

// A rule folder (which may hold wildcards in its folder names) and a file
// pattern (one mask or several separated by ";"; a mask may start with a
// sub-folder part; empty means none): the files a cleaning would remove,
// and removing them. Every concrete folder passes the guard
// (clean/trace_guard.h) first; the walk then goes by handle and never
// through a junction or link. Files in use are not counted as removed: they
// go to list (with their sizes into sizes) for the handle closer.
TraceCounters CountFiles(const WCHAR *folder, const WCHAR *pattern, const WalkOptions *options, PathList *list,
                         SeenFiles *seen = nullptr);
TraceCounters DeleteFiles(const WCHAR *folder, const WCHAR *pattern, const WalkOptions *options, PathList *list,
                          std::vector<uint64_t> *sizes = nullptr);

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
