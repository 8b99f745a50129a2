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

// 1 when Caps Lock is on; unless quiet, a warning box then says so.
int CheckCapsLock(HWND hwnd, BOOL quiet);
