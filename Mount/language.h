// The program's texts: the language file carried in the resources, looked up
// by key, and written into dialogs.
#pragma once
#include <windows.h>

void SetPreferredLanguage(const char *code);

// Reads the language file and the identifier header from the resources.
// 1 when loaded, 0 when loading stopped (the texts read so far stay usable).
int LoadLanguage(void);

// The text of a key; a missing key gives "[?]KEY[?]". Never null.
const WCHAR *GetString(const char *key);

// Sets the dialog's title from the key (or "Veilguard" without one) and the
// text of every child control whose identifier has a language entry.
void LocalizeDialog(HWND dialog, const char *key);

// Key of the dialog LocalizeDialog last handled (empty before the first).
extern char g_szLastLocalizedDialog[64];
