// Counting and deleting an application's registry traces.
#pragma once
#include <windows.h>

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
