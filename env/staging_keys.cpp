// The two staging keys through which whole registry keys change mode, and
// the swap of each listed registry item.
#include "env/reg_store.h"

#include <shlwapi.h>
#include <stdlib.h>

#include "Mount/msgbox.h"

static const WCHAR kPublicStaging[] = L"Software\\Tessaline\\Veilguard\\public";
static const WCHAR kPrivateStaging[] = L"Software\\Tessaline\\Veilguard\\private";

static HKEY s_publicKey, s_privateKey;

// The staging key of the mode being left and of the one arriving.
static const WCHAR *LeavingStaging(int mode) { return mode == 1 ? kPublicStaging : kPrivateStaging; }
static const WCHAR *ArrivingStaging(int mode) { return mode == 1 ? kPrivateStaging : kPublicStaging; }
static HKEY LeavingKey(int mode) { return mode == 1 ? s_publicKey : s_privateKey; }
static HKEY ArrivingKey(int mode) { return mode == 1 ? s_privateKey : s_publicKey; }

void OpenStagingKeys(void)
{
    LONG rc = RegCreateKeyExW(HKEY_CURRENT_USER, kPublicStaging, 0, nullptr, 0, 0x20007, nullptr, &s_publicKey,
                              nullptr);
    if (rc == ERROR_SUCCESS)
        rc = RegCreateKeyExW(HKEY_CURRENT_USER, kPrivateStaging, 0, nullptr, 0, 0x20007, nullptr, &s_privateKey,
                             nullptr);
    if (rc != ERROR_SUCCESS) {
        ShowRegistryError(rc);
        exit(1);
    }
}

void RestoreStagingKey(int mode, const WCHAR *file)
{
    if (LoadRegBackup(LoadingColumn(mode), file))
        RestoreKeyFromHive(ArrivingKey(mode), file);
    // The hive holds the other mode's registry contents: it must not stay on
    // the real disk.
    DeleteFileW(file);
}

int StoreStagingKey(int mode, const WCHAR *file)
{
    DeleteFileW(file);
    LONG rc = RegSaveKeyW(LeavingKey(mode), file, nullptr);
    if (rc != ERROR_SUCCESS)
        ShowRegistryError(rc);
    int stored = SaveRegBackup(SavingColumn(mode), file);
    if (rc == ERROR_SUCCESS && !stored) {
        OutputDebugStringW(L"The registry snapshot did not reach the switch database.");
        ShowRegistryError(ERROR_WRITE_FAULT);
    }
    DeleteFileW(file);
    return stored;
}

void CloseStagingKeys(void)
{
    if (s_publicKey)
        RegCloseKey(s_publicKey);
    if (s_privateKey)
        RegCloseKey(s_privateKey);
    s_publicKey = s_privateKey = nullptr;
}

void DeleteStagingKeys(void)
{
    CloseStagingKeys();
    SHDeleteKeyW(HKEY_CURRENT_USER, kPublicStaging);
    SHDeleteKeyW(HKEY_CURRENT_USER, kPrivateStaging);
}

// Reads a value into a buffer that starts at 8192 bytes and grows by 4096
// while the registry asks for more. Null when the value cannot be read.
static BYTE *ReadGrowing(HKEY key, const WCHAR *name, DWORD *type, DWORD *size)
{
    DWORD capacity = 8192;
    for (;;) {
        BYTE *buffer = static_cast<BYTE *>(calloc(capacity, 1));
        if (!buffer)
            return nullptr;
        DWORD bytes = capacity;
        LONG rc = RegQueryValueExW(key, name, nullptr, type, buffer, &bytes);
        if (rc == ERROR_SUCCESS) {
            *size = bytes;
            return buffer;
        }
        free(buffer);
        if (rc != ERROR_MORE_DATA)
            return nullptr;
        capacity += 4096;
    }
}

static int SwapValue(const AppRegEntry *entry, int mode)
{
    HKEY key;
    if (RegOpenKeyExW(entry->root, entry->subkey, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &key) != ERROR_SUCCESS)
        return 0;
    DWORD type = 0, size = 0;
    BYTE *current = ReadGrowing(key, entry->item, &type, &size);
    if (!current) {  // the value does not exist: it is not created
        RegCloseKey(key);
        return 0;
    }
    // The leaving mode's contents must be safe before they are replaced.
    bool saved = size == 0 || SaveRegValue(SavingColumn(mode), entry->root, entry->subkey, entry->item, current, size);
    free(current);
    if (!saved) {
        RegCloseKey(key);
        return 0;
    }
    DWORD loadedSize = 0;
    BYTE *loaded = LoadRegValue(LoadingColumn(mode), entry->subkey, entry->item, &loadedSize);
    // Never saved for the arriving mode: the value stays, emptied.
    RegSetValueExW(key, entry->item, 0, type, loaded, loaded ? loadedSize : 0);
    free(loaded);
    RegCloseKey(key);
    return 1;
}

static bool KeyExists(HKEY root, const WCHAR *path)
{
    HKEY key;
    if (RegOpenKeyExW(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

static int SwapKey(const AppRegEntry *entry, int mode)
{
    WCHAR leaving[1024], arriving[1024];
    if (lstrlenW(entry->subkey) + 48 > 1024)
        return 0;
    wsprintfW(leaving, L"%s\\%s", LeavingStaging(mode), entry->subkey);
    wsprintfW(arriving, L"%s\\%s", ArrivingStaging(mode), entry->subkey);

    // The application's current contents go to the leaving staging key; a
    // key the application has not made has nothing to save.
    if (KeyExists(entry->root, entry->subkey)) {
        HKEY saved;
        LONG rc = RegCreateKeyExW(HKEY_CURRENT_USER, leaving, 0, nullptr, 0, 0x20007, nullptr, &saved, nullptr);
        if (rc != ERROR_SUCCESS) {
            ShowRegistryError(rc);
            return 0;
        }
        rc = SHCopyKeyW(entry->root, entry->subkey, saved, 0);
        RegCloseKey(saved);
        if (rc != ERROR_SUCCESS) {
            ShowRegistryError(rc);
            return 0;
        }
        SHDeleteKeyW(entry->root, entry->subkey);
    } else if (!KeyExists(HKEY_CURRENT_USER, arriving)) {
        return 1;  // nothing in either mode
    }

    HKEY fresh;
    LONG rc = RegCreateKeyExW(entry->root, entry->subkey, 0, nullptr, 0, 0x20007, nullptr, &fresh, nullptr);
    if (rc != ERROR_SUCCESS) {
        ShowRegistryError(rc);
        return 0;
    }
    // A key never saved for the arriving mode stays empty.
    if (KeyExists(HKEY_CURRENT_USER, arriving)) {
        rc = SHCopyKeyW(HKEY_CURRENT_USER, arriving, fresh, 0);
        if (rc != ERROR_SUCCESS) {
            RegCloseKey(fresh);
            ShowRegistryError(rc);
            return 0;
        }
    }
    RegCloseKey(fresh);
    return 1;
}

int SwapRegistryItem(const AppRegEntry *entry, int mode)
{
    if (!entry || entry->aid == 0 || !entry->subkey || !IsAppIdPresent(entry->aid))
        return 0;
    return entry->item ? SwapValue(entry, mode) : SwapKey(entry, mode);
}
