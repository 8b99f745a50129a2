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
