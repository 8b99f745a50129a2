// The two staging keys under the current user through which whole registry
// keys change mode (mode 1 enters privacy mode, 2 leaves it), and the swap of
// each listed registry item.
#pragma once
#include <windows.h>

#include "env/trace_db.h"

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
