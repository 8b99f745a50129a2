// The places the cleaning may walk and the places it never touches, judged
// on the canonical form of a folder and on the identities of the folders
// along it (so that a share, device, 8.3 or second drive-letter name of a
// protected folder is still that folder).
#include "clean/trace_guard.h"

#include <shlobj.h>

#include <vector>

#include "common/program_folder.h"
#include "env/trace_db.h"

namespace {

typedef std::vector<FileIdentity> IdentityList;

struct GuardPlaces {
    bool built;
    IdentityList driveRoots;
    IdentityList windows;        // the Windows folder (refused with all below)
    IdentityList windowsExempt;  // its temp and prefetch folders
    IdentityList wholes;         // Program Files, ProgramData, All Users
    IdentityList profilesParent; // the folder holding every profile
    IdentityList profile;        // the user's own (and its virtual-disk copy)
    IdentityList knownRoots;     // the user's known folders, and above them
    IdentityList programFolder;
    IdentityList allowed;        // temporary folders, prefetch, application folders
};

GuardPlaces g_places;

bool Contains(const IdentityList &list, const FileIdentity &id)
{
    for (const FileIdentity &one : list)
        if (SameIdentity(one, id))
            return true;
    return false;
}

// follow: the identity of what a junction or link leads to, rather than of
// the junction itself.
bool IdentityOfPath(const WCHAR *path, FileIdentity *id, DWORD *attributes, bool follow = false)
{
    HANDLE h = CreateFileW(path, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING,
                           FILE_FLAG_BACKUP_SEMANTICS | (follow ? 0 : FILE_FLAG_OPEN_REPARSE_POINT), nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    bool ok = IdentityOfHandle(h, id, attributes);
    CloseHandle(h);
    return ok;
}

// The fixed drives' letters (a floppy or network drive is never asked).
int FixedDrives(WCHAR *letters)
{
    int n = 0;
    DWORD mask = GetLogicalDrives();
    for (int i = 0; i < 26; ++i) {
        if (!(mask & (1u << i)))
            continue;
        WCHAR root[4] = {static_cast<WCHAR>(L'A' + i), L':', L'\\', 0};
        UINT type = GetDriveTypeW(root);
        if (type == DRIVE_FIXED || type == DRIVE_RAMDISK)
            letters[n++] = root[0];
    }
    return n;
}

// Adds the identity of a folder given by text (nothing when it does not
// exist). mirror: also the same path on every other fixed drive, where the
// virtual disk holds the privacy-mode copies of the user's folders.
void AddPlace(IdentityList &list, const WCHAR *text, bool mirror, const WCHAR *letters, int letterCount)
{
    if (!text || !text[0])
        return;
    WCHAR path[MAX_PATH + 8];
    if (lstrlenW(text) >= MAX_PATH)
        return;
    lstrcpyW(path, text);
    int length = lstrlenW(path);
    while (length > 3 && path[length - 1] == L'\\')
        path[--length] = 0;
    FileIdentity id;
    DWORD attributes;
    if (IdentityOfPath(path, &id, &attributes, true) && !Contains(list, id))
        list.push_back(id);
    if (!mirror || path[1] != L':')
        return;
    for (int i = 0; i < letterCount; ++i) {
        if ((letters[i] | 0x20) == (path[0] | 0x20))
            continue;
        WCHAR saved = path[0];
        path[0] = letters[i];
        if (IdentityOfPath(path, &id, &attributes, true) && !Contains(list, id))
            list.push_back(id);
        path[0] = saved;
    }
}

void AddFolder(IdentityList &list, int csidl, bool mirror, const WCHAR *letters, int letterCount)
{
    WCHAR path[MAX_PATH] = {0};
    if (SHGetSpecialFolderPathW(nullptr, path, csidl, FALSE))
        AddPlace(list, path, mirror, letters, letterCount);
}

void AddVariable(IdentityList &list, const WCHAR *name, bool mirror, const WCHAR *letters, int letterCount)
{
    WCHAR path[MAX_PATH] = {0};
    DWORD n = GetEnvironmentVariableW(name, path, MAX_PATH);
    if (n > 0 && n < MAX_PATH)
        AddPlace(list, path, mirror, letters, letterCount);
}

// A known folder and the folders between it and the profile.
void AddKnownRoot(int csidl, const WCHAR *profile, const WCHAR *letters, int letterCount)
{
    WCHAR path[MAX_PATH] = {0};
    if (!SHGetSpecialFolderPathW(nullptr, path, csidl, FALSE))
        return;
    int profileLength = lstrlenW(profile);
    for (;;) {
        AddPlace(g_places.knownRoots, path, true, letters, letterCount);
        int length = lstrlenW(path);
        while (length > 0 && path[length - 1] != L'\\')
            --length;
        if (length <= 0)
            return;
        path[length - 1] = 0;
        if (lstrlenW(path) <= profileLength)
            return;
    }
}

void BuildPlaces(void)
{
    GuardPlaces &p = g_places;
    p = GuardPlaces();
    WCHAR letters[26];
    int letterCount = FixedDrives(letters);
    for (int i = 0; i < letterCount; ++i) {
        WCHAR root[4] = {letters[i], L':', L'\\', 0};
        AddPlace(p.driveRoots, root, false, letters, 0);
    }
    WCHAR windows[MAX_PATH] = {0}, text[MAX_PATH + 16];
    if (GetWindowsDirectoryW(windows, MAX_PATH)) {
        AddPlace(p.windows, windows, false, letters, 0);
        wsprintfW(text, L"%s\\Temp", windows);
        AddPlace(p.windowsExempt, text, false, letters, 0);
        AddPlace(p.allowed, text, false, letters, 0);
        wsprintfW(text, L"%s\\Prefetch", windows);
        AddPlace(p.windowsExempt, text, false, letters, 0);
        AddPlace(p.allowed, text, false, letters, 0);
    }
    AddFolder(p.windows, CSIDL_SYSTEM, false, letters, 0);
    AddFolder(p.wholes, CSIDL_PROGRAM_FILES, true, letters, letterCount);
    AddFolder(p.wholes, CSIDL_PROGRAM_FILES_COMMON, true, letters, letterCount);
    AddFolder(p.wholes, CSIDL_COMMON_APPDATA, true, letters, letterCount);
    for (const WCHAR *name : {L"ProgramFiles", L"ProgramFiles(x86)", L"ProgramW6432", L"ProgramData",
                              L"ALLUSERSPROFILE", L"PUBLIC"})
        AddVariable(p.wholes, name, true, letters, letterCount);

    WCHAR profile[MAX_PATH] = {0};
    if (!SHGetSpecialFolderPathW(nullptr, profile, CSIDL_PROFILE, FALSE))
        GetEnvironmentVariableW(L"USERPROFILE", profile, MAX_PATH);
    if (profile[0]) {
        AddPlace(p.profile, profile, true, letters, letterCount);
        lstrcpyW(text, profile);
        int length = lstrlenW(text);
        while (length > 0 && text[length - 1] != L'\\')
            --length;
        if (length > 3) {
            text[length - 1] = 0;
            AddPlace(p.profilesParent, text, true, letters, letterCount);
        }
        static const int kKnown[] = {CSIDL_DESKTOPDIRECTORY, CSIDL_PERSONAL, CSIDL_MYMUSIC, CSIDL_MYVIDEO,
                                     CSIDL_MYPICTURES, CSIDL_FAVORITES, CSIDL_APPDATA, CSIDL_LOCAL_APPDATA,
                                     CSIDL_STARTMENU, CSIDL_PROGRAMS, CSIDL_STARTUP, CSIDL_SENDTO,
                                     CSIDL_TEMPLATES, CSIDL_NETHOOD, CSIDL_PRINTHOOD};
        for (int csidl : kKnown)
            AddKnownRoot(csidl, profile, letters, letterCount);
    }
    WCHAR program[MAX_PATH] = {0};
    if (GetProgramFolder(program))
        AddPlace(p.programFolder, program, false, letters, 0);

    WCHAR temp[MAX_PATH] = {0};
    if (GetTempPathW(MAX_PATH, temp))
        AddPlace(p.allowed, temp, true, letters, letterCount);
    AddVariable(p.allowed, L"TEMP", true, letters, letterCount);
    AddVariable(p.allowed, L"TMP", true, letters, letterCount);
    for (INT32 i = 0; i < g_appCount; ++i)
        if (g_apps[i] && g_apps[i]->resolvedFolder)
            AddPlace(p.allowed, g_apps[i]->resolvedFolder, true, letters, letterCount);
    p.built = true;
}

void Refuse(const WCHAR *folder, const WCHAR *why)
{
    WCHAR line[MAX_PATH + 128];
    WCHAR shown[MAX_PATH];
    lstrcpynW(shown, folder ? folder : L"", MAX_PATH);
    wsprintfW(line, L"Veilguard: not cleaning \"%s\": %s\n", shown, why);
    OutputDebugStringW(line);
}

bool IsLetter(WCHAR c)
{
    return (c | 0x20) >= L'a' && (c | 0x20) <= L'z';
}

// A component that Win32 name handling would change or that names no
// folder of its own: ".", "..", a stream or drive colon, wildcards, a
// trailing dot or blank.
bool BadComponent(const WCHAR *name, int length)
{
    if (length == 0 || (length == 1 && name[0] == L'.') || (length == 2 && name[0] == L'.' && name[1] == L'.'))
        return true;
    for (int i = 0; i < length; ++i)
        if (name[i] < 32 || name[i] == L':' || name[i] == L'*' || name[i] == L'?' || name[i] == L'"' ||
            name[i] == L'<' || name[i] == L'>' || name[i] == L'|' || name[i] == L'/')
            return true;
    return name[length - 1] == L'.' || name[length - 1] == L' ';
}

// The canonical form of folder and the identities from its drive root down
// to it. Returns null on success, else why not.
const WCHAR *Canonicalize(const WCHAR *folder, WCHAR *out, int units, IdentityList &chain)
{
    const WCHAR *p = folder;
    if (p[0] == L'\\' && p[1] == L'\\' && p[2] == L'?' && p[3] == L'\\' && IsLetter(p[4]) && p[5] == L':')
        p += 4;
    if (p[0] == L'\\' || p[0] == L'/')
        return L"a device, share or network name";
    if (!IsLetter(p[0]) || p[1] != L':' || (p[2] != L'\\' && p[2] != 0))
        return L"not a full drive-letter path";
    // The working form carries the "\\?\" prefix so that nothing of the
    // name is reinterpreted and long paths work.
    std::vector<WCHAR> work(units + 8);
    WCHAR *w = work.data();
    lstrcpyW(w, L"\\\\?\\");
    w[4] = static_cast<WCHAR>(p[0] & ~0x20);
    w[5] = L':';
    w[6] = L'\\';
    w[7] = 0;
    FileIdentity id;
    DWORD attributes = 0;
    if (!IdentityOfPath(w, &id, &attributes))
        return L"the drive cannot be opened";
    chain.push_back(id);
    int end = 6;  // w[end] is the backslash after the last component
    const WCHAR *c = p[2] ? p + 3 : p + 2;
    while (*c) {
        const WCHAR *stop = c;
        while (*stop && *stop != L'\\')
            ++stop;
        int length = static_cast<int>(stop - c);
        if (length == 0 && !*stop)
            break;
        if (BadComponent(c, length))
            return L"a relative, aliased or malformed name";
        if (end + 1 + length + 1 >= units + 4)
            return L"too long";
        CopyMemory(w + end + 1, c, length * sizeof(WCHAR));
        w[end + 1 + length] = 0;
        // The directory entry as its parent lists it: the long name (an 8.3
        // alias is replaced) and whether it is a junction or link.
        WIN32_FIND_DATAW find;
        HANDLE h = FindFirstFileW(w, &find);
        if (h != INVALID_HANDLE_VALUE) {
            FindClose(h);
        } else {
            // Wine's listing with a plain name as the mask misses some
            // names: ask by the name instead.
            find.dwFileAttributes = GetFileAttributesW(w);
            if (find.dwFileAttributes == INVALID_FILE_ATTRIBUTES)
                return L"does not exist";
            std::vector<WCHAR> longer(units + 8);
            DWORD n = GetLongPathNameW(w, longer.data(), units + 8);
            if (n == 0 || n >= static_cast<DWORD>(units + 8))
                return L"does not exist";
            const WCHAR *last = longer.data();
            for (const WCHAR *q = longer.data(); *q; ++q)
                if (*q == L'\\')
                    last = q + 1;
            lstrcpynW(find.cFileName, last, MAX_PATH);
        }
        if (!(find.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            return L"not a folder";
        int longLength = lstrlenW(find.cFileName);
        if (end + 1 + longLength + 1 >= units + 4)
            return L"too long";
        lstrcpyW(w + end + 1, find.cFileName);
        // The one junction or link taken: one of the user's own known
        // folders as the shell names them (Wine makes them links into the
        // Unix home; Windows may have them redirected). Where it leads is
        // then judged like any folder.
        if (find.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
            if (!IdentityOfPath(w, &id, &attributes, true) || !Contains(g_places.knownRoots, id))
                return L"a junction or link on the way";
        } else if (!IdentityOfPath(w, &id, &attributes) || (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
            return L"a junction or link on the way";
        }
        chain.push_back(id);
        end += 1 + longLength;
        w[end] = L'\\';
        w[end + 1] = 0;
        c = *stop ? stop + 1 : stop;
    }
    w[end] = 0;
    lstrcpynW(out, w + 4, units);
    return nullptr;
}

int IndexIn(const IdentityList &chain, const IdentityList &places)
{
    for (size_t i = 0; i < chain.size(); ++i)
        if (Contains(places, chain[i]))
            return static_cast<int>(i);
    return -1;
}

// Null when the folder (its chain of identities) may be walked.
const WCHAR *Judge(const IdentityList &chain, bool whole)
{
    const GuardPlaces &p = g_places;
    const FileIdentity &self = chain.back();
    if (chain.size() < 2 || Contains(p.driveRoots, self))
        return L"a drive root";
    if (IndexIn(chain, p.programFolder) >= 0)
        return L"the program's own folder";
    int w = IndexIn(chain, p.windows);
    if (w >= 0 && (w + 1 >= static_cast<int>(chain.size()) || !Contains(p.windowsExempt, chain[w + 1])))
        return L"the Windows folder";
    if (Contains(p.wholes, self))
        return L"Program Files or ProgramData as a whole";
    int parent = IndexIn(chain, p.profilesParent);
    if (parent >= 0 && (parent + 1 >= static_cast<int>(chain.size()) || !Contains(p.profile, chain[parent + 1])))
        return L"the profiles folder or another user's profile";
    if (Contains(p.profile, self))
        return L"the user's profile";
    if (whole && Contains(p.knownRoots, self))
        return L"a known folder of the user as a whole";
    if (IndexIn(chain, p.allowed) < 0 && IndexIn(chain, p.profile) < 0)
        return L"not a place of traces";
    return nullptr;
}

} // namespace

bool IdentityOfHandle(HANDLE handle, FileIdentity *identity, DWORD *attributes)
{
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(handle, &info))
        return false;
    identity->volume = info.dwVolumeSerialNumber;
    identity->high = info.nFileIndexHigh;
    identity->low = info.nFileIndexLow;
    if (attributes)
        *attributes = info.dwFileAttributes;
    return true;
}

void RefreshTraceGuard(void)
{
    BuildPlaces();
}

BOOL CheckTraceFolder(const WCHAR *folder, BOOL wholeFolder, WCHAR *canonical, int units, FileIdentity *identity)
{
    if (!folder || !folder[0]) {
        Refuse(folder, L"empty path");
        return FALSE;
    }
    if (!g_places.built)
        BuildPlaces();
    IdentityList chain;
    const WCHAR *why = Canonicalize(folder, canonical, units, chain);
    if (!why)
        why = Judge(chain, wholeFolder != FALSE);
    if (why) {
        Refuse(folder, why);
        return FALSE;
    }
    if (identity)
        *identity = chain.back();
    return TRUE;
}

BOOL IsRefusedTraceFolder(const WCHAR *folder)
{
    WCHAR canonical[MAX_PATH];
    return !CheckTraceFolder(folder, TRUE, canonical, MAX_PATH, nullptr);
}

BOOL IsProtectedIdentity(const FileIdentity &identity)
{
    const GuardPlaces &p = g_places;
    return Contains(p.driveRoots, identity) || Contains(p.windows, identity) || Contains(p.wholes, identity) ||
           Contains(p.profilesParent, identity) || Contains(p.profile, identity) ||
           Contains(p.programFolder, identity) || Contains(p.knownRoots, identity);
}
