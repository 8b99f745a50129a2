// The settings files of installed applications: their folder entries point
// at the virtual disk in privacy mode, and a ".vgrd" backup beside each file
// brings it back.
#include "env/privacy_env.h"

#include "env/trace_db.h"

// The settings file of an installed application with one, expanded; false
// for any other application.
static bool SettingsFile(const AppEntry *app, WCHAR *file, WCHAR *backup)
{
    if (!app || !app->DetectKey || !app->profile || !IsAppPresent(app->DetectKey))
        return false;
    DWORD n = ExpandEnvironmentStringsW(app->profile, file, MAX_PATH);
    if (n == 0 || n > MAX_PATH || lstrlenW(file) + 5 >= MAX_PATH)
        return false;
    wsprintfW(backup, L"%s.vgrd", file);
    return true;
}

void RedirectAppProfiles(WCHAR letter)
{
    for (INT32 i = 0; i < g_appCount; ++i) {
        const AppEntry *app = g_apps[i];
        WCHAR file[MAX_PATH], backup[MAX_PATH];
        if (!SettingsFile(app, file, backup))
            continue;
        // An existing backup is the file as it was before the first switch:
        // it is never replaced.
        CopyFileW(file, backup, TRUE);
        // Without a backup the file could not be put back: leave it alone.
        if (GetFileAttributesW(backup) == INVALID_FILE_ATTRIBUTES)
            continue;
        for (INT32 p = 0; p < g_profileCount; ++p) {
            const ProfileEntry *entry = g_profiles[p];
            if (!entry || entry->appid != app->id || !entry->filePath)
                continue;
            WCHAR value[MAX_PATH];
            DWORD n = ExpandEnvironmentStringsW(entry->filePath, value, MAX_PATH);
            if (n == 0 || n > MAX_PATH || !value[0])
                continue;
            value[0] = letter;
            WritePrivateProfileStringW(entry->section, entry->items, value, file);
        }
    }
}

void RestoreAppProfiles(void)
{
    for (INT32 i = 0; i < g_appCount; ++i) {
        WCHAR file[MAX_PATH], backup[MAX_PATH];
        if (SettingsFile(g_apps[i], file, backup))
            CopyFileW(backup, file, FALSE);
    }
}
