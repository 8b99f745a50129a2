// Restoring a registry key from a hive file.
#pragma once
#include <windows.h>

// Replaces the contents of key with those of the hive file (values, types,
// sub-keys). ERROR_SUCCESS or the registry's error.
LONG RestoreKeyFromHive(HKEY key, const WCHAR *file);
