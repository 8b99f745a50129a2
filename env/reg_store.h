// The registry snapshot store: the listed registry items of the applications
// are saved into the switch database on the virtual disk when a mode is left
// and given the contents they last had in the other mode when it is entered.
//
// Columns: "pubvalue" holds an item's normal-mode contents, "privalue" its
// privacy-mode contents. Mode 1 enters privacy mode (saves into "pubvalue",
// loads from "privalue"), mode 2 leaves it (the reverse). Whole keys travel
// through two staging keys under the current user and one hive file per mode
// (table "regbackup"); single values travel as blobs (table "regvalue").
// Every database operation goes through g_traceDb.
#pragma once
#include <windows.h>

#include "env/trace_db.h"

// The saving and the loading column of a mode.
const char *SavingColumn(int mode);
const char *LoadingColumn(int mode);

// Writes the stored hive of the column into file (hidden, system). 1 when the
// column held data and the whole file was written, 0 when it held nothing,
// -1 when the file could not be written (no file left).
int LoadRegBackup(const char *column, const WCHAR *file);

// Stores the bytes of file into the column. 0 when the file cannot be opened
// or read, or the database refused them; else 1.
int SaveRegBackup(const char *column, const WCHAR *file);

// The stored bytes of a value (allocated with malloc, at least 8192 bytes,
// zero-filled behind the data; release with free) and their count in *size;
// null when nothing is stored.
BYTE *LoadRegValue(const char *column, HKEY root, const WCHAR *keyPath, const WCHAR *valueName, DWORD *size);

// Stores the bytes of a value, adding its row at the first save. 1 when
// stored, 0 on an SQL error.
int SaveRegValue(const char *column, HKEY root, const WCHAR *keyPath, const WCHAR *valueName, const BYTE *data,
                 DWORD size);

// The switch steps, in this order within one switch. Hive files are made on
// the virtual disk and wiped before they are deleted.
void OpenStagingKeys(void);  // ends the process after an error box
// Loads the arriving mode's stored hive into its staging key, and the
// leaving mode's into its own (so that the items this switch does not move
// keep what was stored for them). ERROR_SUCCESS also when nothing was
// stored yet.
LONG RestoreStagingKey(int mode, const WCHAR *file);
LONG PreloadLeavingStagingKey(int mode, const WCHAR *file);
// 1 when the item ran to its end, 0 when it was skipped or stopped.
int SwapRegistryItem(const AppRegEntry *entry, int mode);
// Saves the leaving mode's staging key into file and the database.
// ERROR_SUCCESS (the file wiped and deleted), or the error; on a database
// failure the file is kept.
LONG StoreStagingKey(int mode, const WCHAR *file);
void DeleteStagingKeys(void);
// FALSE when the leaving mode's staging key is empty.
BOOL StagingKeyHoldsData(int mode);
// Closes both staging keys without deleting them (a switch that stopped early).
void CloseStagingKeys(void);
// Overwrites a file with zeros, then deletes it.
void WipeAndDeleteFile(const WCHAR *file);

// Replaces the contents of key with those of the hive file (values, types,
// sub-keys). ERROR_SUCCESS or the registry's error.
LONG RestoreKeyFromHive(HKEY key, const WCHAR *file);

// Counting and deleting the traces of one item: value name null means the
// whole key. Both add to the count of values and of data bytes found. Both
// refuse a key that IsCleanableRegKey refuses, and never follow a registry
// link (a link below the key is neither counted nor deleted).
void MeasureRegTrace(HKEY root, const WCHAR *path, const WCHAR *name, UINT64 *count, UINT64 *bytes);
int DeleteRegTrace(HKEY root, const WCHAR *path, const WCHAR *name, UINT64 *count, UINT64 *bytes);

// Whether a trace item's key may be cleaned: under HKEY_CURRENT_USER,
// HKEY_LOCAL_MACHINE or HKEY_USERS, at least two levels below the root
// (three under HKEY_USERS, whose first level is a user), without empty
// components, not one of the keys that hold whole branches of the system's
// or the user's settings ("Software", "Software\Microsoft",
// "Software\Classes", ...), and nothing under "SYSTEM", "SAM", "SECURITY" or
// "HARDWARE".
bool IsCleanableRegKey(HKEY root, const WCHAR *path);
