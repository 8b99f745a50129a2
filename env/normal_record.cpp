#include "env/normal_record.h"

#include <stdlib.h>

static const WCHAR kRecordKey[] = L"Software\\Tessaline\\Veilguard\\normal";
static const WCHAR kSettingsFiles[] = L"Settings files";

static const WCHAR *RootName(HKEY root)
{
    if (root == HKEY_LOCAL_MACHINE)
        return L"HKEY_LOCAL_MACHINE";
    if (root == HKEY_USERS)
        return L"HKEY_USERS";
    return L"HKEY_CURRENT_USER";
}

// The record's key for root\path ("normal\<root name>\<path>").
static LONG OpenRecord(HKEY root, const WCHAR *path, BOOL create, HKEY *key)
{
    WCHAR name[MAX_PATH * 2];
    if (lstrlenW(path) + 64 > MAX_PATH * 2)
        return ERROR_BUFFER_OVERFLOW;
    wsprintfW(name, L"%s\\%s\\%s", kRecordKey, RootName(root), path);
    if (create)
        return RegCreateKeyExW(HKEY_CURRENT_USER, name, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, key, nullptr);
    return RegOpenKeyExW(HKEY_CURRENT_USER, name, 0, KEY_READ | KEY_WRITE, key);
}

// The value with its type, in a buffer from malloc (null when unreadable).
static BYTE *ReadRaw(HKEY key, const WCHAR *name, DWORD *type, DWORD *size, LONG *error)
{
    for (DWORD capacity = 1024;; capacity *= 2) {
        BYTE *buffer = static_cast<BYTE *>(calloc(capacity + sizeof(WCHAR), 1));
        if (!buffer) {
            *error = ERROR_OUTOFMEMORY;
            return nullptr;
        }
        DWORD bytes = capacity;
        *error = RegQueryValueExW(key, name, nullptr, type, buffer, &bytes);
        if (*error == ERROR_SUCCESS) {
            *size = bytes;
            return buffer;
        }
        free(buffer);
        if (*error != ERROR_MORE_DATA || capacity > (1u << 24))
            return nullptr;
    }
}

static BOOL HasValue(HKEY key, const WCHAR *name)
{
    return RegQueryValueExW(key, name, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

LONG RecordValue(HKEY key, HKEY root, const WCHAR *path, const WCHAR *name)
{
    HKEY record;
    LONG rc = OpenRecord(root, path, TRUE, &record);
    if (rc != ERROR_SUCCESS)
        return rc;
    if (!HasValue(record, name)) {
        DWORD type = 0, size = 0;
        BYTE *data = ReadRaw(key, name, &type, &size, &rc);
        if (data) {
            rc = RegSetValueExW(record, name, 0, type, data, size);
            free(data);
        }
    }
    RegCloseKey(record);
    return rc;
}

LONG RecordedText(HKEY root, const WCHAR *path, const WCHAR *name, WCHAR *out, DWORD *type)
{
    HKEY record;
    LONG rc = OpenRecord(root, path, FALSE, &record);
    if (rc != ERROR_SUCCESS)
        return ERROR_FILE_NOT_FOUND;
    DWORD size = 0;
    BYTE *data = ReadRaw(record, name, type, &size, &rc);
    RegCloseKey(record);
    if (!data)
        return rc;
    // Terminated by calloc's extra unit; a longer text does not fit.
    const WCHAR *text = reinterpret_cast<const WCHAR *>(data);
    if (lstrlenW(text) >= MAX_PATH)
        rc = ERROR_MORE_DATA;
    else
        lstrcpyW(out, text);
    free(data);
    return rc;
}

LONG RestoreRecordedValue(HKEY key, HKEY root, const WCHAR *path, const WCHAR *name)
{
    HKEY record;
    if (OpenRecord(root, path, FALSE, &record) != ERROR_SUCCESS)
        return ERROR_SUCCESS;
    DWORD type = 0, size = 0;
    LONG rc;
    BYTE *data = ReadRaw(record, name, &type, &size, &rc);
    if (data) {
        rc = RegSetValueExW(key, name, 0, type, data, size);
        free(data);
        if (rc == ERROR_SUCCESS)
            rc = RegDeleteValueW(record, name);
    } else if (rc == ERROR_FILE_NOT_FOUND) {
        rc = ERROR_SUCCESS;  // never recorded: never written
    }
    RegCloseKey(record);
    return rc;
}

static LONG OpenSettingsRecord(BOOL create, HKEY *key)
{
    WCHAR name[128];
    wsprintfW(name, L"%s\\%s", kRecordKey, kSettingsFiles);
    if (create)
        return RegCreateKeyExW(HKEY_CURRENT_USER, name, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, key, nullptr);
    return RegOpenKeyExW(HKEY_CURRENT_USER, name, 0, KEY_READ | KEY_WRITE, key);
}

BOOL IsSettingsFileRecorded(const WCHAR *file)
{
    HKEY key;
    if (OpenSettingsRecord(FALSE, &key) != ERROR_SUCCESS)
        return FALSE;
    BOOL held = HasValue(key, file);
    RegCloseKey(key);
    return held;
}

LONG RecordSettingsFile(const WCHAR *file)
{
    HKEY key;
    LONG rc = OpenSettingsRecord(TRUE, &key);
    if (rc != ERROR_SUCCESS)
        return rc;
    DWORD one = 1;
    rc = RegSetValueExW(key, file, 0, REG_DWORD, reinterpret_cast<const BYTE *>(&one), sizeof(one));
    RegCloseKey(key);
    return rc;
}

LONG ForgetSettingsFile(const WCHAR *file)
{
    HKEY key;
    if (OpenSettingsRecord(FALSE, &key) != ERROR_SUCCESS)
        return ERROR_SUCCESS;
    LONG rc = RegDeleteValueW(key, file);
    RegCloseKey(key);
    return rc == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : rc;
}

void ForEachRecordedSettingsFile(BOOL (*visit)(const WCHAR *file, void *context), void *context)
{
    HKEY key;
    if (OpenSettingsRecord(FALSE, &key) != ERROR_SUCCESS)
        return;
    // Collected first: the visitor may forget entries while we enumerate.
    WCHAR (*names)[MAX_PATH] = nullptr;
    DWORD count = 0, longest = 0;
    if (RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, &longest, nullptr,
                         nullptr, nullptr) == ERROR_SUCCESS &&
        count > 0)
        names = static_cast<WCHAR (*)[MAX_PATH]>(calloc(count, sizeof(*names)));
    DWORD found = 0;
    for (DWORD i = 0; names && i < count; ++i) {
        DWORD length = MAX_PATH;
        if (RegEnumValueW(key, i, names[found], &length, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS)
            ++found;
    }
    RegCloseKey(key);
    for (DWORD i = 0; i < found; ++i)
        if (!visit(names[i], context))
            break;
    free(names);
}
