// The two staging keys through which whole registry keys change mode, and
// the swap of each listed registry item.
#include "env/staging_keys.h"
#include "env/hive_restore.h"
#include "env/reg_store_sql.h"

#include <shlwapi.h>
#include <stdlib.h>

#include "Mount/msgbox.h"
#include "env/item_journal.h"

static const WCHAR kPublicStaging[] = L"Software\\Tessaline\\Veilguard\\public";
static const WCHAR kPrivateStaging[] = L"Software\\Tessaline\\Veilguard\\private";

static HKEY s_publicKey, s_privateKey;

// The staging key of the mode being left and of the one arriving.
static const WCHAR *LeavingStaging(int mode) { return mode == 1 ? kPublicStaging : kPrivateStaging; }
static const WCHAR *ArrivingStaging(int mode) { return mode == 1 ? kPrivateStaging : kPublicStaging; }
static HKEY LeavingKey(int mode) { return mode == 1 ? s_publicKey : s_privateKey; }
static HKEY ArrivingKey(int mode) { return mode == 1 ? s_privateKey : s_publicKey; }

// Where an item's key waits in a staging key: "<staging>\<subkey>" for the
// current user's keys (the layout every stored hive has), with the root's
// name in between for the other roots, so that the same sub-key under two
// roots never shares one place.
static bool StagingPath(const WCHAR *staging, const AppRegEntry *entry, WCHAR *out, int size)
{
    const WCHAR *root = entry->root == HKEY_LOCAL_MACHINE ? L"HKEY_LOCAL_MACHINE\\"
                        : entry->root == HKEY_USERS       ? L"HKEY_USERS\\"
                        : entry->root == HKEY_CURRENT_USER ? L""
                                                           : nullptr;
    if (!root || lstrlenW(staging) + lstrlenW(root) + lstrlenW(entry->subkey) + 2 > size)
        return false;
    wsprintfW(out, L"%s\\%s%s", staging, root, entry->subkey);
    return true;
}

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

// Overwrites a file's bytes with zeros before deleting it: a hive holds a
// mode's registry contents.
void WipeAndDeleteFile(const WCHAR *file)
{
    HANDLE h = CreateFileW(file, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
        LARGE_INTEGER size;
        if (GetFileSizeEx(h, &size)) {
            static const BYTE zeros[4096] = {};
            for (LONGLONG left = size.QuadPart; left > 0;) {
                DWORD chunk = left > LONGLONG(sizeof(zeros)) ? DWORD(sizeof(zeros)) : DWORD(left), put = 0;
                if (!WriteFile(h, zeros, chunk, &put, nullptr) || put == 0)
                    break;
                left -= put;
            }
            FlushFileBuffers(h);
        }
        CloseHandle(h);
    }
    SetFileAttributesW(file, FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(file);
}

// Loads the stored hive of the column into key. ERROR_SUCCESS also when the
// column holds nothing yet.
static LONG LoadStagingKey(HKEY key, const char *column, const WCHAR *file)
{
    int loaded = LoadRegBackup(column, file);
    LONG rc = loaded < 0 ? ERROR_WRITE_FAULT : ERROR_SUCCESS;
    if (loaded > 0)
        rc = RestoreKeyFromHive(key, file);
    WipeAndDeleteFile(file);
    return rc;
}

LONG RestoreStagingKey(int mode, const WCHAR *file)
{
    return LoadStagingKey(ArrivingKey(mode), LoadingColumn(mode), file);
}

LONG PreloadLeavingStagingKey(int mode, const WCHAR *file)
{
    return LoadStagingKey(LeavingKey(mode), SavingColumn(mode), file);
}

LONG StoreStagingKey(int mode, const WCHAR *file)
{
    DeleteFileW(file);
    LONG rc = RegSaveKeyW(LeavingKey(mode), file, nullptr);
    if (rc != ERROR_SUCCESS)
        return rc;
    if (!SaveRegBackup(SavingColumn(mode), file)) {
        // The hive stays beside the database for whoever recovers it; the
        // staging key stays too, and the next switch stores it first.
        OutputDebugStringW(L"The registry snapshot did not reach the switch database.");
        return ERROR_WRITE_FAULT;
    }
    WipeAndDeleteFile(file);
    return ERROR_SUCCESS;
}

BOOL StagingKeyHoldsData(int mode)
{
    DWORD subkeys = 0, values = 0;
    if (RegQueryInfoKeyW(LeavingKey(mode), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr,
                         nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        return TRUE;  // unknown: store it, which keeps whatever it holds
    return subkeys + values > 0;
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
// while the registry asks for more. Null when the value cannot be read
// (*error says why).
static BYTE *ReadGrowing(HKEY key, const WCHAR *name, DWORD *type, DWORD *size, LONG *error)
{
    DWORD capacity = 8192;
    for (;;) {
        BYTE *buffer = static_cast<BYTE *>(calloc(capacity, 1));
        if (!buffer) {
            *error = ERROR_NOT_ENOUGH_MEMORY;
            return nullptr;
        }
        DWORD bytes = capacity;
        LONG rc = RegQueryValueExW(key, name, nullptr, type, buffer, &bytes);
        if (rc == ERROR_SUCCESS) {
            *size = bytes;
            return buffer;
        }
        free(buffer);
        if (rc != ERROR_MORE_DATA) {
            *error = rc;
            return nullptr;
        }
        capacity += 4096;
    }
}

// The journal says what is left to do: an unmoved item first makes its
// leaving contents safe, an item moved out only receives its arriving ones.
// The note goes when the item is done (or holds nothing to move); after a
// failure it stays as it is.
static int SwapValue(const AppRegEntry *entry, int mode, bool movedOut)
{
    HKEY key;
    LONG rc = RegOpenKeyExW(entry->root, entry->subkey, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &key);
    if (rc != ERROR_SUCCESS) {
        if (rc == ERROR_FILE_NOT_FOUND)
            WriteItemNote(entry, kItemDone);
        return 0;
    }
    DWORD type = 0, size = 0;
    BYTE *current = ReadGrowing(key, entry->item, &type, &size, &rc);
    if (!current) {
        // A value that does not exist is not created.
        RegCloseKey(key);
        if (rc == ERROR_FILE_NOT_FOUND)
            WriteItemNote(entry, kItemDone);
        return 0;
    }
    if (!movedOut) {
        // The leaving mode's contents must be safe before they are replaced,
        // and the journal must say so before anything is replaced.
        bool saved =
            size == 0 || SaveRegValue(SavingColumn(mode), entry->root, entry->subkey, entry->item, current, size);
        if (saved && (rc = WriteItemNote(entry, kItemMovedOut + static_cast<DWORD>(mode))) != ERROR_SUCCESS) {
            ShowRegistryError(rc);
            saved = false;
        }
        if (!saved) {
            free(current);
            RegCloseKey(key);
            return 0;
        }
    }
    free(current);
    DWORD loadedSize = 0;
    BYTE *loaded = LoadRegValue(LoadingColumn(mode), entry->root, entry->subkey, entry->item, &loadedSize);
    // Never saved for the arriving mode: the value stays, emptied.
    rc = RegSetValueExW(key, entry->item, 0, type, loaded, loaded ? loadedSize : 0);
    free(loaded);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS) {
        ShowRegistryError(rc);
        return 0;
    }
    WriteItemNote(entry, kItemDone);
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

static int SwapKey(const AppRegEntry *entry, int mode, bool movedOut)
{
    WCHAR leaving[1024], arriving[1024];
    if (!StagingPath(LeavingStaging(mode), entry, leaving, 1024) ||
        !StagingPath(ArrivingStaging(mode), entry, arriving, 1024))
        return 0;

    LONG rc;
    if (!movedOut) {
        // The leaving staging key starts from the stored hive: the item's
        // copy there is replaced by what the application has now (nothing,
        // when it has no key any more).
        rc = SHDeleteKeyW(HKEY_CURRENT_USER, leaving);
        if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND) {
            ShowRegistryError(rc);
            return 0;
        }
        // The application's current contents go to the leaving staging key;
        // a key the application has not made has nothing to save.
        if (KeyExists(entry->root, entry->subkey)) {
            HKEY saved;
            rc = RegCreateKeyExW(HKEY_CURRENT_USER, leaving, 0, nullptr, 0, 0x20007, nullptr, &saved, nullptr);
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
        } else if (!KeyExists(HKEY_CURRENT_USER, arriving)) {
            WriteItemNote(entry, kItemDone);
            return 1;  // nothing in either mode
        }
        if ((rc = WriteItemNote(entry, kItemMovedOut + static_cast<DWORD>(mode))) != ERROR_SUCCESS) {
            ShowRegistryError(rc);
            return 0;
        }
    }

    // The application's key gets the arriving contents, and nothing else.
    rc = SHDeleteKeyW(entry->root, entry->subkey);
    if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND) {
        ShowRegistryError(rc);
        return 0;
    }
    HKEY fresh;
    rc = RegCreateKeyExW(entry->root, entry->subkey, 0, nullptr, 0, 0x20007, nullptr, &fresh, nullptr);
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
    WriteItemNote(entry, kItemDone);
    return 1;
}

int SwapRegistryItem(const AppRegEntry *entry, int mode)
{
    if (!IsSwitchedItem(entry))
        return 0;
    DWORD note = ReadItemNote(entry);
    if (note == kItemUnmoved + static_cast<DWORD>(3 - mode)) {
        // The other switch left the item where it was: it holds this
        // switch's arriving contents already.
        WriteItemNote(entry, kItemDone);
        return 0;
    }
    // Only this switch's own note says the item is half moved. A note that
    // the other switch moved it out is one that switch could not drop when
    // it had finished the item (a cut-off switch is always finished before
    // another one runs): the item holds this switch's leaving contents, with
    // whatever was changed since, and moves like an unmoved one.
    bool movedOut = note == kItemMovedOut + static_cast<DWORD>(mode);
    bool staleNote = note == kItemMovedOut + static_cast<DWORD>(3 - mode);
    // No note: this switch moved the item before it was cut off.
    if (!movedOut && !staleNote && note != kItemUnmoved + static_cast<DWORD>(mode))
        return 0;
    return entry->item ? SwapValue(entry, mode, movedOut) : SwapKey(entry, mode, movedOut);
}
