// Temporary folders and shell folders: moving them onto the virtual disk when
// privacy mode is entered and back when it is left.
//
// The values are kept in process-wide copies of 260 units between the two
// switches, nothing of them on disk. All operations return 1 on success and
// 0 on failure (after a registry error box); callers ignore the result.
#pragma once
#include <windows.h>

int RedirectSystemTemp(WCHAR letter);
int RedirectUserTemp(WCHAR letter);
int RedirectUserShellFolders(WCHAR letter);
int RedirectShellFolders(WCHAR letter);
int RefreshShellFolderCopies(void);
int RestoreSystemTemp(void);
int RestoreUserTemp(void);
int RestoreUserShellFolders(void);
int RestoreShellFolders(void);

// Redirects one folder value of an open "Shell Folders" or "User Shell
// Folders" key: reads it into copy (260 units), or, when it is empty, takes
// the shell's own folder of that name; then writes the expanded path with
// the letter as its drive, creating that folder. A value that cannot be read
// or does not fit the copy is left as it was, after the registry error box,
// and is not restored later. 1 when the value was redirected.
int RedirectFolderValue(HKEY key, const WCHAR *name, WCHAR *copy, WCHAR letter);

// The copies as they stand, for tests: index 0..9 in the order "Cache",
// "Cookies", "Desktop", "Favorites", "History", "My Pictures", "NetHood",
// "Personal", "Recent", "SendTo".
enum { SHELL_FOLDER_COUNT = 10 };
extern const WCHAR *const g_shellFolderNames[SHELL_FOLDER_COUNT];
extern WCHAR g_shellFolderCopies[SHELL_FOLDER_COUNT][MAX_PATH];
extern WCHAR g_userShellFolderCopies[SHELL_FOLDER_COUNT][MAX_PATH];
extern WCHAR g_systemTempCopy[MAX_PATH], g_systemTmpCopy[MAX_PATH];
extern WCHAR g_userTempCopy[MAX_PATH], g_userTmpCopy[MAX_PATH];

// Puts every copy back to its start-up state (the table's defaults for
// "User Shell Folders", empty texts for the others).
void ResetFolderCopies(void);
