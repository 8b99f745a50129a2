// The login password dialog and the check of password characters.
#pragma once
#include <windows.h>

#include "volume/password_record.h"

// Runs the password dialog modally. TRUE when the user pressed OK (the
// record then holds what was typed); otherwise the record's ByteCount is 0
// and the hidden-volume password of the mount options is wiped.
BOOL AskPassword(HWND owner, QdskPassword *password);

// 1 when every character is printable ASCII (32 to 126). With an edit
// window its text is checked (0 at once when longer than 64 characters);
// without one the record's bytes.
int CheckPasswordChars(HWND edit, const QdskPassword *password);

// Overwrites a password edit with 64 letters "X".
void OverwritePasswordEdit(HWND edit);

// A page of locked memory for the texts of password edits (4096 bytes),
// wiped when released; null when none can be had.
WCHAR *AcquirePasswordText(void);
void ReleasePasswordText(WCHAR *page);

// Reads a password edit as UTF-16 into text (at least 65 units, in such a
// page); the number of units read.
int ReadPasswordEdit(HWND edit, WCHAR *text);

// Reads a password edit into the record, converted to the ANSI code page
// inside a locked page (at most 64 bytes); the byte count.
int ReadPasswordRecord(HWND edit, QdskPassword *record);

// 1 when Caps Lock is on; unless quiet, a warning box then says so.
int CheckCapsLock(HWND hwnd, BOOL quiet);
