// The message boxes every part of the program reports through. Callers look
// the text up with GetString first; a box shows exactly the text it is given,
// with the program title as caption and the main window as owner.
#pragma once
#include <windows.h>

// While set, every box below (except the registry error box) shows nothing
// and returns 0. Nothing in the program sets it.
extern BOOL SilentMode;

int ShowInfo(const WCHAR *text);
int ShowWarning(const WCHAR *text);
int ShowWarningPlain(const WCHAR *text);
int ShowError(const WCHAR *text);
// ShowError with the text of a language key (a reporter for subsystems that
// name their messages by key, such as the random pool).
void ShowErrorKey(const char *key);
int AskWarningYesNo(const WCHAR *text);
int AskWarningNoYes(const WCHAR *text);

// A Yes/No question with the question icon, owned by the given window and
// captioned with the text of "VGRD" (start-up asks before the program title
// is set).
int AskQuestionYesNo(HWND owner, const WCHAR *text);

// The system's text for an error code (its inserts left as "%1"), or
// "Error <code>" when the system has none; cut to size units.
void FormatWindowsError(DWORD code, WCHAR *out, int size);

// Shows the system's text for GetLastError() and returns that code.
DWORD ShowLastWindowsError(HWND owner);

// Beeps, shows the text and ends the process with exit code 1 through the
// normal exit path.
[[noreturn]] void FatalError(const WCHAR *text);

// Shows "<operation> failed with error <code>: <system text>" and ends the
// process at once with the error code.
[[noreturn]] void FatalWindowsError(const WCHAR *operation);

void ShowRegistryError(DWORD code);

// Hook for the volume code: warns about drives mounted automatically by the
// system when a device reports "not ready".
void WarnAboutAutoMount(void);
