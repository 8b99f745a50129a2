// The folders a cleaning must never walk. Deleting is irreversible: a damaged
// or hostile trace database must not be able to empty a drive, the Windows
// folder or the user's profile.
#include "clean/clean_ops.h"

#include <shlobj.h>

namespace {

// The folder without a "\\?\" prefix (a "\\?\UNC\" one becomes "\\") and
// without trailing backslashes, into out (MAX_PATH units). False when it
// does not fit or is not an absolute drive or share path.
bool PlainForm(const WCHAR *path, WCHAR *out)
{
    WCHAR joined[MAX_PATH];
    if (path[0] == L'\\' && path[1] == L'\\' && path[2] == L'?' && path[3] == L'\\') {
        if ((path[4] == L'U' || path[4] == L'u') && (path[5] == L'N' || path[5] == L'n') &&
            (path[6] == L'C' || path[6] == L'c') && path[7] == L'\\') {
            if (lstrlenW(path + 8) + 3 > MAX_PATH)
                return false;
            wsprintfW(joined, L"\\\\%s", path + 8);
        } else {
            if (lstrlenW(path + 4) + 1 > MAX_PATH)
                return false;
            lstrcpynW(joined, path + 4, MAX_PATH);
        }
    } else {
        if (lstrlenW(path) + 1 > MAX_PATH)
            return false;
        lstrcpynW(joined, path, MAX_PATH);
    }
    bool drive = ((joined[0] | 0x20) >= L'a' && (joined[0] | 0x20) <= L'z') && joined[1] == L':' &&
                 joined[2] == L'\\';
    bool share = joined[0] == L'\\' && joined[1] == L'\\' && joined[2] && joined[2] != L'\\';
    if (!drive && !share)
        return false;
    // Resolves "." and ".." so that "C:\Temp\..\" is seen as the root.
    DWORD n = GetFullPathNameW(joined, MAX_PATH, out, nullptr);
    if (n == 0 || n >= MAX_PATH)
        return false;
    int length = lstrlenW(out);
    while (length > 0 && out[length - 1] == L'\\')
        out[--length] = 0;
    return length > 0;
}

bool IsRoot(const WCHAR *plain)
{
    if (plain[1] == L':')
        return plain[2] == 0;
    // "\\server\share": a share root has no backslash after the share name.
    int slashes = 0;
    for (const WCHAR *p = plain + 2; *p; ++p)
        if (*p == L'\\')
            ++slashes;
    return slashes < 2;
}

// Whether folder is protected or lies above it: equal, or protected starts
// with folder and a backslash. from: 0 compares whole paths, 1 ignores the
// drive letter.
bool Covers(const WCHAR *folder, const WCHAR *protectedPath, int from)
{
    int length = lstrlenW(folder) - from;
    int plength = lstrlenW(protectedPath) - from;
    if (length <= 0 || plength < length)
        return false;
    if (CompareStringW(MAKELCID(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), SORT_DEFAULT), NORM_IGNORECASE, folder + from, length, protectedPath + from, length) !=
        CSTR_EQUAL)
        return false;
    return plength == length || protectedPath[from + length] == L'\\';
}

bool CoversProtected(const WCHAR *folder, const WCHAR *raw)
{
    WCHAR plain[MAX_PATH];
    if (!raw[0] || !PlainForm(raw, plain))
        return false;
    if (Covers(folder, plain, 0))
        return true;
    // The same folders on another drive letter (the virtual disk holds the
    // privacy-mode copies of the profile's folders).
    return folder[1] == L':' && plain[1] == L':' && Covers(folder, plain, 1);
}

void Refuse(const WCHAR *folder, const WCHAR *why)
{
    WCHAR line[MAX_PATH + 128];
    WCHAR shown[MAX_PATH];
    lstrcpynW(shown, folder ? folder : L"", MAX_PATH);
    wsprintfW(line, L"Veilguard: not cleaning \"%s\": %s\n", shown, why);
    OutputDebugStringW(line);
}

} // namespace

BOOL IsRefusedTraceFolder(const WCHAR *folder)
{
    if (!folder || !folder[0]) {
        Refuse(folder, L"empty path");
        return TRUE;
    }
    WCHAR plain[MAX_PATH];
    if (!PlainForm(folder, plain)) {
        Refuse(folder, L"not a full path");
        return TRUE;
    }
    if (IsRoot(plain)) {
        Refuse(folder, L"a drive root");
        return TRUE;
    }
    WCHAR windows[MAX_PATH] = {0};
    GetWindowsDirectoryW(windows, MAX_PATH);
    if (CoversProtected(plain, windows)) {
        Refuse(folder, L"the Windows folder or above it");
        return TRUE;
    }
    WCHAR profile[MAX_PATH] = {0};
    if (!SHGetSpecialFolderPathW(nullptr, profile, CSIDL_PROFILE, FALSE))
        GetEnvironmentVariableW(L"USERPROFILE", profile, MAX_PATH);
    if (CoversProtected(plain, profile)) {
        Refuse(folder, L"the user profile or above it");
        return TRUE;
    }
    return FALSE;
}
