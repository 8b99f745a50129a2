// Whether an application is installed, and where its folder is.
#include "env/trace_db.h"

#include "env/trace_rows.h"
#include "env/wide_text.h"

#include <shlobj.h>

BOOL IsAppPresent(const WCHAR *detectKey)
{
    if (!detectKey || !detectKey[0])
        return FALSE;
    DetectKeyParts parts = SplitDetectKey(ToU16(detectKey));
    if (parts.isRegistry) {
        HKEY key;
        if (RegOpenKeyExW(RegRootKey(parts.root), detectKey + parts.keyOffset, 0, KEY_QUERY_VALUE,
                          &key) != ERROR_SUCCESS)
            return FALSE;
        RegCloseKey(key);
        return TRUE;
    }
    WCHAR path[MAX_PATH];
    DWORD n = ExpandEnvironmentStringsW(detectKey, path, MAX_PATH);
    if (n == 0 || n > MAX_PATH)
        return FALSE;
    return GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES;
}

BOOL IsAppIdPresent(INT32 id)
{
    for (INT32 i = 0; i < g_appCount; ++i) {
        const AppEntry *a = g_apps[i];
        if (a && a->id == id && a->DetectKey)
            return IsAppPresent(a->DetectKey);
    }
    return FALSE;
}

void ResolveAppFolder(const WCHAR *detectKey, const WCHAR *name, WCHAR *out)
{
    if (!name || !out)
        return;
    std::u16string shellName = ToU16(name);
    int csidl = ShellFolderCsidl(shellName);
    if (csidl >= 0) {
        WCHAR folder[MAX_PATH] = {0};
        if (SHGetSpecialFolderPathW(nullptr, folder, csidl, TRUE))
            lstrcpynW(out, folder, MAX_PATH);
        return;
    }

    if (!detectKey || !detectKey[0])
        return;
    RegRoot root;
    size_t keyOffset;
    if (!SplitValueKey(ToU16(detectKey), &root, &keyOffset))
        return;
    HKEY key;
    if (RegOpenKeyExW(RegRootKey(root), detectKey + keyOffset, 0, KEY_QUERY_VALUE, &key) !=
        ERROR_SUCCESS)
        return;

    // The value must be text that fits the 260-unit buffer with its
    // terminator; anything else counts as not found.
    WCHAR data[MAX_PATH + 1] = {0};
    DWORD type = 0;
    DWORD bytes = MAX_PATH * sizeof(WCHAR);
    const WCHAR *valueName = lstrcmpW(name, L"default") == 0 ? nullptr : name;
    LONG rc = RegQueryValueExW(key, valueName, nullptr, &type, reinterpret_cast<BYTE *>(data),
                               &bytes);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ))
        return;
    DWORD units = bytes / sizeof(WCHAR);
    if (units >= MAX_PATH && data[MAX_PATH - 1] != 0)
        return;
    data[units < MAX_PATH ? units : MAX_PATH - 1] = 0;

    std::u16string text = ToU16(data);
    if (!FolderFromShellValue(text))
        return;
    for (size_t i = 0; i < text.size(); ++i)
        out[i] = static_cast<WCHAR>(text[i]);
    out[text.size()] = 0;
}
