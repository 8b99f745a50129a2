#include "volume/volume_errors.h"

#include <shlwapi.h>

#include "Mount/app_state.h"
#include "Mount/language.h"
#include "Mount/msgbox.h"
#include "volume/driver_records.h"
#include "volume/volume_error_table.h"

static const WCHAR *W(const char16_t *s) { return reinterpret_cast<const WCHAR *>(s); }

void ShowVolumeError(HWND owner, int code)
{
    if (SilentMode)
        return;
    const VolumeErrorEntry &entry = FindVolumeError(code);
    if (entry.show == SHOW_NOTHING)
        return;
    if (entry.show == SHOW_WINDOWS_ERROR) {
        ShowLastWindowsError(owner);
        return;
    }

    WCHAR text[1024];
    if (entry.show == SHOW_LANGUAGE_KEY) {
        lstrcpynW(text, GetString(entry.key), ARRAYSIZE(text));
    } else if (code == 15) {
        wnsprintfW(text, ARRAYSIZE(text), W(entry.text), QDSK_DRIVER_VERSION_TEXT);
    } else {
        lstrcpynW(text, W(entry.text), ARRAYSIZE(text));
        if (code == 3 && (GetKeyState(VK_CAPITAL) & 1))
            StrCatBuffW(text, W(VOLUME_CAPS_LOCK_NOTE), ARRAYSIZE(text));
    }

    UINT style = entry.warning ? MB_ICONWARNING : MB_ICONERROR;
    if (entry.mainWindowOnTop) {
        style |= MB_TOPMOST | MB_SETFOREGROUND;
        owner = g_hMainWnd;
    }
    MessageBoxW(owner, text, g_szProgramTitle, style);
}

void ShowVolumeNearlyFull(int drive, int percent)
{
    if (SilentMode)
        return;
    WCHAR text[1024];
    wnsprintfW(text, ARRAYSIZE(text), GetString("VOLUME_NEARLY_FULL"), WCHAR(L'A' + drive), percent);
    ShowWarning(text);
}
