// Counting and deleting the registry traces of an item, for the cleaning.
#include "env/reg_trace_walk.h"

#include <stdlib.h>

#ifndef REG_OPTION_OPEN_LINK
#define REG_OPTION_OPEN_LINK 0x00000008
#endif

namespace {

// Keys that hold whole branches of settings: never cleaned as trace items,
// whatever the database says.
const WCHAR *const kRefusedKeys[] = {
    L"Software",
    L"Software\\Classes",
    L"Software\\Classes\\CLSID",
    L"Software\\Classes\\Local Settings",
    L"Software\\Clients",
    L"Software\\Microsoft",
    L"Software\\Microsoft\\Windows",
    L"Software\\Microsoft\\Windows\\CurrentVersion",
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer",
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Policies",
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Run",
    L"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce",
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall",
    L"Software\\Microsoft\\Windows NT",
    L"Software\\Microsoft\\Windows NT\\CurrentVersion",
    L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon",
    L"Software\\Policies",
    L"Software\\Policies\\Microsoft",
    L"Software\\Wow6432Node",
    L"Software\\Wow6432Node\\Microsoft",
    L"Software\\Wow6432Node\\Classes",
    L"Control Panel",
    L"Control Panel\\Desktop",
    L"Control Panel\\International",
    L"Environment",
    L"Volatile Environment",
    L"Keyboard Layout",
    L"Printers",
    L"Network",
    L"AppEvents",
    L"Console",
    L"Identities",
};

// Branches that no trace lives in.
const WCHAR *const kRefusedBranches[] = {L"SYSTEM", L"SAM", L"SECURITY", L"HARDWARE", L"BCD00000000"};

bool SameText(const WCHAR *a, int length, const WCHAR *b)
{
    return lstrlenW(b) == length &&
           CompareStringW(MAKELCID(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), SORT_DEFAULT), NORM_IGNORECASE, a,
                          length, b, length) == CSTR_EQUAL;
}

// Opens a key without following it when it is a link; null (and closed)
// when it is one.
HKEY OpenNoLink(HKEY parent, const WCHAR *path, REGSAM access)
{
    HKEY key;
    if (RegOpenKeyExW(parent, path, REG_OPTION_OPEN_LINK, access | KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return nullptr;
    DWORD type = 0;
    if (RegQueryValueExW(key, L"SymbolicLinkValue", nullptr, &type, nullptr, nullptr) == ERROR_SUCCESS &&
        type == REG_LINK) {
        RegCloseKey(key);
        return nullptr;
    }
    return key;
}

} // namespace

bool IsCleanableRegKey(HKEY root, const WCHAR *path)
{
    int levelsNeeded = 2;
    if (root == HKEY_USERS)
        levelsNeeded = 3;
    else if (root != HKEY_CURRENT_USER && root != HKEY_LOCAL_MACHINE)
        return false;
    if (!path || !path[0])
        return false;
    int levels = 0;
    const WCHAR *part = path;
    for (;;) {
        const WCHAR *end = part;
        while (*end && *end != L'\\')
            ++end;
        int length = static_cast<int>(end - part);
        if (length == 0)
            return false;  // leading, trailing or doubled backslash
        if (levels == (root == HKEY_USERS ? 1 : 0))
            for (const WCHAR *branch : kRefusedBranches)
                if (SameText(part, length, branch))
                    return false;
        ++levels;
        if (!*end)
            break;
        part = end + 1;
    }
    if (levels < levelsNeeded)
        return false;
    const WCHAR *own = path;
    if (root == HKEY_USERS) {
        while (*own && *own != L'\\')
            ++own;
        ++own;
    }
    for (const WCHAR *refused : kRefusedKeys)
        if (SameText(own, lstrlenW(own), refused))
            return false;
    return true;
}

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

static void MeasureKey(HKEY root, const WCHAR *path, const WCHAR *name, UINT64 *count, UINT64 *bytes)
{
    HKEY key = OpenNoLink(root, path, KEY_READ);
    if (!key)
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
            MeasureKey(key, subkey, nullptr, count, bytes);
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

static int DeleteKey(HKEY root, const WCHAR *path, const WCHAR *name, UINT64 *count, UINT64 *bytes)
{
    HKEY key = OpenNoLink(root, path, KEY_ALL_ACCESS);
    if (!key)
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
            if (!DeleteKey(key, subkey, nullptr, count, bytes))
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

void MeasureRegTrace(HKEY root, const WCHAR *path, const WCHAR *name, UINT64 *count, UINT64 *bytes)
{
    if (IsCleanableRegKey(root, path))
        MeasureKey(root, path, name, count, bytes);
}

int DeleteRegTrace(HKEY root, const WCHAR *path, const WCHAR *name, UINT64 *count, UINT64 *bytes)
{
    return IsCleanableRegKey(root, path) ? DeleteKey(root, path, name, count, bytes) : 0;
}
