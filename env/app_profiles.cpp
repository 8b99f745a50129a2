// The settings files of installed applications: their folder entries point
// at the virtual disk in privacy mode, and a ".vgrd" backup beside each file,
// made afresh when a session starts, brings it back when the session ends.
// The normal-mode record lists the backups that hold a file's normal-mode
// contents, so a session cut off by a kill or a reboot never replaces one.
#include "env/privacy_env.h"

#include "Mount/msgbox.h"
#include "env/normal_record.h"
#include "env/trace_db.h"

static bool BackupName(const WCHAR *file, WCHAR *backup)
{
    if (lstrlenW(file) + 5 >= MAX_PATH)
        return false;
    wsprintfW(backup, L"%s.vgrd", file);
    return true;
}

// The settings file of an installed application with one, expanded; false
// for any other application.
static bool SettingsFile(const AppEntry *app, WCHAR *file, WCHAR *backup)
{
    if (!app || !app->DetectKey || !app->profile || !IsAppPresent(app->DetectKey))
        return false;
    DWORD n = ExpandEnvironmentStringsW(app->profile, file, MAX_PATH);
    return n > 0 && n <= MAX_PATH && BackupName(file, backup);
}

void RedirectAppProfiles(WCHAR letter)
{
    for (INT32 i = 0; i < g_appCount; ++i) {
        const AppEntry *app = g_apps[i];
        WCHAR file[MAX_PATH], backup[MAX_PATH];
        if (!SettingsFile(app, file, backup))
            continue;
        if (!IsSettingsFileRecorded(file)) {
            // The file as it is now, before this session changes it; an
            // older backup is replaced. Without a recorded backup the file
            // could not be put back: it is left alone.
            if (GetFileAttributesW(file) == INVALID_FILE_ATTRIBUTES || !CopyFileW(file, backup, FALSE))
                continue;
            LONG rc = RecordSettingsFile(file);
            if (rc != ERROR_SUCCESS) {
                DeleteFileW(backup);
                ShowRegistryError(rc);
                continue;
            }
        }
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

static BOOL RestoreSettingsFile(const WCHAR *file, void *error)
{
    WCHAR backup[MAX_PATH];
    if (!BackupName(file, backup))
        return TRUE;
    if (GetFileAttributesW(backup) == INVALID_FILE_ATTRIBUTES) {
        // Nothing to go back to (removed from outside): forget the entry.
        ForgetSettingsFile(file);
        return TRUE;
    }
    if (!CopyFileW(backup, file, FALSE)) {
        // The backup stays, and so does its entry: the next leave tries again.
        DWORD code = GetLastError();
        *static_cast<DWORD *>(error) = code ? code : ERROR_WRITE_FAULT;
        return TRUE;
    }
    if (ForgetSettingsFile(file) == ERROR_SUCCESS)
        DeleteFileW(backup);
    return TRUE;
}

int RestoreAppProfiles(void)
{
    // Every recorded file, whether or not its application is still listed
    // or installed.
    DWORD error = 0;
    ForEachRecordedSettingsFile(RestoreSettingsFile, &error);
    if (error)
        ShowRegistryError(error);
    return error == 0;
}
