// Whether an application is installed, and where its folder is.
#include "env/trace_db.h"

#include "env/registry_view.h"
#include "env/trace_rows.h"
#include "env/wide_text.h"

#include <shlobj.h>

BOOL IsAppPresent(const WCHAR *detectKey)
{
    if (!detectKey || !detectKey[0])
        return FALSE;
    DetectKeyParts parts = SplitDetectKey(ToU16(detectKey));
    if (parts.isRegistry) {
        // A 64-bit application registers in the 64-bit view only; the key
        // counts in either view.
        HKEY key;
        if (OpenKeyInAnyView(RegRootKey(parts.root), detectKey + parts.keyOffset, KEY_QUERY_VALUE,
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

namespace {

// Reads the value that a ShellName names from one registry view and turns
// it into a folder (a file path gives its folder). The value must be text
// that fits the 260-unit buffer with its terminator; anything else counts
// as not found.
bool ReadFolderValue(HKEY root, const WCHAR *path, REGSAM view, const WCHAR *name, WCHAR *out)
{
    HKEY key;
    if (RegOpenKeyExW(root, path, 0, KEY_QUERY_VALUE | view, &key) != ERROR_SUCCESS)
        return false;
    WCHAR data[MAX_PATH + 1] = {0};
    DWORD type = 0;
    DWORD bytes = MAX_PATH * sizeof(WCHAR);
    const WCHAR *valueName = lstrcmpW(name, L"default") == 0 ? nullptr : name;
    LONG rc = RegQueryValueExW(key, valueName, nullptr, &type, reinterpret_cast<BYTE *>(data),
                               &bytes);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ))
        return false;
    DWORD units = bytes / sizeof(WCHAR);
    if (units >= MAX_PATH && data[MAX_PATH - 1] != 0)
        return false;
    data[units < MAX_PATH ? units : MAX_PATH - 1] = 0;

    std::u16string text = ToU16(data);
    DWORD attributes = GetFileAttributesW(data);
    bool existingFolder = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
    if (!FolderFromShellValue(text, existingFolder))
        return false;
    for (size_t i = 0; i < text.size(); ++i)
        out[i] = static_cast<WCHAR>(text[i]);
    out[text.size()] = 0;
    return true;
}

} // namespace

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
    // The value is taken from the first registry view that has it, so that
    // a 64-bit application's folder is found from this 32-bit program too.
    REGSAM views[2];
    int viewCount = RegistryViews(views);
    for (int v = 0; v < viewCount; ++v) {
        WCHAR folder[MAX_PATH];
        if (ReadFolderValue(RegRootKey(root), detectKey + keyOffset, views[v], name, folder)) {
            lstrcpynW(out, folder, MAX_PATH);
            return;
        }
    }
}
