// The file walker of the cleaning: counts or removes the files of a rule
// folder that match its pattern, and with recursion the sub-folders' files
// and the sub-folders that become empty.
#include "clean/clean_ops.h"

#include <shlwapi.h>

UINT64 pendingDeleteCount;
PathList undeletedPaths;
volatile LONG g_cleanAbort;

namespace {

// Paths up to the file system's own limit; one walk at a time uses them.
const int kWalkUnits = 32768;
WCHAR g_walkPath[kWalkUnits];
WCHAR g_longForm[kWalkUnits + 8];

// The path as the file system calls take it: beyond MAX_PATH units through
// the "\\?\" form ("\\?\UNC\" for a share).
const WCHAR *CallForm(const WCHAR *path)
{
    int length = lstrlenW(path);
    if (length < MAX_PATH || (path[0] == L'\\' && path[1] == L'\\' && path[2] == L'?'))
        return path;
    if (path[0] == L'\\' && path[1] == L'\\') {
        if (length + 7 > kWalkUnits + 8)
            return path;
        lstrcpyW(g_longForm, L"\\\\?\\UNC\\");
        lstrcpyW(g_longForm + 8, path + 2);
    } else {
        if (length + 5 > kWalkUnits + 8)
            return path;
        wsprintfW(g_longForm, L"\\\\?\\");
        lstrcpyW(g_longForm + 4, path);
    }
    return g_longForm;
}

// Appends text at position at of the walker's buffer; false when it does
// not fit.
bool PutAt(int at, const WCHAR *text, int length = -1)
{
    if (length < 0)
        length = lstrlenW(text);
    if (at + length >= kWalkUnits)
        return false;
    CopyMemory(g_walkPath + at, text, length * sizeof(WCHAR));
    g_walkPath[at + length] = 0;
    return true;
}

bool IsDots(const WCHAR *name)
{
    return name[0] == L'.' && (name[1] == 0 || (name[1] == L'.' && name[2] == 0));
}

// One mask of a ";"-separated pattern: its sub-folder part (up to its last
// backslash) and its file part.
struct Mask {
    const WCHAR *text;
    int length;     // of the whole mask
    int folderEnd;  // length of the sub-folder part, 0 without one
};

int SplitPattern(const WCHAR *pattern, Mask *masks, int most)
{
    int n = 0;
    const WCHAR *p = pattern;
    while (*p && n < most) {
        const WCHAR *end = p;
        while (*end && *end != L';')
            ++end;
        if (end > p) {
            Mask m = {p, static_cast<int>(end - p), 0};
            for (int i = 0; i < m.length; ++i)
                if (p[i] == L'\\')
                    m.folderEnd = i + 1;
            if (m.folderEnd < m.length)  // a mask that names a file
                masks[n++] = m;
        }
        p = *end ? end + 1 : end;
    }
    return n;
}

// Whether an earlier mask of the same sub-folder already took the name.
bool TakenBefore(const Mask *masks, int index, const WCHAR *name)
{
    for (int j = 0; j < index; ++j) {
        const Mask &m = masks[j];
        if (m.folderEnd != masks[index].folderEnd ||
            CompareStringW(MAKELCID(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), SORT_DEFAULT), NORM_IGNORECASE, m.text, m.folderEnd, masks[index].text,
                           m.folderEnd) != CSTR_EQUAL)
            continue;
        WCHAR maskText[MAX_PATH];
        int length = m.length - m.folderEnd;
        if (length >= MAX_PATH)
            continue;
        lstrcpynW(maskText, m.text + m.folderEnd, length + 1);
        if (PathMatchSpecW(name, maskText))
            return true;
    }
    return false;
}

bool Skipped(const WIN32_FIND_DATAW &find, const WalkOptions *options)
{
    if (find.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_OFFLINE))
        return true;
    return !options->includeSystem && (find.dwFileAttributes & FILE_ATTRIBUTE_SYSTEM);
}

void WalkFiles(int folderEnd, const WCHAR *pattern, const WalkOptions *options, PathList *list,
               TraceCounters *counters, BOOL remove)
{
    Mask masks[64];
    int count = SplitPattern(pattern, masks, 64);
    for (int i = 0; i < count && !g_cleanAbort; ++i) {
        const Mask &m = masks[i];
        if (!PutAt(folderEnd, m.text, m.length))
            continue;
        int nameAt = folderEnd + m.folderEnd;
        WIN32_FIND_DATAW find;
        HANDLE h = FindFirstFileW(CallForm(g_walkPath), &find);
        if (h == INVALID_HANDLE_VALUE)
            continue;
        do {
            if (Skipped(find, options) || TakenBefore(masks, i, find.cFileName))
                continue;
            if (!PutAt(nameAt, find.cFileName))
                continue;
            if (ProcessTraceFile(g_walkPath, list, options, &find, remove)) {
                counters->count += 1;
                counters->size += (static_cast<UINT64>(find.nFileSizeHigh) << 32) + find.nFileSizeLow;
            }
        } while (!g_cleanAbort && FindNextFileW(h, &find));
        FindClose(h);
    }
    g_walkPath[folderEnd] = 0;
}

// Walks the concrete folders that a rule folder with wildcards in its folder
// names stands for ("...\Profiles\*\"), each through WalkFolder.
void WalkExpanded(const WCHAR *folder, const WCHAR *pattern, const WalkOptions *options, PathList *list,
                  TraceCounters *counters, BOOL remove)
{
    int length = lstrlenW(folder);
    int wildAt = -1;
    for (int i = 0; i < length && wildAt < 0; ++i)
        if (folder[i] == L'*' || folder[i] == L'?')
            wildAt = i;
    if (wildAt < 0) {
        WalkFolder(folder, pattern, options, list, counters, remove);
        return;
    }
    int partStart = wildAt, partEnd = wildAt;
    while (partStart > 0 && folder[partStart - 1] != L'\\')
        --partStart;
    while (partEnd < length && folder[partEnd] != L'\\')
        ++partEnd;
    // The folder up to and with the wildcard part, to enumerate.
    std::u16string search(reinterpret_cast<const char16_t *>(folder), partEnd);
    std::u16string rest(reinterpret_cast<const char16_t *>(folder) + partEnd);
    std::u16string parent(reinterpret_cast<const char16_t *>(folder), partStart);
    std::vector<std::u16string> found;
    WIN32_FIND_DATAW find;
    HANDLE h = FindFirstFileW(reinterpret_cast<const WCHAR *>(search.c_str()), &find);
    if (h == INVALID_HANDLE_VALUE)
        return;
    do {
        if ((find.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !IsDots(find.cFileName) &&
            !(find.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
            found.push_back(parent + reinterpret_cast<const char16_t *>(find.cFileName) + rest);
    } while (FindNextFileW(h, &find));
    FindClose(h);
    for (const std::u16string &one : found) {
        if (g_cleanAbort)
            break;
        WalkExpanded(reinterpret_cast<const WCHAR *>(one.c_str()), pattern, options, list, counters, remove);
    }
}

TraceCounters Walk(const WCHAR *folder, const WCHAR *pattern, const WalkOptions *options, PathList *list,
                   BOOL remove)
{
    TraceCounters counters = {0, 0};
    if (!folder || !folder[0]) {
        IsRefusedTraceFolder(folder);  // says why in the debugger output
        return counters;
    }
    WalkExpanded(folder, pattern ? pattern : L"", options, list, &counters, remove);
    return counters;
}

} // namespace

int ProcessTraceFile(const WCHAR *path, PathList *list, const WalkOptions *options, const WIN32_FIND_DATAW *find,
                     BOOL remove)
{
    if (!remove)
        return 1;
    const WCHAR *target = CallForm(path);
    if (DeleteFileW(target))
        return 1;
    // A read-only trace is still a trace: clear the attribute and try again.
    if (GetLastError() == ERROR_ACCESS_DENIED && find && (find->dwFileAttributes & FILE_ATTRIBUTE_READONLY) &&
        SetFileAttributesW(target, find->dwFileAttributes & ~FILE_ATTRIBUTE_READONLY) && DeleteFileW(target))
        return 1;
    if (list)
        list->push_back(std::u16string(reinterpret_cast<const char16_t *>(target)));
    pendingDeleteCount += 1;
    if (MoveFileExW(target, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT)) {
        pendingDeleteCount += 1;
        return 1;
    }
    return 0;
}

void WalkFolder(const WCHAR *folder, const WCHAR *pattern, const WalkOptions *options, PathList *list,
                TraceCounters *counters, BOOL remove)
{
    bool top = folder != nullptr;
    if (top) {
        if (IsRefusedTraceFolder(folder))
            return;
        int length = lstrlenW(folder);
        if (!PutAt(0, folder, length))
            return;
        if (length && folder[length - 1] != L'\\' && !PutAt(length, L"\\"))
            return;
    }
    int folderEnd = lstrlenW(g_walkPath);
    // A recursive rule for every file: files and sub-folders come from one
    // enumeration of the folder instead of two.
    bool everyFile = pattern && (lstrcmpW(pattern, L"*.*") == 0 || lstrcmpW(pattern, L"*") == 0);
    bool filesHere = (!top || options->processTopFiles) && pattern && pattern[0];
    if (filesHere && !(everyFile && options->recurse))
        WalkFiles(folderEnd, pattern, options, list, counters, remove);
    if (!options->recurse || g_cleanAbort)
        return;
    bool filesInPass = filesHere && everyFile;
    if (!PutAt(folderEnd, L"*.*"))
        return;
    WIN32_FIND_DATAW find;
    HANDLE h = FindFirstFileW(CallForm(g_walkPath), &find);
    g_walkPath[folderEnd] = 0;
    if (h == INVALID_HANDLE_VALUE)
        return;
    do {
        if (!(find.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            if (!filesInPass || Skipped(find, options) || !PutAt(folderEnd, find.cFileName))
                continue;
            if (ProcessTraceFile(g_walkPath, list, options, &find, remove)) {
                counters->count += 1;
                counters->size += (static_cast<UINT64>(find.nFileSizeHigh) << 32) + find.nFileSizeLow;
            }
            g_walkPath[folderEnd] = 0;
            continue;
        }
        // Junctions and links lead elsewhere (or back up the tree): never
        // followed.
        if (IsDots(find.cFileName) || (find.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
            continue;
        int nameLength = lstrlenW(find.cFileName);
        if (!PutAt(folderEnd, find.cFileName, nameLength) || !PutAt(folderEnd + nameLength, L"\\"))
            continue;
        WalkFolder(nullptr, pattern, options, list, counters, remove);
        if (remove && PutAt(folderEnd, find.cFileName, nameLength))
            RemoveDirectoryW(CallForm(g_walkPath));
        g_walkPath[folderEnd] = 0;
    } while (!g_cleanAbort && FindNextFileW(h, &find));
    FindClose(h);
    g_walkPath[folderEnd] = 0;
}

TraceCounters CountFiles(const WCHAR *folder, const WCHAR *pattern, const WalkOptions *options, PathList *list)
{
    return Walk(folder, pattern, options, list, FALSE);
}

TraceCounters DeleteFiles(const WCHAR *folder, const WCHAR *pattern, const WalkOptions *options, PathList *list)
{
    return Walk(folder, pattern, options, list, TRUE);
}
