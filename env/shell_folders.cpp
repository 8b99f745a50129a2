// The user's shell folders ("Shell Folders" and "User Shell Folders"),
// moved onto the virtual disk and back. The values they replace are kept in
// the normal-mode record, which the move starts from and the way back
// writes.
#include "env/env_folders.h"

#include <shlobj.h>

#include "Mount/msgbox.h"
#include "env/normal_record.h"
#include "env/reg_text.h"
#include "env/trace_db.h"

const WCHAR *const g_shellFolderNames[SHELL_FOLDER_COUNT] = {
    L"Cache", L"Cookies", L"Desktop", L"Favorites", L"History",
    L"My Pictures", L"NetHood", L"Personal", L"Recent", L"SendTo",
};

static const WCHAR kShellFolders[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
static const WCHAR kUserShellFolders[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";

int RedirectFolderValue(HKEY key, const WCHAR *path, const WCHAR *name, WCHAR letter)
{
    LONG rc = RecordValue(key, HKEY_CURRENT_USER, path, name);
    if (rc != ERROR_SUCCESS) {
        ShowRegistryError(rc);
        return 0;
    }
    // A path longer than 259 units is left where it is (and written back
    // unchanged from the record).
    WCHAR normal[MAX_PATH];
    DWORD type = 0;
    if ((rc = RecordedText(HKEY_CURRENT_USER, path, name, normal, &type)) != ERROR_SUCCESS) {
        ShowRegistryError(rc);
        return 0;
    }
    if (!normal[0])
        ResolveAppFolder(nullptr, name, normal);

    WCHAR target[MAX_PATH];
    if ((rc = ExpandOntoDrive(normal, letter, target)) != ERROR_SUCCESS) {
        ShowRegistryError(rc);
        return 0;
    }
    if (GetFileAttributesW(target) == INVALID_FILE_ATTRIBUTES)
        SHCreateDirectoryExW(nullptr, target, nullptr);
    if ((rc = WriteTextValue(key, name, REG_SZ, target)) != ERROR_SUCCESS) {
        ShowRegistryError(rc);
        return 0;
    }
    return 1;
}

static void RecordFolders(const WCHAR *path)
{
    HKEY key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return;
    for (int i = 0; i < SHELL_FOLDER_COUNT; ++i)
        RecordValue(key, HKEY_CURRENT_USER, path, g_shellFolderNames[i]);
    RegCloseKey(key);
}

void RecordShellFolders(void)
{
    RecordFolders(kUserShellFolders);
    RecordFolders(kShellFolders);
}

static int RedirectFolders(const WCHAR *path, WCHAR letter)
{
    HKEY key;
    LONG rc = RegCreateKeyExW(HKEY_CURRENT_USER, path, 0, nullptr, 0, 0x20007, nullptr, &key, nullptr);
    if (rc != ERROR_SUCCESS) {
        ShowRegistryError(rc);
        return 0;
    }
    for (int i = 0; i < SHELL_FOLDER_COUNT; ++i)
        RedirectFolderValue(key, path, g_shellFolderNames[i], letter);
    RegCloseKey(key);
    BroadcastEnvironmentChange(SMTO_NORMAL, 1000);
    return 1;
}

int RedirectUserShellFolders(WCHAR letter) { return RedirectFolders(kUserShellFolders, letter); }

int RedirectShellFolders(WCHAR letter) { return RedirectFolders(kShellFolders, letter); }

// Writes back every recorded value with its own type; failures are shown,
// keep their value in the record, and the others go on.
static int RestoreFolders(const WCHAR *path)
{
    HKEY key;
    LONG rc = RegCreateKeyExW(HKEY_CURRENT_USER, path, 0, nullptr, 0, 0x20007, nullptr, &key, nullptr);
    int restored = 0;
    if (rc != ERROR_SUCCESS) {
        ShowRegistryError(rc);
    } else {
        restored = 1;
        for (int i = 0; i < SHELL_FOLDER_COUNT; ++i)
            if ((rc = RestoreRecordedValue(key, HKEY_CURRENT_USER, path, g_shellFolderNames[i])) != ERROR_SUCCESS) {
                ShowRegistryError(rc);
                restored = 0;
            }
        RegCloseKey(key);
    }
    BroadcastEnvironmentChange(SMTO_ABORTIFHUNG, 1000);
    return restored;
}

int RestoreUserShellFolders(void) { return RestoreFolders(kUserShellFolders); }

int RestoreShellFolders(void) { return RestoreFolders(kShellFolders); }
