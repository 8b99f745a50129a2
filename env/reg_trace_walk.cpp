// Counting and deleting the registry traces of an item, for the cleaning.
#include "env/reg_store.h"

#include <stdlib.h>

// Name buffers one unit longer than the key's longest sub-key and value
// names. False when the key cannot be asked or memory runs out.
static bool NameBuffers(HKEY key, WCHAR **subkey, DWORD *subkeyUnits, WCHAR **value, DWORD *valueUnits)
{
    DWORD longestSubkey = 0, longestValue = 0;
    if (RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, &longestSubkey, nullptr, nullptr, &longestValue,
                         nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        return false;
    *subkeyUnits = longestSubkey + 1;
    *valueUnits = longestValue + 1;
    *subkey = static_cast<WCHAR *>(calloc(*subkeyUnits, sizeof(WCHAR)));
    *value = static_cast<WCHAR *>(calloc(*valueUnits, sizeof(WCHAR)));
    if (*subkey && *value)
        return true;
    free(*subkey);
    free(*value);
    return false;
}

void MeasureRegTrace(HKEY root, const WCHAR *path, const WCHAR *name, UINT64 *count, UINT64 *bytes)
{
    HKEY key;
    if (RegOpenKeyExW(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return;
    DWORD size = 0;
    if (name) {
        if (RegQueryValueExW(key, name, nullptr, nullptr, nullptr, &size) == ERROR_SUCCESS) {
            *count += 1;
            *bytes += size;
        }
        RegCloseKey(key);
        return;
    }
    WCHAR *subkey, *value;
    DWORD subkeyUnits, valueUnits;
    if (NameBuffers(key, &subkey, &subkeyUnits, &value, &valueUnits)) {
        for (DWORD i = 0;; ++i) {
            DWORD units = subkeyUnits;
            if (RegEnumKeyExW(key, i, subkey, &units, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
                break;
            MeasureRegTrace(key, subkey, nullptr, count, bytes);
        }
        for (DWORD i = 0;; ++i) {
            DWORD units = valueUnits;
            size = 0;
            LONG rc = RegEnumValueW(key, i, value, &units, nullptr, nullptr, nullptr, &size);
            if (rc == ERROR_NO_MORE_ITEMS)
                break;
            if (rc == ERROR_SUCCESS) {
                *count += 1;
                *bytes += size;
            }
        }
        free(subkey);
        free(value);
    }
    RegCloseKey(key);
}

int DeleteRegTrace(HKEY root, const WCHAR *path, const WCHAR *name, UINT64 *count, UINT64 *bytes)
{
    HKEY key;
    if (RegOpenKeyExW(root, path, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return 0;
    DWORD size = 0;
    if (name) {
        int deleted = 0;
        if (RegQueryValueExW(key, name, nullptr, nullptr, nullptr, &size) == ERROR_SUCCESS &&
            RegDeleteValueW(key, name) == ERROR_SUCCESS) {
            *count += 1;
            *bytes += size;
            deleted = 1;
        }
        RegCloseKey(key);
        return deleted;
    }
    WCHAR *subkey, *value;
    DWORD subkeyUnits, valueUnits;
    if (NameBuffers(key, &subkey, &subkeyUnits, &value, &valueUnits)) {
        // A deleted sub-key's place is taken by the next one; one that stays
        // moves the index on.
        for (DWORD i = 0;;) {
            DWORD units = subkeyUnits;
            if (RegEnumKeyExW(key, i, subkey, &units, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
                break;
            if (!DeleteRegTrace(key, subkey, nullptr, count, bytes))
                ++i;
        }
        for (DWORD i = 0;;) {
            DWORD units = valueUnits;
            size = 0;
            LONG rc = RegEnumValueW(key, i, value, &units, nullptr, nullptr, nullptr, &size);
            if (rc == ERROR_NO_MORE_ITEMS)
                break;
            if (rc == ERROR_SUCCESS && RegDeleteValueW(key, value) == ERROR_SUCCESS) {
                *count += 1;
                *bytes += size;
            } else {
                ++i;
            }
        }
        free(subkey);
        free(value);
    }
    RegCloseKey(key);
    return RegDeleteKeyW(root, path) == ERROR_SUCCESS ? 1 : 0;
}
