// The user's shell folders ("Shell Folders" and "User Shell Folders"),
// moved onto the virtual disk and back.
#include "env/env_folders.h"

#include <shlobj.h>

#include "Mount/msgbox.h"
#include "env/reg_text.h"
#include "env/trace_db.h"

const WCHAR *const g_shellFolderNames[SHELL_FOLDER_COUNT] = {
    L"Cache", L"Cookies", L"Desktop", L"Favorites", L"History",
    L"My Pictures", L"NetHood", L"Personal", L"Recent", L"SendTo",
};

// What "User Shell Folders" gets back when it is restored in a run that did
// not redirect it. The desktop's default is its Simplified Chinese name.
static const WCHAR *const kUserShellFolderDefaults[SHELL_FOLDER_COUNT] = {
    L"%USERPROFILE%\\AppData\\Local\\Microsoft\\Windows\\Temporary Internet Files",
    L"%USERPROFILE%\\AppData\\Roaming\\Microsoft\\Windows\\Cookies",
    L"%USERPROFILE%\\\x684C\x9762",
    L"%USERPROFILE%\\Favorites",
    L"%USERPROFILE%\\AppData\\Local\\Microsoft\\Windows\\History",
    L"%USERPROFILE%\\My Pictures",
    L"%USERPROFILE%\\AppData\\Roaming\\Microsoft\\Windows\\Network Shortcuts",
    L"%USERPROFILE%\\Documents",
    L"%USERPROFILE%\\AppData\\Roaming\\Microsoft\\Windows\\Recent",
    L"%USERPROFILE%\\AppData\\Roaming\\Microsoft\\Windows\\SendTo",
};

static const int kShellFolderCsidl[SHELL_FOLDER_COUNT] = {0x20, 0x21, 0x00, 0x06, 0x22, 0x27, 0x13, 0x05, 0x08, 0x09};

static const WCHAR kShellFolders[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
static const WCHAR kUserShellFolders[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";

WCHAR g_shellFolderCopies[SHELL_FOLDER_COUNT][MAX_PATH];
WCHAR g_userShellFolderCopies[SHELL_FOLDER_COUNT][MAX_PATH];

// Values this run could not redirect are still the user's own: restoring
// them from a copy would overwrite them with a default or an empty text.
static bool s_shellFolderKept[SHELL_FOLDER_COUNT], s_userShellFolderKept[SHELL_FOLDER_COUNT];


void ResetFolderCopies(void)
{
    for (int i = 0; i < SHELL_FOLDER_COUNT; ++i) {
        g_shellFolderCopies[i][0] = 0;
        lstrcpynW(g_userShellFolderCopies[i], kUserShellFolderDefaults[i], MAX_PATH);
        s_shellFolderKept[i] = s_userShellFolderKept[i] = false;
    }
    g_systemTempCopy[0] = g_systemTmpCopy[0] = g_userTempCopy[0] = g_userTmpCopy[0] = 0;
}

// The copies hold their start-up state before anything runs.
static const bool s_copiesReady = (ResetFolderCopies(), true);

int RedirectFolderValue(HKEY key, const WCHAR *name, WCHAR *copy, WCHAR letter)
{
    DWORD bytes = 0;
    LONG rc = RegQueryValueExW(key, name, nullptr, nullptr, nullptr, &bytes);
    if (rc != ERROR_SUCCESS) {
        ShowRegistryError(rc);
        return 0;
    }
    // A path longer than the copy holds would be cut: leave such a value.
    if ((rc = ReadTextValue(key, name, copy)) != ERROR_SUCCESS) {
        ShowRegistryError(rc);
        return 0;
    }
    if (bytes <= sizeof(WCHAR))
        ResolveAppFolder(nullptr, name, copy);

    WCHAR target[MAX_PATH];
    if ((rc = ExpandOntoDrive(copy, letter, target)) != ERROR_SUCCESS) {
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

static int RedirectFolders(const WCHAR *path, WCHAR (*copies)[MAX_PATH], bool *kept, WCHAR letter)
{
    HKEY key;
    LONG rc = RegCreateKeyExW(HKEY_CURRENT_USER, path, 0, nullptr, 0, 0x20007, nullptr, &key, nullptr);
    if (rc != ERROR_SUCCESS) {
        ShowRegistryError(rc);
        return 0;
    }
    for (int i = 0; i < SHELL_FOLDER_COUNT; ++i)
        kept[i] = !RedirectFolderValue(key, g_shellFolderNames[i], copies[i], letter);
    RegCloseKey(key);
    BroadcastEnvironmentChange(SMTO_NORMAL, 1000);
    return 1;
}

int RedirectUserShellFolders(WCHAR letter)
{
    return RedirectFolders(kUserShellFolders, g_userShellFolderCopies, s_userShellFolderKept, letter);
}

int RedirectShellFolders(WCHAR letter)
{
    return RedirectFolders(kShellFolders, g_shellFolderCopies, s_shellFolderKept, letter);
}

// Writes every copy back under its name; failures are shown and skipped.
static int RestoreFolders(const WCHAR *path, WCHAR (*copies)[MAX_PATH], const bool *kept, DWORD type)
{
    HKEY key;
    LONG rc = RegCreateKeyExW(HKEY_CURRENT_USER, path, 0, nullptr, 0, 0x20006, nullptr, &key, nullptr);
    if (rc != ERROR_SUCCESS) {
        ShowRegistryError(rc);
    } else {
        for (int i = 0; i < SHELL_FOLDER_COUNT; ++i)
            if (!kept[i] && (rc = WriteTextValue(key, g_shellFolderNames[i], type, copies[i])) != ERROR_SUCCESS)
                ShowRegistryError(rc);
        RegCloseKey(key);
    }
    BroadcastEnvironmentChange(SMTO_ABORTIFHUNG, 1000);
    return 1;
}

int RestoreUserShellFolders(void)
{
    return RestoreFolders(kUserShellFolders, g_userShellFolderCopies, s_userShellFolderKept, REG_EXPAND_SZ);
}

int RestoreShellFolders(void)
{
    return RestoreFolders(kShellFolders, g_shellFolderCopies, s_shellFolderKept, REG_SZ);
}

int RefreshShellFolderCopies(void)
{
    // A copy this run saved while redirecting holds the value to go back to;
    // the shell would now answer with the folder on the virtual disk.
    for (int i = 0; i < SHELL_FOLDER_COUNT; ++i)
        if (!g_shellFolderCopies[i][0])
            SHGetSpecialFolderPathW(nullptr, g_shellFolderCopies[i], kShellFolderCsidl[i], TRUE);
    return 1;
}
