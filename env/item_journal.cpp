// The journal of a registry switch, one REG_DWORD per unfinished item under
// "Software\Tessaline\Veilguard\unswitched", named "<root>|<subkey>|<value>".
#include "env/item_journal.h"

static const WCHAR kJournal[] = L"Software\\Tessaline\\Veilguard\\unswitched";

static bool NoteName(const AppRegEntry *entry, WCHAR *name, int size)
{
    const WCHAR *item = entry->item ? entry->item : L"";
    if (lstrlenW(entry->subkey) + lstrlenW(item) + 16 > size)
        return false;
    wsprintfW(name, L"%lu|", static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(entry->root) & 0xFFFFFFFFu));
    lstrcatW(name, entry->subkey);
    lstrcatW(name, L"|");
    lstrcatW(name, item);
    return true;
}

DWORD ReadItemNote(const AppRegEntry *entry)
{
    WCHAR name[2048];
    HKEY key;
    if (!NoteName(entry, name, 2048) || RegOpenKeyExW(HKEY_CURRENT_USER, kJournal, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return kItemDone;
    DWORD value = 0, bytes = sizeof(value), type = 0;
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE *>(&value), &bytes) != ERROR_SUCCESS ||
        type != REG_DWORD || bytes != sizeof(value))
        value = kItemDone;
    RegCloseKey(key);
    return value;
}

LONG WriteItemNote(const AppRegEntry *entry, DWORD note)
{
    WCHAR name[2048];
    if (!NoteName(entry, name, 2048))
        return ERROR_FILENAME_EXCED_RANGE;
    HKEY key;
    LONG rc = note == kItemDone
                  ? RegOpenKeyExW(HKEY_CURRENT_USER, kJournal, 0, KEY_SET_VALUE, &key)
                  : RegCreateKeyExW(HKEY_CURRENT_USER, kJournal, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr);
    if (rc != ERROR_SUCCESS)
        return note == kItemDone && rc == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : rc;
    if (note == kItemDone) {
        if ((rc = RegDeleteValueW(key, name)) == ERROR_FILE_NOT_FOUND)
            rc = ERROR_SUCCESS;
    } else {
        rc = RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE *>(&note), sizeof(note));
    }
    RegCloseKey(key);
    return rc;
}

bool IsSwitchedItem(const AppRegEntry *entry)
{
    return entry && entry->aid != 0 && entry->subkey && IsAppIdPresent(entry->aid);
}

LONG NoteItemsToMove(int mode)
{
    for (INT32 i = 0; i < g_regItemCount; ++i) {
        const AppRegEntry *entry = g_regItems[i];
        if (!IsSwitchedItem(entry) || ReadItemNote(entry) != kItemDone)
            continue;
        LONG rc = WriteItemNote(entry, kItemUnmoved + static_cast<DWORD>(mode));
        if (rc != ERROR_SUCCESS)
            return rc;
    }
    return ERROR_SUCCESS;
}
