// TEMP and TMP of the machine and of the user, moved onto the virtual disk
// and back.
#include "env/env_folders.h"

#include <shlobj.h>

#include "Mount/msgbox.h"
#include "env/reg_text.h"

WCHAR g_systemTempCopy[MAX_PATH], g_systemTmpCopy[MAX_PATH];
WCHAR g_userTempCopy[MAX_PATH], g_userTmpCopy[MAX_PATH];

static const WCHAR kSystemEnvironment[] = L"System\\CurrentControlSet\\Control\\Session Manager\\Environment";
static const WCHAR kUserEnvironment[] = L"Environment";

static LONG OpenEnvironment(HKEY root, const WCHAR *path, REGSAM access, HKEY *key)
{
    return RegCreateKeyExW(root, path, 0, nullptr, 0, access, nullptr, key, nullptr);
}

// Saves TEMP and TMP into the copies, then writes TEMP's expanded path with
// the letter as both values. ERROR_SUCCESS or the first error.
static LONG RedirectTempValues(HKEY key, WCHAR *tempCopy, WCHAR *tmpCopy, WCHAR letter)
{
    LONG rc = ReadTextValue(key, L"TEMP", tempCopy);
    if (rc == ERROR_SUCCESS)
        rc = ReadTextValue(key, L"TMP", tmpCopy);
    WCHAR target[MAX_PATH];
    if (rc == ERROR_SUCCESS)
        rc = ExpandOntoDrive(tempCopy, letter, target);
    if (rc == ERROR_SUCCESS)
        rc = WriteTextValue(key, L"TEMP", REG_EXPAND_SZ, target);
    if (rc == ERROR_SUCCESS)
        rc = WriteTextValue(key, L"TMP", REG_EXPAND_SZ, target);
    return rc;
}

static int RedirectTemp(HKEY root, const WCHAR *path, WCHAR *tempCopy, WCHAR *tmpCopy, WCHAR letter)
{
    HKEY key;
    LONG rc = OpenEnvironment(root, path, 0x20007, &key);
    if (rc != ERROR_SUCCESS) {
        ShowRegistryError(rc);
        return 0;
    }
    rc = RedirectTempValues(key, tempCopy, tmpCopy, letter);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS) {
        ShowRegistryError(rc);
        return 0;
    }
    BroadcastEnvironmentChange(SMTO_ABORTIFHUNG, 5000);
    return 1;
}

int RedirectSystemTemp(WCHAR letter)
{
    return RedirectTemp(HKEY_LOCAL_MACHINE, kSystemEnvironment, g_systemTempCopy, g_systemTmpCopy, letter);
}

int RedirectUserTemp(WCHAR letter)
{
    return RedirectTemp(HKEY_CURRENT_USER, kUserEnvironment, g_userTempCopy, g_userTmpCopy, letter);
}

// Writes both values; every failure is shown and the next step is tried.
static void RestoreTemp(HKEY root, const WCHAR *path, const WCHAR *temp, const WCHAR *tmp)
{
    HKEY key;
    LONG rc = OpenEnvironment(root, path, 0x20006, &key);
    if (rc != ERROR_SUCCESS) {
        ShowRegistryError(rc);
    } else {
        if ((rc = WriteTextValue(key, L"TEMP", REG_EXPAND_SZ, temp)) != ERROR_SUCCESS)
            ShowRegistryError(rc);
        if ((rc = WriteTextValue(key, L"TMP", REG_EXPAND_SZ, tmp)) != ERROR_SUCCESS)
            ShowRegistryError(rc);
        RegCloseKey(key);
    }
    BroadcastEnvironmentChange(SMTO_ABORTIFHUNG, 5000);
}

int RestoreSystemTemp(void)
{
    if (!g_systemTempCopy[0])
        lstrcpyW(g_systemTempCopy, L"%systemroot%\\temp");
    if (!g_systemTmpCopy[0])
        lstrcpyW(g_systemTmpCopy, L"%systemroot%\\temp");
    RestoreTemp(HKEY_LOCAL_MACHINE, kSystemEnvironment, g_systemTempCopy, g_systemTmpCopy);
    return 1;
}

int RestoreUserTemp(void)
{
    static const WCHAR kUserTemp[] = L"%userprofile%\\temp";
    RestoreTemp(HKEY_CURRENT_USER, kUserEnvironment, kUserTemp, kUserTemp);
    // The user's programs find their temporary folder there from now on;
    // it must exist, or they cannot make temporary files.
    WCHAR folder[MAX_PATH];
    DWORD n = ExpandEnvironmentStringsW(kUserTemp, folder, MAX_PATH);
    if (n > 0 && n <= MAX_PATH && GetFileAttributesW(folder) == INVALID_FILE_ATTRIBUTES)
        SHCreateDirectoryExW(nullptr, folder, nullptr);
    return 1;
}
