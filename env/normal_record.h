// The record of the normal-mode values that privacy mode replaces: TEMP and
// TMP of the machine and the user, the two shell-folder keys, and the
// settings files of the applications. It lives under the program's own key
// (HKCU "Software\Tessaline\Veilguard\normal") on the real disk and holds
// only normal-mode data. A value is recorded once, before the first change
// of an entry, and forgotten only after it was written back successfully, so
// a kill, a crash or a reboot in privacy mode never makes the switched
// values pass for the normal ones.
#pragma once
#include <windows.h>

// Records the value name of key (opened on root\path) unless the record
// holds it already. ERROR_SUCCESS when the record holds it now, else the
// registry's error (the value is missing or unreadable).
LONG RecordValue(HKEY key, HKEY root, const WCHAR *path, const WCHAR *name);

// The recorded text (260 units) and its type. ERROR_SUCCESS, ERROR_FILE_NOT_FOUND
// when nothing is recorded, ERROR_MORE_DATA when it does not fit.
LONG RecordedText(HKEY root, const WCHAR *path, const WCHAR *name, WCHAR *out, DWORD *type);

// Writes the recorded value back into key (opened on root\path for writing)
// with its own type and bytes, then forgets it. ERROR_SUCCESS also when
// nothing was recorded (nothing is written then); otherwise the registry's
// error and the record keeps the value.
LONG RestoreRecordedValue(HKEY key, HKEY root, const WCHAR *path, const WCHAR *name);

// Settings files: the backup (file name with ".vgrd") that holds a file's
// normal-mode contents is listed here while it does.
BOOL IsSettingsFileRecorded(const WCHAR *file);
LONG RecordSettingsFile(const WCHAR *file);
LONG ForgetSettingsFile(const WCHAR *file);
// Calls visit for every recorded settings file (expanded path) until it
// returns FALSE.
void ForEachRecordedSettingsFile(BOOL (*visit)(const WCHAR *file, void *context), void *context);
