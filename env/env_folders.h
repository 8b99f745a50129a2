// Temporary folders and shell folders: moving them onto the virtual disk when
// privacy mode is entered and back when it is left.
//
// The normal-mode values are recorded once, before the first one changes
// (env/normal_record.h), and kept until they were written back: moving onto
// a drive always starts from the record, so entering again after a kill, a
// crash or a reboot moves every value onto the drive of that session, and
// the way back writes exactly what was there before, with its own type. A
// value that was never recorded is never written. All operations return 1 on
// success and 0 on failure (after a registry error box).
#pragma once
#include <windows.h>

// Record every value the operations below change, before the first one
// changes: the shell rewrites "Shell Folders" from "User Shell Folders"
// whenever it hears of an environment change, so a value recorded later
// could already be a drive's. Missing values are left out (the redirect
// operations report them).
void RecordTempFolders(void);
void RecordShellFolders(void);

int RedirectSystemTemp(WCHAR letter);
int RedirectUserTemp(WCHAR letter);
int RedirectUserShellFolders(WCHAR letter);
int RedirectShellFolders(WCHAR letter);
int RestoreSystemTemp(void);
int RestoreUserTemp(void);
int RestoreUserShellFolders(void);
int RestoreShellFolders(void);

// Redirects one folder value of the key open on HKCU\path ("Shell Folders"
// or "User Shell Folders"): records it, then writes the recorded path
// expanded with the letter as its drive (the shell's own folder of that name
// when it is empty), creating that folder. A value that is missing or too
// long for 260 units is left as it was, after the registry error box. 1 when
// the value was redirected.
int RedirectFolderValue(HKEY key, const WCHAR *path, const WCHAR *name, WCHAR letter);

// Index 0..9 in the order "Cache", "Cookies", "Desktop", "Favorites",
// "History", "My Pictures", "NetHood", "Personal", "Recent", "SendTo".
enum { SHELL_FOLDER_COUNT = 10 };
extern const WCHAR *const g_shellFolderNames[SHELL_FOLDER_COUNT];
