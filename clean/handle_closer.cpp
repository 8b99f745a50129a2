// The open-handle closer: names every file handle of the system through a
// worker thread (a name query can hang on some handles, so each is given
// 50 ms and the worker is replaced when it does not answer), and closes the
// handles whose file is one the cleaning could not delete.
#include "clean/handle_closer.h"

#include <vector>

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
SystemHandleTable *ReadHandleTable(NtQuerySystemInformationFn query)
{
    BYTE probe[20];
    ULONG needed = 0;
    if (query(kSystemHandleInformation, probe, sizeof probe, &needed) == 0)
        needed = sizeof probe;
    ULONG size = needed ? needed + needed / 4 + 4096 : 65536;
    while (size <= (64u << 20)) {
        SystemHandleTable *table = static_cast<SystemHandleTable *>(HeapAlloc(GetProcessHeap(), 0, size));
        if (!table)
            return nullptr;
        ULONG returned = 0;
        if (query(kSystemHandleInformation, table, size, &returned) == 0)
            return table;
        HeapFree(GetProcessHeap(), 0, table);
        size = returned > size ? returned + returned / 4 : size * 2;
    }
    return nullptr;
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

std::u16string QueryHandleName(DWORD handle, DWORD processId)
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
    HANDLE process = OpenProcess(PROCESS_DUP_HANDLE, FALSE, processId);
    if (!process)
        return std::u16string();
    HANDLE duplicate = nullptr;
    BOOL made = DuplicateHandle(process, reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(handle)),
                                GetCurrentProcess(), &duplicate, 0, FALSE, DUPLICATE_SAME_ACCESS);
    CloseHandle(process);
    if (!made || !duplicate)
        return std::u16string();
    HandleNameRequest *request =
        static_cast<HandleNameRequest *>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(HandleNameRequest)));
    HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (!request || !event) {
        if (request)
            HeapFree(GetProcessHeap(), 0, request);
        if (event)
            CloseHandle(event);
        CloseHandle(duplicate);
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
    CloseHandle(duplicate);
    if (released) {
        CloseHandle(event);
        HeapFree(GetProcessHeap(), 0, request);
    }
    return answered ? name : std::u16string();
}

BOOL CloseRemoteHandle(const OpenFileHandle &record)
{
    HANDLE process = OpenProcess(PROCESS_DUP_HANDLE, FALSE, record.ProcessId);
    if (!process)
        return FALSE;
    HANDLE remote = reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(record.Handle));
    // Closing the source needs a target under Wine (without one the owner's
    // handle stays): take the handle over into this process and close it.
    HANDLE taken = nullptr;
    DuplicateHandle(process, remote, GetCurrentProcess(), &taken, 0, FALSE,
                    DUPLICATE_CLOSE_SOURCE | DUPLICATE_SAME_ACCESS);
    if (taken)
        CloseHandle(taken);
    HANDLE copy = nullptr;
    BOOL stillThere = DuplicateHandle(process, remote, GetCurrentProcess(), &copy, 0, FALSE, DUPLICATE_SAME_ACCESS);
    if (stillThere && copy)
        CloseHandle(copy);
    CloseHandle(process);
    return !stillThere;
}

void CloseFileHandles(const PathList &paths)
{
    if (!NtQueryObjectEntry())
        return;
    NtQuerySystemInformationFn query = NtQuerySystemInformationEntry();
    if (!query)
        return;
    SystemHandleTable *table = ReadHandleTable(query);
    if (!table)
        return;
    std::vector<std::u16string> plain;
    for (const std::u16string &path : paths)
        plain.push_back(PlainPath(path));
    std::vector<OpenFileHandle> found;
    for (ULONG i = 0; i < table->Count; ++i) {
        const SystemHandleEntry &entry = table->Entries[i];
        if (!IsFileType(entry.ObjectTypeNumber))
            continue;
        std::u16string name = QueryHandleName(entry.Handle, entry.ProcessId);
        if (name.empty())
            continue;
        found.push_back(OpenFileHandle{entry.Handle, name, entry.ProcessId});
        const OpenFileHandle &record = found.back();
        for (size_t p = 0; p < paths.size(); ++p) {
            if (!SameName(record.Name, plain[p]))
                continue;
            CloseRemoteHandle(record);
            DeleteFileW(reinterpret_cast<const WCHAR *>(paths[p].c_str()));
        }
    }
    HeapFree(GetProcessHeap(), 0, table);
}
