// The open-handle closer: names every file handle of the system through a
// worker thread (a name query can hang on some handles, so each is given
// 50 ms and the worker is replaced when it does not answer), and closes the
// handles whose file is one the cleaning could not delete.
#include "clean/handle_closer.h"

#include <map>
#include <vector>

#include <psapi.h>

NtQueryObjectFn g_NtQueryObject;

namespace {

typedef LONG(NTAPI *NtQuerySystemInformationFn)(ULONG infoClass, PVOID buffer, ULONG length, PULONG returned);

const ULONG kSystemHandleInformation = 16;
const ULONG kObjectNameInformation = 1;
const DWORD kNameWaitMs = 50;

// One entry of the system handle table (16 bytes on 32-bit Windows; the
// object pointer widens it on 64-bit builds).
struct SystemHandleEntry {
    ULONG ProcessId;
    BYTE ObjectTypeNumber;
    BYTE Flags;
    USHORT Handle;
    PVOID Object;
    ACCESS_MASK GrantedAccess;
};
struct SystemHandleTable {
    ULONG Count;
    SystemHandleEntry Entries[1];
};
// The extended table (XP and later): full handle values.
struct SystemHandleEntryEx {
    PVOID Object;
    ULONG_PTR ProcessId;
    ULONG_PTR Handle;
    ULONG GrantedAccess;
    USHORT CreatorBackTraceIndex;
    USHORT ObjectTypeIndex;
    ULONG HandleAttributes;
    ULONG Reserved;
};
struct SystemHandleTableEx {
    ULONG_PTR Count;
    ULONG_PTR Reserved;
    SystemHandleEntryEx Entries[1];
};
const ULONG kSystemExtendedHandleInformation = 64;

// One handle of the table, whichever table was read.
struct HandleRow {
    DWORD processId;
    ULONG_PTR handle;
    BYTE type;
};
#if defined(_WIN32) && !defined(_WIN64) && !defined(__WINE__)
static_assert(sizeof(SystemHandleEntry) == 16, "the system handle entry is 16 bytes on 32-bit Windows");
#endif

struct CountedName {
    USHORT Length;
    USHORT MaximumLength;
    WCHAR *Buffer;
};

// A name query, handed to the worker through the one-request slot. Lives
// on the heap: a request whose worker could not be confirmed dead is never
// released.
struct HandleNameRequest {
    WCHAR Name[2048];
    HANDLE Handle;
    HANDLE Event;
};

HandleNameRequest *volatile g_slot;
HANDLE g_queueSemaphore;
HANDLE g_workerThread;

// Drive letters ("X:") and their NT device names, read when a worker starts.
struct DriveDevice {
    WCHAR drive[3];
    WCHAR device[MAX_PATH];
};

NtQueryObjectFn NtQueryObjectEntry(void)
{
    if (!g_NtQueryObject) {
        HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
        if (ntdll)
            g_NtQueryObject = reinterpret_cast<NtQueryObjectFn>(
                reinterpret_cast<void *>(GetProcAddress(ntdll, "NtQueryObject")));
    }
    return g_NtQueryObject;
}

NtQuerySystemInformationFn NtQuerySystemInformationEntry(void)
{
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    if (!ntdll)
        return nullptr;
    return reinterpret_cast<NtQuerySystemInformationFn>(
        reinterpret_cast<void *>(GetProcAddress(ntdll, "NtQuerySystemInformation")));
}

// The name in drive-letter form: an NT device prefix that a drive maps to
// becomes the drive (the prefix compared exactly), and the "\??\X:\" form in
// which Wine names files loses its "\??\".
void ToDriveForm(WCHAR *name, const DriveDevice *drives, int driveCount)
{
    for (int i = 0; i < driveCount; ++i) {
        int length = lstrlenW(drives[i].device);
        if (length == 0 || lstrlenW(name) < length)
            continue;
        bool same = true;
        for (int j = 0; j < length && same; ++j)
            same = name[j] == drives[i].device[j];
        if (!same || (name[length] != 0 && name[length] != L'\\'))
            continue;
        name[0] = drives[i].drive[0];
        name[1] = L':';
        MoveMemory(name + 2, name + length, (lstrlenW(name + length) + 1) * sizeof(WCHAR));
        return;
    }
    if (name[0] == L'\\' && name[1] == L'?' && name[2] == L'?' && name[3] == L'\\' && name[4] && name[5] == L':')
        MoveMemory(name, name + 4, (lstrlenW(name + 4) + 1) * sizeof(WCHAR));
}

DWORD WINAPI HandleNameWorker(LPVOID)
{
    // Room for all 26 drive roots (4 units each) and the closing NUL.
    WCHAR roots[128];
    DWORD length = GetLogicalDriveStringsW(128, roots);
    if (length == 0 || length >= 128)
        return 1;
    DriveDevice drives[26];
    int driveCount = 0;
    for (const WCHAR *root = roots; *root && driveCount < 26; root += lstrlenW(root) + 1) {
        DriveDevice &d = drives[driveCount];
        d.drive[0] = root[0];
        d.drive[1] = L':';
        d.drive[2] = 0;
        if (QueryDosDeviceW(d.drive, d.device, MAX_PATH))
            ++driveCount;
    }
    // No heap use below: this thread may be terminated at any point.
    ULONG_PTR buffer[4096 / sizeof(ULONG_PTR)];
    for (;;) {
        WaitForSingleObject(g_queueSemaphore, INFINITE);
        HandleNameRequest *request =
            static_cast<HandleNameRequest *>(InterlockedExchangePointer(reinterpret_cast<PVOID volatile *>(&g_slot),
                                                                        nullptr));
        if (!request)
            continue;
        NtQueryObjectFn query = g_NtQueryObject;
        LONG status = query ? query(request->Handle, kObjectNameInformation, buffer, sizeof buffer, nullptr) : -1;
        const CountedName *name = reinterpret_cast<const CountedName *>(buffer);
        if (status == 0 && name->Length != 0 && name->Buffer) {
            int units = name->Length / sizeof(WCHAR);
            if (units > 2047)
                units = 2047;
            CopyMemory(request->Name, name->Buffer, units * sizeof(WCHAR));
            request->Name[units] = 0;
            ToDriveForm(request->Name, drives, driveCount);
        }
        SetEvent(request->Event);
    }
}

// Whether an entry's type number is that of files: the numbers of the
// Windows versions this program knows, and the one found on this system.
bool IsFileType(BYTE type)
{
    static BYTE found = FileObjectTypeNumber();
    return type == 23 || type == 25 || type == 28 || (found != 0 && type == found);
}

// The system handle table (free with HeapFree), or null. Windows tells the
// size it needs in answer to a small buffer; Wine answers 0 there, so without
// an answer the buffer starts at 64 KB. The table may grow between asking
// and reading: each failed read doubles the room, up to 64 MB.
void *ReadTable(NtQuerySystemInformationFn query, ULONG infoClass)
{
    BYTE probe[64];
    ULONG needed = 0;
    if (query(infoClass, probe, sizeof probe, &needed) == 0)
        needed = sizeof probe;
    ULONG size = needed ? needed + needed / 4 + 4096 : 65536;
    while (size <= (64u << 20)) {
        void *table = HeapAlloc(GetProcessHeap(), 0, size);
        if (!table)
            return nullptr;
        ULONG returned = 0;
        LONG status = query(infoClass, table, size, &returned);
        if (status == 0)
            return table;
        if (status == static_cast<LONG>(0xC0000003)) {  // class not known here
            HeapFree(GetProcessHeap(), 0, table);
            return nullptr;
        }
        HeapFree(GetProcessHeap(), 0, table);
        size = returned > size ? returned + returned / 4 : size * 2;
    }
    return nullptr;
}

SystemHandleTable *ReadHandleTable(NtQuerySystemInformationFn query)
{
    return static_cast<SystemHandleTable *>(ReadTable(query, kSystemHandleInformation));
}

// Every handle of the system, with full handle values where the system
// gives them (the first table has 16-bit values).
bool ReadHandleRows(NtQuerySystemInformationFn query, std::vector<HandleRow> &rows)
{
    rows.clear();
    if (SystemHandleTableEx *ex = static_cast<SystemHandleTableEx *>(ReadTable(query, kSystemExtendedHandleInformation))) {
        for (ULONG_PTR i = 0; i < ex->Count; ++i)
            rows.push_back(HandleRow{static_cast<DWORD>(ex->Entries[i].ProcessId), ex->Entries[i].Handle,
                                     static_cast<BYTE>(ex->Entries[i].ObjectTypeIndex)});
        HeapFree(GetProcessHeap(), 0, ex);
        return true;
    }
    SystemHandleTable *table = ReadHandleTable(query);
    if (!table)
        return false;
    for (ULONG i = 0; i < table->Count; ++i)
        rows.push_back(HandleRow{table->Entries[i].ProcessId, table->Entries[i].Handle,
                                 table->Entries[i].ObjectTypeNumber});
    HeapFree(GetProcessHeap(), 0, table);
    return true;
}

// Processes whose handles are never touched: the system's own (ending or
// confusing them brings Windows down), this program, and other sessions'.
bool IsUntouchable(DWORD processId)
{
    if (processId <= 8 || processId == GetCurrentProcessId())
        return true;
    // Looked up at run time: the first Windows 2000 releases may lack it.
    typedef BOOL(WINAPI * SessionOfFn)(DWORD, DWORD *);
    static SessionOfFn sessionOf = reinterpret_cast<SessionOfFn>(
        reinterpret_cast<void *>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "ProcessIdToSessionId")));
    DWORD mine = 0, theirs = 0;
    if (sessionOf && sessionOf(GetCurrentProcessId(), &mine) && (!sessionOf(processId, &theirs) || theirs != mine))
        return true;
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId);
    if (!process)
        return true;
    WCHAR path[MAX_PATH] = {0};
    DWORD length = GetModuleFileNameExW(process, nullptr, path, MAX_PATH);
    CloseHandle(process);
    if (!length)
        return true;
    const WCHAR *name = path;
    for (const WCHAR *p = path; *p; ++p)
        if (*p == L'\\')
            name = p + 1;
    static const WCHAR *const kSystem[] = {L"System", L"smss.exe", L"csrss.exe", L"wininit.exe", L"winlogon.exe",
                                           L"services.exe", L"lsass.exe", L"lsm.exe"};
    for (const WCHAR *system : kSystem)
        if (lstrcmpiW(name, system) == 0)
            return true;
    return false;
}

bool IdentityOfFile(const WCHAR *path, FileIdentity *id)
{
    HANDLE h = CreateFileW(path, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    bool ok = IdentityOfHandle(h, id, nullptr);
    CloseHandle(h);
    return ok;
}

// Whether the handle value in the owner still names the file: a fresh
// duplicate, compared by volume and file number.
bool StillTheFile(HANDLE process, HANDLE remote, const FileIdentity &file)
{
    HANDLE copy = nullptr;
    if (!DuplicateHandle(process, remote, GetCurrentProcess(), &copy, 0, FALSE, DUPLICATE_SAME_ACCESS) || !copy)
        return false;
    FileIdentity now;
    bool same = GetFileType(copy) == FILE_TYPE_DISK && IdentityOfHandle(copy, &now, nullptr) && SameIdentity(now, file);
    CloseHandle(copy);
    return same;
}

// A path without a "\\?\" prefix ("\\?\UNC\x" as "\\x"), for comparing with
// handle names.
std::u16string PlainPath(const std::u16string &path)
{
    if (path.compare(0, 8, u"\\\\?\\UNC\\") == 0)
        return u"\\\\" + path.substr(8);
    if (path.compare(0, 4, u"\\\\?\\") == 0)
        return path.substr(4);
    return path;
}

bool SameName(const std::u16string &a, const std::u16string &b)
{
    return a.size() == b.size() &&
           CompareStringW(MAKELCID(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), SORT_DEFAULT), NORM_IGNORECASE, reinterpret_cast<const WCHAR *>(a.c_str()),
                          static_cast<int>(a.size()), reinterpret_cast<const WCHAR *>(b.c_str()),
                          static_cast<int>(b.size())) == CSTR_EQUAL;
}

} // namespace

BYTE FileObjectTypeNumber(void)
{
    NtQuerySystemInformationFn query = NtQuerySystemInformationEntry();
    if (!query)
        return 0;
    // A scratch file of our own, gone again when its handle closes.
    WCHAR folder[MAX_PATH], path[MAX_PATH];
    if (!GetTempPathW(MAX_PATH, folder) || !GetTempFileNameW(folder, L"VGH", 0, path))
        return 0;
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        DeleteFileW(path);
        return 0;
    }
    BYTE type = 0;
    SystemHandleTable *table = ReadHandleTable(query);
    if (table) {
        DWORD pid = GetCurrentProcessId();
        USHORT value = static_cast<USHORT>(reinterpret_cast<ULONG_PTR>(file));
        for (ULONG i = 0; i < table->Count && !type; ++i)
            if (table->Entries[i].ProcessId == pid && table->Entries[i].Handle == value)
                type = table->Entries[i].ObjectTypeNumber;
        HeapFree(GetProcessHeap(), 0, table);
    }
    CloseHandle(file);
    return type;
}

void RestartHandleNameWorker(void)
{
    if (g_workerThread) {
        TerminateThread(g_workerThread, 1);
        WaitForSingleObject(g_workerThread, 1000);
        CloseHandle(g_workerThread);
        g_workerThread = nullptr;
    }
    g_workerThread = CreateThread(nullptr, 0, HandleNameWorker, nullptr, 0, nullptr);
}

namespace {

// The drive-letter name of a handle of this process, through the worker;
// empty when it does not answer within 50 ms.
std::u16string NameOfDuplicate(HANDLE duplicate)
{
    if (!NtQueryObjectEntry())
        return std::u16string();
    if (!g_queueSemaphore) {
        g_queueSemaphore = CreateSemaphoreW(nullptr, 0, 1, nullptr);
        if (!g_queueSemaphore)
            return std::u16string();
    }
    if (!g_workerThread)
        RestartHandleNameWorker();
    HandleNameRequest *request =
        static_cast<HandleNameRequest *>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(HandleNameRequest)));
    HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (!request || !event) {
        if (request)
            HeapFree(GetProcessHeap(), 0, request);
        if (event)
            CloseHandle(event);
        return std::u16string();
    }
    request->Handle = duplicate;
    request->Event = event;
    InterlockedExchangePointer(reinterpret_cast<PVOID volatile *>(&g_slot), request);
    ReleaseSemaphore(g_queueSemaphore, 1, nullptr);
    bool answered = WaitForSingleObject(event, kNameWaitMs) == WAIT_OBJECT_0;
    bool released = answered;
    if (!answered) {
        // The worker hangs in the query (or never took the request): take the
        // request back, replace the worker, and release the request only
        // when the old worker is known to be gone.
        InterlockedExchangePointer(reinterpret_cast<PVOID volatile *>(&g_slot), nullptr);
        HANDLE old = nullptr;
        if (g_workerThread)
            DuplicateHandle(GetCurrentProcess(), g_workerThread, GetCurrentProcess(), &old, SYNCHRONIZE, FALSE, 0);
        RestartHandleNameWorker();
        released = !old || WaitForSingleObject(old, 0) == WAIT_OBJECT_0;
        if (old)
            CloseHandle(old);
    }
    std::u16string name(reinterpret_cast<const char16_t *>(request->Name));
    if (released) {
        CloseHandle(event);
        HeapFree(GetProcessHeap(), 0, request);
    }
    return answered ? name : std::u16string();
}

} // namespace

std::u16string QueryHandleName(DWORD handle, DWORD processId)
{
    HANDLE process = OpenProcess(PROCESS_DUP_HANDLE, FALSE, processId);
    if (!process)
        return std::u16string();
    HANDLE duplicate = nullptr;
    BOOL made = DuplicateHandle(process, reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(handle)),
                                GetCurrentProcess(), &duplicate, 0, FALSE, DUPLICATE_SAME_ACCESS);
    CloseHandle(process);
    if (!made || !duplicate)
        return std::u16string();
    std::u16string name = NameOfDuplicate(duplicate);
    CloseHandle(duplicate);
    return name;
}

void CloseFileHandles(const PathList &paths)
{
    if (!NtQueryObjectEntry())
        return;
    NtQuerySystemInformationFn query = NtQuerySystemInformationEntry();
    if (!query)
        return;
    std::vector<HandleRow> rows;
    if (!ReadHandleRows(query, rows))
        return;
    // The files as they are now: a handle counts only when it is one of
    // them by volume and file number, not merely by name.
    std::vector<std::u16string> plain;
    std::vector<FileIdentity> files;
    std::vector<bool> known;
    for (const std::u16string &path : paths) {
        plain.push_back(PlainPath(path));
        FileIdentity id = {0, 0, 0};
        known.push_back(IdentityOfFile(reinterpret_cast<const WCHAR *>(path.c_str()), &id));
        files.push_back(id);
    }
    std::map<DWORD, HANDLE> owners;  // null: a process never touched
    std::vector<bool> freed(paths.size(), false);
    DWORD pumped = GetTickCount();
    for (const HandleRow &row : rows) {
        if (g_cleanAbort)
            break;
        // The clean dialog waits on this thread: let it repaint and take
        // its close button while the names are asked for.
        if (GetTickCount() - pumped > 100) {
            MSG message;
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
                if (message.message == WM_QUIT) {
                    PostQuitMessage(static_cast<int>(message.wParam));
                    break;
                }
                TranslateMessage(&message);
                DispatchMessageW(&message);
            }
            pumped = GetTickCount();
        }
        if (!IsFileType(row.type))
            continue;
        auto found = owners.find(row.processId);
        if (found == owners.end()) {
            HANDLE process = IsUntouchable(row.processId) ? nullptr
                                                         : OpenProcess(PROCESS_DUP_HANDLE, FALSE, row.processId);
            found = owners.emplace(row.processId, process).first;
        }
        HANDLE process = found->second;
        if (!process)
            continue;
        HANDLE remote = reinterpret_cast<HANDLE>(row.handle);
        // One duplicate serves the cheap type test, the name and the
        // identity; pipes and devices (whose name query can hang) are
        // passed over at once.
        HANDLE duplicate = nullptr;
        if (!DuplicateHandle(process, remote, GetCurrentProcess(), &duplicate, 0, FALSE, DUPLICATE_SAME_ACCESS) ||
            !duplicate)
            continue;
        if (GetFileType(duplicate) != FILE_TYPE_DISK) {
            CloseHandle(duplicate);
            continue;
        }
        std::u16string name = NameOfDuplicate(duplicate);
        FileIdentity id;
        bool identified = !name.empty() && IdentityOfHandle(duplicate, &id, nullptr);
        CloseHandle(duplicate);
        if (!identified)
            continue;
        for (size_t p = 0; p < paths.size(); ++p) {
            if (!known[p] || !SameIdentity(id, files[p]) || !SameName(name, plain[p]))
                continue;
            // The owner may have closed the handle and opened something
            // else under the same value meanwhile: confirm right before.
            if (!StillTheFile(process, remote, files[p]))
                break;
            // Closing the source needs a target under Wine (without one the
            // owner's handle stays): take the handle over and close it here.
            HANDLE taken = nullptr;
            if (DuplicateHandle(process, remote, GetCurrentProcess(), &taken, 0, FALSE,
                                DUPLICATE_CLOSE_SOURCE | DUPLICATE_SAME_ACCESS) &&
                taken)
                CloseHandle(taken);
            freed[p] = true;
            break;
        }
    }
    for (auto &owner : owners)
        if (owner.second)
            CloseHandle(owner.second);
    for (size_t p = 0; p < paths.size(); ++p)
        if (freed[p])
            DeleteFileW(reinterpret_cast<const WCHAR *>(paths[p].c_str()));
}
