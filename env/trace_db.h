// The application trace database: the process-wide tables read from
// "mani.sys" at start-up, the trace database handle, the application
// presence tests and the folder lookup, and the switch database on the
// virtual disk.
//
// Each table is an array of pointers to records plus a signed 32-bit count.
// Records are allocated zero-filled; each string in them is allocated to fit
// (UTF-16, NUL-terminated); an absent string is a null pointer. The tables
// are filled once at start-up and then only read (apart from uiFlag), so
// every thread may read them without a lock.
#pragma once

#include <windows.h>

struct sqlite3;

struct AppEntry {
    INT32 id;
    WCHAR *name;
    WCHAR *describe;
    WCHAR *DetectKey;       // how to tell that the application is installed
    WCHAR *ShellName;       // where its folder is found
    WCHAR *resolvedFolder;  // that folder as found at load time
    WCHAR *exename;
    WCHAR *profile;         // its settings file, with environment variables
    INT32 uiFlag;           // set by the clean dialog for chosen applications
};

struct ProfileEntry {
    WCHAR *section;
    WCHAR *items;
    WCHAR *filePath;
    INT32 appid;
};

struct AppRegEntry {
    HKEY root;
    WCHAR *subkey;
    WCHAR *item;  // null: the whole key is the trace
    INT32 aid;    // 0: belongs to no application
};

extern AppEntry **g_apps;
extern INT32 g_appCount;
extern ProfileEntry **g_profiles;
extern INT32 g_profileCount;
extern AppRegEntry **g_regItems;
extern INT32 g_regItemCount;

// The one connection: the trace database at start-up, the switch database
// during a switch, closed (null) in between.
extern sqlite3 *g_traceDb;

// Unpacks "mani.sys" beside the executable into a new hidden temporary file
// whose name goes to tempPath (260 units; written before anything is
// extracted). 1 on success; 0 when the archive is missing or damaged, in
// which case no temporary file is left behind.
int UnpackTraceDatabase(WCHAR *tempPath);

// The same for an archive at any path (the start-up form uses the one beside
// the executable).
int UnpackTraceDatabaseFrom(const WCHAR *archivePath, WCHAR *tempPath);

// Opens the unpacked database read-only into g_traceDb: 1 when open, else 0.
int OpenTraceDatabase(const WCHAR *tempPath);

// Read the tables through g_traceDb. 1 on success; 0 on an SQL error (the
// start-up then ends with exit code 1), with nothing added to the table.
int LoadApplications(void);
int LoadRegistryItems(void);
int LoadProfiles(void);

// Closes g_traceDb and deletes the temporary file.
void CloseTraceDatabase(const WCHAR *tempPath);

void FreeApplications(void);
void FreeRegistryItems(void);
void FreeProfiles(void);

// True when the application that DetectKey describes is installed: a
// registry key "HKCU\...", "HKLM\..." or "HKU\..." that opens, or else a file
// or folder (environment variables expanded) that exists.
BOOL IsAppPresent(const WCHAR *detectKey);

// True when the first application with this id that has a DetectKey is
// present.
BOOL IsAppIdPresent(INT32 id);

// Fills out (260 units) with the application's folder: a shell folder when
// name is one of the shell folder names, else the registry value name (or
// "default") under the key DetectKey names; a value that holds a dot names a
// file and gives its folder. Leaves out unchanged when nothing is found.
void ResolveAppFolder(const WCHAR *detectKey, const WCHAR *name, WCHAR *out);

// Opens "fest.sys" at the root of the drive ("X:") into g_traceDb, first
// copying the template beside the executable there when the drive has none
// (hidden and system). 0 when open, else the SQLite error code.
int OpenSwitchDatabase(const WCHAR *drive);

// The same with the template taken from templateFolder.
int OpenSwitchDatabaseFrom(const WCHAR *drive, const WCHAR *templateFolder);

// GetProgramFolder, for the callers that have always found it here.
#include "common/program_folder.h"
