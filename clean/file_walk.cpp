// The file walker of the cleaning: counts or removes the files of a rule
// folder that match its pattern, and with recursion the sub-folders' files
// and the sub-folders that become empty.
//
// The top folder passes the guard; from there every folder is opened
// relative to its open parent, never through a junction or link, and must be
// the very entry the parent listed; files are deleted relative to their open
// folder the same way. The walk keeps its own stack, so a deep tree costs
// heap, not thread stack.
#include "clean/clean_ops.h"

#include "clean/nt_dir.h"
#include "redirect/path_match.h"

UINT64 pendingDeleteCount;
PathList undeletedPaths;
volatile LONG g_cleanAbort;

namespace {

const int kWalkUnits = 32768;
// Folders deeper than this below a rule's folder are left alone: no
// application keeps traces that deep, and a tree planted to be endless
// (or to make every open cost its whole depth, as under Wine) ends here.
const size_t kMostDepth = 256;

// The masks of a pattern that share one sub-folder part.
struct MaskGroup {
    std::u16string folder;             // "" or "sub\dir" (no trailing backslash)
    std::vector<std::u16string> masks; // file masks, as PathMatchSpec takes them
    bool everyFile;                    // one of them is "*" or "*.*"
};

bool SameFolded(const std::u16string &a, const std::u16string &b)
{
    return EqualFolded(a.c_str(), a.size(), b.c_str(), b.size());
}

std::vector<MaskGroup> GroupMasks(const WCHAR *pattern)
{
    std::vector<MaskGroup> groups;
    const char16_t *p = reinterpret_cast<const char16_t *>(pattern ? pattern : L"");
    while (*p) {
        const char16_t *end = p;
        while (*end && *end != u';')
            ++end;
        const char16_t *start = p;
        while (start < end && *start == u' ')
            ++start;
        std::u16string mask(start, end);
        p = *end ? end + 1 : end;
        size_t slash = mask.rfind(u'\\');
        std::u16string folder = slash == std::u16string::npos ? std::u16string() : mask.substr(0, slash);
        std::u16string file = slash == std::u16string::npos ? mask : mask.substr(slash + 1);
        if (file.empty())
            continue;
        MaskGroup *group = nullptr;
        for (MaskGroup &g : groups)
            if (SameFolded(g.folder, folder))
                group = &g;
        if (!group) {
            groups.push_back(MaskGroup{folder, {}, false});
            group = &groups.back();
        }
        group->everyFile = group->everyFile || file == u"*" || file == u"*.*";
        group->masks.push_back(file);
    }
    return groups;
}

// One folder of the walk: its handle, where its name ends in the path, and
// the sub-folders its listing named, still to walk.
struct SubFolder {
    size_t nameAt;
    int nameLength;
    LARGE_INTEGER fileId;
};
struct Frame {
    HANDLE folder;
    int pathEnd;  // the path holds the folder and a backslash up to here
    std::u16string names;
    std::vector<SubFolder> subs;
    size_t next;
};

struct WalkState {
    const MaskGroup *group;
    const WalkOptions *options;
    PathList *list;
    std::vector<uint64_t> *sizes;
    SeenFiles *seen;
    DWORD volume;
    TraceCounters *counters;
    BOOL remove;
    bool filesHere;
    Frame *frame;
    WCHAR *path;  // "\\?\" form, kWalkUnits
};

bool Matches(const MaskGroup &group, const DirEntry &entry)
{
    if (group.everyFile)
        return true;
    char16_t name[512];
    if (entry.nameLength >= 512)
        return false;
    CopyMemory(name, entry.name, entry.nameLength * sizeof(WCHAR));
    name[entry.nameLength] = 0;
    for (const std::u16string &mask : group.masks)
        if (PathMatchSpec16(name, mask.c_str()))
            return true;
    return false;
}

bool PutName(WCHAR *path, int at, const WCHAR *name, int length)
{
    if (at + length + 2 >= kWalkUnits)
        return false;
    CopyMemory(path + at, name, length * sizeof(WCHAR));
    path[at + length] = 0;
    return true;
}

bool VisitEntry(const DirEntry &entry, void *context)
{
    WalkState &s = *static_cast<WalkState *>(context);
    if (g_cleanAbort)
        return false;
    if (entry.attributes & FILE_ATTRIBUTE_DIRECTORY) {
        // Junctions and links lead elsewhere (or back up the tree): never
        // followed.
        if (s.options->recurse && !(entry.attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
            Frame &f = *s.frame;
            f.subs.push_back(SubFolder{f.names.size(), entry.nameLength, entry.fileId});
            f.names.append(reinterpret_cast<const char16_t *>(entry.name), entry.nameLength);
        }
        return true;
    }
    if (!s.filesHere || (entry.attributes & FILE_ATTRIBUTE_OFFLINE) ||
        (!s.options->includeSystem && (entry.attributes & FILE_ATTRIBUTE_SYSTEM)) || !Matches(*s.group, entry))
        return true;
    if (s.seen && entry.fileId.QuadPart != 0 && !s.seen->insert(std::make_pair(s.volume, entry.fileId.QuadPart)).second)
        return true;
    if (!s.remove) {
        s.counters->count += 1;
        s.counters->size += entry.size;
        return true;
    }
    int end = s.frame->pathEnd;
    s.path[end] = 0;
    DeleteResult result = DeleteChildFile(s.frame->folder, entry, s.path);
    if (result == DELETE_DONE) {
        s.counters->count += 1;
        s.counters->size += entry.size;
    } else if (result == DELETE_IN_USE && s.list && PutName(s.path, end, entry.name, entry.nameLength)) {
        s.list->push_back(std::u16string(reinterpret_cast<const char16_t *>(s.path)));
        if (s.sizes)
            s.sizes->push_back(entry.size);
    }
    s.path[end] = 0;
    return true;
}

// Walks from an open folder (not closed here), whose path ends at pathEnd.
void WalkTree(HANDLE top, int pathEnd, WalkState &s, bool topFiles)
{
    std::vector<Frame> stack;
    stack.push_back(Frame{top, pathEnd, {}, {}, 0});
    s.frame = &stack.back();
    s.filesHere = topFiles;
    ListFolder(top, VisitEntry, &s);
    while (!stack.empty()) {
        Frame &f = stack.back();
        if (!g_cleanAbort && f.next < f.subs.size() && stack.size() <= kMostDepth) {
            const SubFolder sub = f.subs[f.next++];
            const WCHAR *name = reinterpret_cast<const WCHAR *>(f.names.c_str()) + sub.nameAt;
            if (f.pathEnd + sub.nameLength + 2 >= kWalkUnits)
                continue;
            s.path[f.pathEnd] = 0;
            HANDLE child =
                OpenChildFolder(f.folder, name, sub.nameLength, sub.fileId, s.remove != FALSE, s.path, s.volume);
            if (!child)
                continue;
            int end = f.pathEnd;
            CopyMemory(s.path + end, name, sub.nameLength * sizeof(WCHAR));
            s.path[end + sub.nameLength] = L'\\';
            s.path[end + sub.nameLength + 1] = 0;
            stack.push_back(Frame{child, end + sub.nameLength + 1, {}, {}, 0});
            s.frame = &stack.back();
            s.filesHere = true;
            ListFolder(child, VisitEntry, &s);
            continue;
        }
        if (stack.size() > 1) {
            if (s.remove && !g_cleanAbort)
                RemoveOpenFolder(f.folder);
            CloseHandle(f.folder);
        }
        stack.pop_back();
        if (!stack.empty())
            s.path[stack.back().pathEnd] = 0;
    }
}

// One concrete folder (no wildcards in its folder names).
void WalkConcrete(const WCHAR *folder, const std::vector<MaskGroup> &groups, const WalkOptions *options,
                  PathList *list, std::vector<uint64_t> *sizes, SeenFiles *seen, TraceCounters *counters, BOOL remove)
{
    if (groups.empty() || !NtDirReady())
        return;
    bool whole = options->recurse != FALSE;
    for (const MaskGroup &g : groups)
        whole = whole || (g.everyFile && g.folder.empty());
    std::vector<WCHAR> buffer(kWalkUnits + 8);
    WCHAR *path = buffer.data();
    FileIdentity checked;
    lstrcpyW(path, L"\\\\?\\");
    if (!CheckTraceFolder(folder, whole ? TRUE : FALSE, path + 4, kWalkUnits - 8, &checked))
        return;
    int topEnd = lstrlenW(path);
    path[topEnd++] = L'\\';
    path[topEnd] = 0;
    HANDLE top = OpenFolderByPath(path);
    if (!top)
        return;
    FileIdentity opened;
    DWORD attributes = 0;
    // The folder may have been swapped between the check and the open.
    if (!IdentityOfHandle(top, &opened, &attributes) || !SameIdentity(opened, checked) ||
        (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        CloseHandle(top);
        return;
    }
    WalkState state = {nullptr, options, list, sizes, seen, opened.volume, counters, remove, false, nullptr, path};
    for (const MaskGroup &g : groups) {
        if (g_cleanAbort)
            break;
        state.group = &g;
        path[topEnd] = 0;
        // The mask's sub-folder part, one component at a time below the top,
        // each opened the same guarded way.
        std::vector<HANDLE> opened;
        HANDLE at = top;
        int end = topEnd;
        bool reached = true;
        size_t start = 0;
        while (start < g.folder.size() && reached) {
            size_t stop = g.folder.find(u'\\', start);
            if (stop == std::u16string::npos)
                stop = g.folder.size();
            const WCHAR *name = reinterpret_cast<const WCHAR *>(g.folder.c_str()) + start;
            int length = static_cast<int>(stop - start);
            LARGE_INTEGER anyId;
            anyId.QuadPart = 0;
            HANDLE next = length > 0 && end + length + 2 < kWalkUnits
                              ? OpenChildFolder(at, name, length, anyId, false, path, state.volume)
                              : nullptr;
            if (!next) {
                reached = false;
                break;
            }
            opened.push_back(next);
            at = next;
            CopyMemory(path + end, name, length * sizeof(WCHAR));
            end += length;
            path[end++] = L'\\';
            path[end] = 0;
            start = stop + 1;
        }
        if (reached)
            WalkTree(at, end, state, !g.folder.empty() || options->processTopFiles);
        for (size_t i = opened.size(); i > 0; --i)
            CloseHandle(opened[i - 1]);
    }
    CloseHandle(top);
}

// Walks the concrete folders that a rule folder with wildcards in its folder
// names stands for ("...\Profiles\*\"); each is guarded on its own.
void WalkExpanded(const WCHAR *folder, const std::vector<MaskGroup> &groups, const WalkOptions *options,
                  PathList *list, std::vector<uint64_t> *sizes, SeenFiles *seen, TraceCounters *counters, BOOL remove)
{
    int length = lstrlenW(folder);
    int wildAt = -1;
    for (int i = 0; i < length && wildAt < 0; ++i)
        if (folder[i] == L'*' || folder[i] == L'?')
            wildAt = i;
    if (wildAt < 0) {
        WalkConcrete(folder, groups, options, list, sizes, seen, counters, remove);
        return;
    }
    int partStart = wildAt, partEnd = wildAt;
    while (partStart > 0 && folder[partStart - 1] != L'\\')
        --partStart;
    while (partEnd < length && folder[partEnd] != L'\\')
        ++partEnd;
    std::u16string rest(reinterpret_cast<const char16_t *>(folder) + partEnd);
    std::u16string parent(reinterpret_cast<const char16_t *>(folder), partStart);
    std::u16string mask(reinterpret_cast<const char16_t *>(folder) + partStart, partEnd - partStart);
    std::vector<std::u16string> found;
    // The names are matched on their long form (the system's own match also
    // takes 8.3 aliases).
    std::u16string all = parent + u"*";
    WIN32_FIND_DATAW find;
    HANDLE h = FindFirstFileW(reinterpret_cast<const WCHAR *>(all.c_str()), &find);
    if (h == INVALID_HANDLE_VALUE)
        return;
    do {
        const char16_t *name = reinterpret_cast<const char16_t *>(find.cFileName);
        bool dots = name[0] == u'.' && (name[1] == 0 || (name[1] == u'.' && name[2] == 0));
        if ((find.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !dots &&
            !(find.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) && PathMatchSpec16(name, mask.c_str()))
            found.push_back(parent + name + rest);
    } while (FindNextFileW(h, &find));
    FindClose(h);
    for (const std::u16string &one : found) {
        if (g_cleanAbort)
            break;
        WalkExpanded(reinterpret_cast<const WCHAR *>(one.c_str()), groups, options, list, sizes, seen, counters,
                     remove);
    }
}

TraceCounters Walk(const WCHAR *folder, const WCHAR *pattern, const WalkOptions *options, PathList *list,
                   std::vector<uint64_t> *sizes, SeenFiles *seen, BOOL remove)
{
    TraceCounters counters = {0, 0};
    if (!folder || !folder[0]) {
        IsRefusedTraceFolder(folder);  // says why in the debugger output
        return counters;
    }
    std::vector<MaskGroup> groups = GroupMasks(pattern);
    WalkExpanded(folder, groups, options, list, sizes, seen, &counters, remove);
    return counters;
}

} // namespace

TraceCounters CountFiles(const WCHAR *folder, const WCHAR *pattern, const WalkOptions *options, PathList *list,
                         SeenFiles *seen)
{
    return Walk(folder, pattern, options, list, nullptr, seen, FALSE);
}

TraceCounters DeleteFiles(const WCHAR *folder, const WCHAR *pattern, const WalkOptions *options, PathList *list,
                          std::vector<uint64_t> *sizes)
{
    return Walk(folder, pattern, options, list, sizes, nullptr, TRUE);
}
