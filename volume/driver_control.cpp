// Connecting to the volume driver, installing it as a kernel service from
// the file beside the executable, and stopping it again in portable use.
#include "volume/driver_control.h"

#include "common/token_privileges.h"

#include <shlobj.h>
#include <shlwapi.h>

#include "Mount/app_state.h"
#include "Mount/language.h"
#include "Mount/msgbox.h"
#include "volume/driver_seam.h"
#include "common/program_folder.h"

HANDLE DriverHandle = INVALID_HANDLE_VALUE;
DWORD DriverVersion;

static int s_wow64Known;
static BOOL s_wow64;

static BOOL Control(DWORD code, void *in, DWORD inSize, void *out, DWORD outSize)
{
    if (DriverHandle == INVALID_HANDLE_VALUE) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    DWORD returned = 0;
    return QdskControl(DriverHandle, code, in, inSize, out, outSize, &returned);
}

static void CloseDriverHandle(void)
{
    if (DriverHandle != INVALID_HANDLE_VALUE)
        QdskCloseDevice(DriverHandle);
    DriverHandle = INVALID_HANDLE_VALUE;
}

bool IsWow64(void)
{
    if (!s_wow64Known) {
        s_wow64Known = 1;
        s_wow64 = FALSE;
        typedef BOOL(WINAPI * IsWow64ProcessFn)(HANDLE, PBOOL);
        HMODULE kernel = GetModuleHandleW(L"kernel32");
        IsWow64ProcessFn fn =
            kernel ? reinterpret_cast<IsWow64ProcessFn>(reinterpret_cast<void (*)(void)>(GetProcAddress(kernel, "IsWow64Process")))
                   : nullptr;
        if (!fn || !fn(GetCurrentProcess(), &s_wow64))
            s_wow64 = FALSE;
    }
    return s_wow64 != FALSE;
}

bool IsInstalled(void)
{
    HKEY key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\QDSK", 0,
                      KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

DWORD EnablePrivilege(const WCHAR *name)
{
    return SetPrivilege(name, TRUE);
}

bool IsAdmin(void) { return IsUserAnAdmin() != FALSE; }

bool IsUacEnabled(void)
{
    if (WindowsVersionCode != WIN_VISTA_OR_LATER)
        return false;
    DWORD value = 1;
    HKEY key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System", 0,
                      KEY_READ, &key) == ERROR_SUCCESS) {
        DWORD v = 0, size = sizeof(v), type = 0;
        if (RegQueryValueExW(key, L"EnableLUA", nullptr, &type, reinterpret_cast<BYTE *>(&v), &size) ==
                ERROR_SUCCESS &&
            type == REG_DWORD)
            value = v;
        RegCloseKey(key);
    }
    return value != 0;
}

DWORD InstallAndStartDriver(void)
{
    WCHAR path[520];
    if (!GetProgramFolder(path))
        return 1;
    const WCHAR *file = IsWow64() ? L"\\qdsk-x64.sys" : L"\\qdsk.sys";
    if (lstrlenW(path) + lstrlenW(file) >= static_cast<int>(ARRAYSIZE(path)))
        return 1;
    lstrcatW(path, file);

    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(path, &found);
    if (search == INVALID_HANDLE_VALUE) {
        if (!SilentMode)
            MessageBoxW(g_hMainWnd, GetString("NO_DRIVER"), g_szProgramTitle, MB_ICONERROR);
        return 28;
    }
    FindClose(search);

    EnablePrivilege(L"SeLoadDriverPrivilege");

    SC_HANDLE manager = QdskOpenManager();
    if (!manager) {
        if (GetLastError() == ERROR_ACCESS_DENIED) {
            if (!SilentMode)
                MessageBoxW(g_hMainWnd, GetString("ADMINISTRATOR"), g_szProgramTitle, MB_ICONERROR);
            return 28;
        }
        return 1;
    }

    // A stale service entry would point at another file: remove it first.
    SC_HANDLE old = QdskOpenServiceW(manager);
    if (old) {
        QdskDeleteService(old);
        QdskCloseService(old);
        Sleep(500);
    }

    SC_HANDLE service = QdskCreateService(manager, path);
    if (!service) {
        DWORD error = GetLastError();
        QdskCloseService(manager);
        SetLastError(error);
        return 1;
    }
    BOOL started = QdskStartService(service);
    DWORD error = GetLastError();
    // Marked for deletion now, the entry goes away when the driver stops.
    QdskDeleteService(service);
    QdskCloseService(service);
    QdskCloseService(manager);
    SetLastError(started ? 0 : error);
    return started ? 0 : 1;
}

DWORD ConnectDriver(void)
{
    DriverHandle = QdskOpenDevice();
    bool installed = false;
    for (;;) {
        if (DriverHandle == INVALID_HANDLE_VALUE) {
            if (installed)
                return 1;
            DWORD result = InstallAndStartDriver();
            if (result != 0)
                return result;
            installed = true;
            DriverHandle = QdskOpenDevice();
            if (DriverHandle == INVALID_HANDLE_VALUE)
                return 1;
        }
        DriverVersion = 0;
        DWORD version = 0;
        if (!Control(IOCTL_QDSK_VERSION, &version, sizeof(version), &version, sizeof(version))) {
            DWORD error = GetLastError();
            CloseDriverHandle();
            SetLastError(error);
            return 1;
        }
        DriverVersion = version;
        if (DriverVersion == QDSK_DRIVER_VERSION)
            return 0;
        // Another version runs. An installed program must not replace it;
        // a portable copy replaces it when nothing else uses it.
        // After installing our own file the version must match; asking
        // again would only repeat the same stop and install.
        if (installed) {
            // Our own file carries the wrong version: stop what we started
            // rather than leave an unusable driver running.
            if (UnloadDriver() == 0)
                CloseDriverHandle();
            return 15;
        }
        if (IsInstalled() || UnloadDriver() == 0) {
            CloseDriverHandle();
            return 15;
        }
        // Stopped (a failed query may have left the handle open): install
        // ours and ask again.
        CloseDriverHandle();
    }
}

int GetDeviceRefCount(void)
{
    DWORD count = 0;
    if (!Control(IOCTL_QDSK_REFCOUNT, &count, sizeof(count), &count, sizeof(count)))
        return -1;
    return static_cast<int>(count);
}

DWORD UnloadDriver(void)
{
    if (DriverHandle == INVALID_HANDLE_VALUE)
        return 1;
    DWORD mounted = 0;
    if (!Control(IOCTL_QDSK_ANY_MOUNTED, nullptr, 0, &mounted, sizeof(mounted))) {
        QdskMountedList *list = static_cast<QdskMountedList *>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY,
                                                                          sizeof(QdskMountedList)));
        if (!list)
            return 0;  // unknown whether volumes are mounted: it stays
        BOOL ok = Control(IOCTL_QDSK_LEGACY_LIST_MOUNTED, nullptr, 0, list, sizeof(*list));
        mounted = list->DriveMask;
        HeapFree(GetProcessHeap(), 0, list);
        if (!ok)
            return 0;
    }
    if (mounted)
        return 0;
    if (GetDeviceRefCount() > 1)
        return 0;

    CloseDriverHandle();

    SC_HANDLE manager = QdskOpenManager();
    if (!manager)
        return 0;
    SC_HANDLE service = QdskOpenServiceA(manager);
    if (!service) {
        QdskCloseService(manager);
        return 0;
    }
    SERVICE_STATUS status = {};
    if (QdskQueryService(service, &status) && status.dwCurrentState != SERVICE_STOPPED) {
        QdskStopService(service, &status);
        for (int poll = 0; poll < 5; ++poll) {
            if (!QdskQueryService(service, &status))
                break;
            if (status.dwCurrentState == SERVICE_STOPPED)
                break;
            Sleep(200);
        }
    }
    QdskCloseService(service);
    QdskCloseService(manager);
    return status.dwCurrentState == SERVICE_STOPPED ? 1 : 0;
}

void DisconnectDriverAtExit(void)
{
    if (DriverHandle == INVALID_HANDLE_VALUE)
        return;
    if (IsInstalled()) {
        CloseDriverHandle();
        return;
    }
    DWORD blocked = 0;
    if (!Control(IOCTL_QDSK_UNLOAD_BLOCKED, nullptr, 0, &blocked, sizeof(blocked)))
        blocked = 0;
    if (!blocked)
        UnloadDriver();
    // Whatever the driver does, our reference goes (UnloadDriver has closed
    // it already when it stopped the driver).
    CloseDriverHandle();
}

bool IsPasswordCacheEmpty(void) { return !Control(IOCTL_QDSK_CACHE_STATUS, nullptr, 0, nullptr, 0); }

void ListMountedVolumes(QdskMountedList *list)
{
    ZeroMemory(list, sizeof(*list));
    if (!Control(IOCTL_QDSK_LIST_MOUNTED, list, sizeof(*list), list, sizeof(*list)))
        ZeroMemory(list, sizeof(*list));
}

bool GetPartitionInfo(const char *devicePath, void *partitionInfo32)
{
    QdskPartitionQuery query = {};
    wnsprintfW(reinterpret_cast<WCHAR *>(query.DevicePath), QDSK_PATH_UNITS, L"%hs", devicePath);
    if (!Control(IOCTL_QDSK_PARTITION_INFO, &query, sizeof(query), &query, sizeof(query)))
        return false;
    CopyMemory(partitionInfo32, query.PartitionInformation, sizeof(query.PartitionInformation));
    return true;
}

BOOL WipePasswordCache(void) { return Control(IOCTL_QDSK_CACHE_WIPE, nullptr, 0, nullptr, 0); }

BOOL AnyVolumeMounted(void)
{
    QdskMountedList *list =
        static_cast<QdskMountedList *>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(QdskMountedList)));
    if (!list)
        return FALSE;
    ListMountedVolumes(list);
    BOOL mounted = list->DriveMask != 0;
    HeapFree(GetProcessHeap(), 0, list);
    return mounted;
}
