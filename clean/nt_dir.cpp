// Relative opens, listings and deletes through ntdll for the file walker.
#include "clean/nt_dir.h"

#ifdef __WINE__
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

#include <string>
#endif

NtCreateFileFn g_NtCreateFile;

namespace {

struct NtCounted {
    USHORT Length;
    USHORT MaximumLength;
    WCHAR *Buffer;
};

struct NtObjectAttributes {
    ULONG Length;
    HANDLE RootDirectory;
    NtCounted *ObjectName;
    ULONG Attributes;
    PVOID SecurityDescriptor;
    PVOID SecurityQualityOfService;
};

struct NtIoStatus {
    union {
        LONG Status;
        PVOID Pointer;
    };
    ULONG_PTR Information;
};

// The listing records: FILE_BOTH_DIR_INFORMATION (every version) and
// FILE_ID_BOTH_DIR_INFORMATION (XP and later), which adds the file number.
struct BothDirInfo {
    ULONG NextEntryOffset;
    ULONG FileIndex;
    LARGE_INTEGER CreationTime, LastAccessTime, LastWriteTime, ChangeTime, EndOfFile, AllocationSize;
    ULONG FileAttributes;
    ULONG FileNameLength;
    ULONG EaSize;
    CHAR ShortNameLength;
    WCHAR ShortName[12];
    WCHAR FileName[1];
};
struct IdBothDirInfo {
    ULONG NextEntryOffset;
    ULONG FileIndex;
    LARGE_INTEGER CreationTime, LastAccessTime, LastWriteTime, ChangeTime, EndOfFile, AllocationSize;
    ULONG FileAttributes;
    ULONG FileNameLength;
    ULONG EaSize;
    CHAR ShortNameLength;
    WCHAR ShortName[12];
    LARGE_INTEGER FileId;
    WCHAR FileName[1];
};

struct BasicInfo {
    LARGE_INTEGER CreationTime, LastAccessTime, LastWriteTime, ChangeTime;
    ULONG FileAttributes;
};

typedef LONG(NTAPI *NtQueryDirectoryFileFn)(HANDLE, HANDLE, PVOID, PVOID, NtIoStatus *, PVOID, ULONG, ULONG, BOOLEAN,
                                            NtCounted *, BOOLEAN);
typedef LONG(NTAPI *NtSetInformationFileFn)(HANDLE, NtIoStatus *, PVOID, ULONG, ULONG);
typedef LONG(NTAPI *NtQueryInformationFileFn)(HANDLE, NtIoStatus *, PVOID, ULONG, ULONG);

const ULONG kFileOpen = 1;
const ULONG kDirectoryFile = 0x1;
const ULONG kSynchronousIo = 0x20;
const ULONG kNonDirectoryFile = 0x40;
const ULONG kBackupIntent = 0x4000;
const ULONG kOpenReparsePoint = 0x200000;
const ULONG kObjCaseInsensitive = 0x40;
const ULONG kClassBoth = 3, kClassIdBoth = 37, kClassBasic = 4, kClassInternal = 6, kClassDisposition = 13;
const LONG kNoMoreFiles = static_cast<LONG>(0x80000006);
const LONG kInvalidInfoClass = static_cast<LONG>(0xC0000003);
const LONG kSharingViolation = static_cast<LONG>(0xC0000043);
const LONG kDeletePending = static_cast<LONG>(0xC0000056);
const ULONG kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

NtQueryDirectoryFileFn g_query;
NtSetInformationFileFn g_set;
NtQueryInformationFileFn g_info;
bool g_looked;
bool g_noIdClass;  // Windows 2000: the listing without file numbers

// One walk at a time: the listing buffer is shared.
ULONGLONG g_listing[65536 / sizeof(ULONGLONG)];

LONG OpenRelative(HANDLE parent, const WCHAR *name, int nameLength, ACCESS_MASK access, ULONG options,
                  HANDLE *out)
{
    *out = nullptr;
    if (nameLength <= 0 || nameLength > 32767)
        return -1;
    NtCounted text = {static_cast<USHORT>(nameLength * sizeof(WCHAR)), static_cast<USHORT>(nameLength * sizeof(WCHAR)),
                      const_cast<WCHAR *>(name)};
    NtObjectAttributes attributes = {sizeof attributes, parent, &text, kObjCaseInsensitive, nullptr, nullptr};
    NtIoStatus io = {};
    return g_NtCreateFile(out, access | SYNCHRONIZE | FILE_READ_ATTRIBUTES, &attributes, &io, nullptr, 0, kShareAll,
                    kFileOpen, options | kSynchronousIo | kOpenReparsePoint | kBackupIntent, nullptr, 0);
}

// The file number and attributes of a handle on the walk's volume: two
// small queries (GetFileInformationByHandle also asks for the volume, which
// costs far more under Wine and never changes below the walk's top).
bool QuickIdentity(HANDLE h, DWORD volume, FileIdentity *id, DWORD *attributes)
{
    NtIoStatus io = {};
    LARGE_INTEGER index;
    BasicInfo basic;
    if (g_info(h, &io, &index, sizeof index, kClassInternal) != 0 ||
        g_info(h, &io, &basic, sizeof basic, kClassBasic) != 0)
        return false;
    id->volume = volume;
    id->low = static_cast<DWORD>(index.LowPart);
    id->high = static_cast<DWORD>(index.HighPart);
    *attributes = basic.FileAttributes;
    return true;
}

bool SameId(const FileIdentity &opened, LARGE_INTEGER listed)
{
    if (listed.QuadPart == 0)
        return true;
    return opened.low == static_cast<DWORD>(listed.LowPart) && opened.high == static_cast<DWORD>(listed.HighPart);
}

// Under Wine a Unix link to a file is no junction: it lists and opens as
// its target, and deleting through it deletes the target. The entry itself
// (not followed) must be the file that was opened.
bool EntryIsTheFile(const WCHAR *folderPath, const WCHAR *name, int nameLength, const FileIdentity &opened)
{
#ifdef __WINE__
    // The folder's Unix name, kept for the next file of the same folder.
    static std::u16string cachedFolder;
    static std::string cachedUnix;
    std::u16string asked(reinterpret_cast<const char16_t *>(folderPath));
    if (asked != cachedFolder) {
        char *unix = wine_get_unix_file_name(folderPath);
        if (!unix)
            return false;
        cachedFolder = asked;
        cachedUnix = unix;
        HeapFree(GetProcessHeap(), 0, unix);
    }
    const char *folder = cachedUnix.c_str();
    char utf8[3 * 260 + 1];
    int n = WideCharToMultiByte(CP_UTF8, 0, name, nameLength, utf8, sizeof utf8 - 1, nullptr, nullptr);
    bool same = false;
    if (n > 0) {
        utf8[n] = 0;
        size_t folderLength = strlen(folder);
        char *path = static_cast<char *>(HeapAlloc(GetProcessHeap(), 0, folderLength + n + 2));
        if (path) {
            memcpy(path, folder, folderLength);
            path[folderLength] = '/';
            memcpy(path + folderLength + 1, utf8, n + 1);
            struct stat st;
            same = lstat(path, &st) == 0 && !S_ISLNK(st.st_mode) &&
                   static_cast<DWORD>(st.st_ino) == opened.low &&
                   static_cast<DWORD>(static_cast<unsigned long long>(st.st_ino) >> 32) == opened.high;
            HeapFree(GetProcessHeap(), 0, path);
        }
    }
    return same;
#else
    (void)folderPath;
    (void)name;
    (void)nameLength;
    (void)opened;
    return true;
#endif
}

} // namespace

bool NtDirReady(void)
{
    if (!g_looked) {
        g_looked = true;
        HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
        if (ntdll) {
            if (!g_NtCreateFile)
                g_NtCreateFile =
                    reinterpret_cast<NtCreateFileFn>(reinterpret_cast<void *>(GetProcAddress(ntdll, "NtCreateFile")));
            g_query = reinterpret_cast<NtQueryDirectoryFileFn>(
                reinterpret_cast<void *>(GetProcAddress(ntdll, "NtQueryDirectoryFile")));
            g_set = reinterpret_cast<NtSetInformationFileFn>(
                reinterpret_cast<void *>(GetProcAddress(ntdll, "NtSetInformationFile")));
            g_info = reinterpret_cast<NtQueryInformationFileFn>(
                reinterpret_cast<void *>(GetProcAddress(ntdll, "NtQueryInformationFile")));
        }
    }
    return g_NtCreateFile && g_query && g_set && g_info;
}

HANDLE OpenFolderByPath(const WCHAR *path)
{
    HANDLE h = CreateFileW(path, FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | SYNCHRONIZE, kShareAll, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    return h == INVALID_HANDLE_VALUE ? nullptr : h;
}

HANDLE OpenChildFolder(HANDLE parent, const WCHAR *name, int nameLength, LARGE_INTEGER expectedId, bool forDelete,
                       const WCHAR *folderPath, DWORD volume)
{
    if (!NtDirReady())
        return nullptr;
    HANDLE child = nullptr;
    ACCESS_MASK access = FILE_LIST_DIRECTORY | (forDelete ? DELETE : 0);
    if (OpenRelative(parent, name, nameLength, access, kDirectoryFile, &child) != 0 || !child) {
        // A folder another program holds without delete sharing is still
        // walked; it just stays.
        if (!forDelete || OpenRelative(parent, name, nameLength, FILE_LIST_DIRECTORY, kDirectoryFile, &child) != 0)
            return nullptr;
    }
    FileIdentity id;
    DWORD attributes = 0;
    if (!QuickIdentity(child, volume, &id, &attributes) || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) ||
        !(attributes & FILE_ATTRIBUTE_DIRECTORY) || !SameId(id, expectedId) || IsProtectedIdentity(id) ||
        (expectedId.QuadPart == 0 && !EntryIsTheFile(folderPath, name, nameLength, id))) {
        CloseHandle(child);
        return nullptr;
    }
    return child;
}

bool ListFolder(HANDLE folder, DirVisitor visit, void *context)
{
    if (!NtDirReady())
        return false;
    BOOLEAN restart = TRUE;
    for (;;) {
        NtIoStatus io = {};
        ULONG infoClass = g_noIdClass ? kClassBoth : kClassIdBoth;
        LONG status = g_query(folder, nullptr, nullptr, nullptr, &io, g_listing, sizeof g_listing, infoClass, FALSE,
                              nullptr, restart);
        if (status == kInvalidInfoClass && !g_noIdClass) {
            g_noIdClass = true;
            continue;
        }
        if (status == kNoMoreFiles)
            return true;
        if (status < 0)
            return !restart;
        restart = FALSE;
        const BYTE *at = reinterpret_cast<const BYTE *>(g_listing);
        for (;;) {
            DirEntry entry;
            ULONG next;
            if (g_noIdClass) {
                const BothDirInfo *e = reinterpret_cast<const BothDirInfo *>(at);
                entry.name = e->FileName;
                entry.nameLength = static_cast<int>(e->FileNameLength / sizeof(WCHAR));
                entry.attributes = e->FileAttributes;
                entry.size = static_cast<UINT64>(e->EndOfFile.QuadPart);
                entry.fileId.QuadPart = 0;
                next = e->NextEntryOffset;
            } else {
                const IdBothDirInfo *e = reinterpret_cast<const IdBothDirInfo *>(at);
                entry.name = e->FileName;
                entry.nameLength = static_cast<int>(e->FileNameLength / sizeof(WCHAR));
                entry.attributes = e->FileAttributes;
                entry.size = static_cast<UINT64>(e->EndOfFile.QuadPart);
                entry.fileId = e->FileId;
                next = e->NextEntryOffset;
            }
            bool dots = entry.name[0] == L'.' &&
                        (entry.nameLength == 1 || (entry.nameLength == 2 && entry.name[1] == L'.'));
            if (!dots && entry.nameLength > 0 && !visit(entry, context))
                return true;
            if (!next)
                break;
            at += next;
        }
    }
}

DeleteResult DeleteChildFile(HANDLE parent, const DirEntry &entry, const WCHAR *folderPath)
{
    if (!NtDirReady())
        return DELETE_SKIPPED;
    HANDLE file = nullptr;
    LONG status = OpenRelative(parent, entry.name, entry.nameLength, DELETE | FILE_WRITE_ATTRIBUTES, kNonDirectoryFile,
                               &file);
    if (status == kSharingViolation || status == kDeletePending)
        return DELETE_IN_USE;
    if (status != 0 || !file)
        return status == static_cast<LONG>(0xC0000022) ? DELETE_IN_USE : DELETE_SKIPPED;
    FileIdentity id;
    DWORD attributes = 0;
    // A junction or link entry is deleted itself (FILE_OPEN_REPARSE_POINT
    // opened the entry, not its target) on Windows; anything that is not
    // the entry listed is left alone.
    if (!QuickIdentity(file, 0, &id, &attributes) || (attributes & FILE_ATTRIBUTE_DIRECTORY) ||
        !SameId(id, entry.fileId) || !EntryIsTheFile(folderPath, entry.name, entry.nameLength, id)) {
        CloseHandle(file);
        return DELETE_SKIPPED;
    }
    NtIoStatus io = {};
    if (attributes & FILE_ATTRIBUTE_READONLY) {
        BasicInfo basic = {};
        basic.FileAttributes = (attributes & ~FILE_ATTRIBUTE_READONLY) ? (attributes & ~FILE_ATTRIBUTE_READONLY)
                                                                        : FILE_ATTRIBUTE_NORMAL;
        g_set(file, &io, &basic, sizeof basic, kClassBasic);
    }
    BOOLEAN dispose = TRUE;
    status = g_set(file, &io, &dispose, sizeof dispose, kClassDisposition);
    CloseHandle(file);
    return status == 0 ? DELETE_DONE : DELETE_IN_USE;
}

bool RemoveOpenFolder(HANDLE folder)
{
    if (!NtDirReady())
        return false;
    NtIoStatus io = {};
    BOOLEAN dispose = TRUE;
    return g_set(folder, &io, &dispose, sizeof dispose, kClassDisposition) == 0;
}
