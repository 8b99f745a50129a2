// A question box with its own caption and buttons, owned by a given window
// (the cleaning's questions name their caption themselves).
#pragma once
#include <windows.h>

// MessageBoxW with the given owner, text, caption and style; 0 while the
// silent flag is set.
int AskWithCaption(HWND owner, const WCHAR *text, const WCHAR *caption, UINT style);
