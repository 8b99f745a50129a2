// An in-process emulation of the volume driver and its kernel service for
// the Wine build, behind the same seam the Windows build sends to the real
// device and service manager. This part is the driver's control device: the
// device handle and its references, the control requests with their exact
// records, the password cache and the switches for tests. The volume
// requests are volume_requests.cpp, the service manager service_manager.cpp.
#include <chrono>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "standin/qdsk/driver_state.h"
#include "crypto/crypto_init.h"

namespace qdsk {

std::recursive_timed_mutex g_lock;
DriverState g_state;

namespace {
char s_device, s_manager, s_service;
}  // namespace

HANDLE DeviceHandle() { return reinterpret_cast<HANDLE>(&s_device); }
SC_HANDLE ManagerHandle() { return reinterpret_cast<SC_HANDLE>(&s_manager); }
SC_HANDLE ServiceHandle() { return reinterpret_cast<SC_HANDLE>(&s_service); }

BOOL Fail(DWORD error)
{
    SetLastError(error);
    return FALSE;
}

QdskPassword *Cache()
{
    if (!g_state.cache) {
        void *p = VirtualAlloc(nullptr, sizeof(QdskPassword) * CacheSlots, MEM_COMMIT, PAGE_READWRITE);
        if (p)
            VirtualLock(p, sizeof(QdskPassword) * CacheSlots);
        g_state.cache = static_cast<QdskPassword *>(p);
    }
    return g_state.cache;
}

void WipeCache()
{
    if (g_state.cache)
        SecureZeroMemory(g_state.cache, sizeof(QdskPassword) * CacheSlots);
    g_state.cacheCount = 0;
}

void Remember(const QdskPassword *password)
{
    QdskPassword *cache = Cache();
    if (!cache)
        return;
    for (int i = 0; i < g_state.cacheCount; ++i)
        if (!memcmp(&cache[i], password, sizeof(QdskPassword)))
            return;
    int slot = g_state.cacheCount < CacheSlots ? g_state.cacheCount++ : CacheSlots - 1;
    memcpy(&cache[slot], password, sizeof(QdskPassword));
}

}  // namespace qdsk

using namespace qdsk;

namespace {

// A process that ends with volumes mounted takes its emulated driver with
// it: the volumes are saved and dismounted where they can be.
struct EndOfProcess {
    ~EndOfProcess()
    {
        // A thread ended in the middle of a save may have left the lock
        // taken: its views then stay for the next mount to recover.
        std::unique_lock<std::recursive_timed_mutex> guard(g_lock, std::chrono::seconds(10));
        if (!guard.owns_lock())
            return;
        DismountEverything("saving at the end of the process");
        WipeCache();
    }
} s_endOfProcess;

}  // namespace

HANDLE QdskOpenDevice(void)
{
    std::lock_guard<std::recursive_timed_mutex> guard(g_lock);
    if (!g_state.loaded) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    FreeDrivesOfEndedOwners();
    g_state.references++;
    return DeviceHandle();
}

void QdskCloseDevice(HANDLE device)
{
    std::lock_guard<std::recursive_timed_mutex> guard(g_lock);
    if (device == DeviceHandle() && g_state.references > 0)
        g_state.references--;
}

static BOOL Control(HANDLE device, DWORD code, void *in, DWORD inSize, void *out, DWORD outSize,
                    DWORD *returned)
{
    if (returned)
        *returned = 0;
    if (device != DeviceHandle() || !g_state.loaded)
        return Fail(ERROR_INVALID_HANDLE);
    auto answer = [&](const void *data, DWORD size) -> BOOL {
        if (!out || outSize < size)
            return Fail(ERROR_INSUFFICIENT_BUFFER);
        memcpy(out, data, size);
        if (returned)
            *returned = size;
        return TRUE;
    };
    switch (code) {
    case IOCTL_QDSK_VERSION:
        return answer(&g_state.version, sizeof(DWORD));
    case IOCTL_QDSK_MOUNT: {
        if (!in || inSize != sizeof(QdskMountRequest) || !out || outSize != sizeof(QdskMountRequest))
            return Fail(ERROR_INVALID_PARAMETER);
        QdskMountRequest *req = static_cast<QdskMountRequest *>(HeapAlloc(GetProcessHeap(), 0, sizeof(*req)));
        if (!req)
            return Fail(ERROR_NOT_ENOUGH_MEMORY);
        memcpy(req, in, sizeof(*req));
        BOOL ok = Mount(req);
        DWORD error = GetLastError();
        SecureZeroMemory(&req->MountPassword, sizeof(QdskPassword));
        SecureZeroMemory(&req->HiddenVolumeGuardPassword, sizeof(QdskPassword));
        if (ok)
            answer(req, sizeof(*req));
        SecureZeroMemory(req, sizeof(*req));
        HeapFree(GetProcessHeap(), 0, req);
        SetLastError(error);
        return ok;
    }
    case IOCTL_QDSK_DISMOUNT:
    case IOCTL_QDSK_DISMOUNT_ALL: {
        if (!in || inSize != sizeof(QdskDismountRequest) || !out || outSize != sizeof(QdskDismountRequest))
            return Fail(ERROR_INVALID_PARAMETER);
        QdskDismountRequest req;
        memcpy(&req, in, sizeof(req));
        g_state.counters.dismountRequests++;
        if (req.ForceDismount)
            g_state.counters.forcedDismountRequests++;
        req.ResultCode = 0;
        if (code == IOCTL_QDSK_DISMOUNT) {
            if (req.DriveNumber < 0 || req.DriveNumber > 25 || !g_state.volumes[req.DriveNumber].used)
                return Fail(ERROR_INVALID_DRIVE);
            req.ResultCode = Dismount(req.DriveNumber, req.ForceDismount != 0);
        } else {
            for (int d = 0; d < 26; ++d)
                if (g_state.volumes[d].used) {
                    int r = Dismount(d, req.ForceDismount != 0);
                    if (r != 0 && req.ResultCode == 0)
                        req.ResultCode = r;
                }
        }
        return answer(&req, sizeof(req));
    }
    case IOCTL_QDSK_LIST_MOUNTED: {
        if (!out || outSize != sizeof(QdskMountedList))
            return Fail(ERROR_INVALID_PARAMETER);
        QdskMountedList *list = static_cast<QdskMountedList *>(out);
        memset(list, 0, sizeof(*list));
        for (int d = 0; d < 26; ++d)
            if (g_state.volumes[d].used) {
                list->DriveMask |= 1u << d;
                memcpy(list->VolumePath[d], g_state.volumes[d].listedPath, sizeof(list->VolumePath[d]));
            }
        if (returned)
            *returned = sizeof(*list);
        return TRUE;
    }
    case IOCTL_QDSK_REFCOUNT: {
        DWORD count = DWORD(g_state.references);
        return answer(&count, sizeof(count));
    }
    case IOCTL_QDSK_UNLOAD_BLOCKED:
        return answer(&g_state.unloadBlocked, sizeof(DWORD));
    case IOCTL_QDSK_ANY_MOUNTED: {
        DWORD any = MountedMask() != 0;
        return answer(&any, sizeof(any));
    }
    case IOCTL_QDSK_CACHE_STATUS:
        return g_state.cacheCount > 0 ? TRUE : Fail(ERROR_NOT_FOUND);
    case IOCTL_QDSK_CACHE_WIPE:
        WipeCache();
        return TRUE;
    default:
        // Partition queries and the legacy list are not emulated.
        return Fail(ERROR_INVALID_FUNCTION);
    }
}

BOOL QdskControl(HANDLE device, DWORD code, void *in, DWORD inSize, void *out, DWORD outSize, DWORD *returned)
{
    BOOL ok;
    DWORD error;
    std::vector<std::pair<int, int>> warnings;
    {
        std::lock_guard<std::recursive_timed_mutex> guard(g_lock);
        ok = Control(device, code, in, inSize, out, outSize, returned);
        error = GetLastError();
        if (device == DeviceHandle())
            warnings = CheckFilling();
    }
    // Shown outside the lock: the box waits for the user, other requests
    // need not.
    WarnFilling(warnings);
    SetLastError(error);
    return ok;
}

void QdskStandinReset(void)
{
    std::lock_guard<std::recursive_timed_mutex> guard(g_lock);
    DismountEverything("saving at the reset");
    WipeCache();
    g_state.loaded = false;
    g_state.version = DefaultVersion;
    g_state.fileVersion = DefaultVersion;
    g_state.references = 0;
    g_state.serviceEntry = false;
    g_state.serviceMarked = false;
    g_state.denyManager = false;
    g_state.unloadBlocked = 0;
    g_state.counters = QdskStandinCounters();
    SetCheckpointTimes(60 * 1000, 10 * 60 * 1000);
}

void QdskStandinLoadVersion(DWORD version)
{
    std::lock_guard<std::recursive_timed_mutex> guard(g_lock);
    InitCrypto();
    g_state.loaded = true;
    g_state.version = version;
    g_state.serviceEntry = true;
    g_state.serviceMarked = true;
}

void QdskStandinSetFileVersion(DWORD version)
{
    std::lock_guard<std::recursive_timed_mutex> guard(g_lock);
    g_state.fileVersion = version;
}

void QdskStandinDenyManager(BOOL deny)
{
    std::lock_guard<std::recursive_timed_mutex> guard(g_lock);
    g_state.denyManager = deny != FALSE;
}

void QdskStandinSetUnloadBlocked(DWORD blocked)
{
    std::lock_guard<std::recursive_timed_mutex> guard(g_lock);
    g_state.unloadBlocked = blocked;
}

void QdskStandinAddForeignReferences(int count)
{
    std::lock_guard<std::recursive_timed_mutex> guard(g_lock);
    g_state.references += count;
}

BOOL QdskStandinIsLoaded(void)
{
    std::lock_guard<std::recursive_timed_mutex> guard(g_lock);
    return g_state.loaded;
}

void QdskStandinGetCounters(QdskStandinCounters *counters)
{
    std::lock_guard<std::recursive_timed_mutex> guard(g_lock);
    *counters = g_state.counters;
}

void QdskStandinSetCheckpointTimes(DWORD quietMs, DWORD longestMs)
{
    std::lock_guard<std::recursive_timed_mutex> guard(g_lock);
    SetCheckpointTimes(quietMs, longestMs);
}

void QdskStandinViewFolder(int drive, char *out, size_t size)
{
    std::lock_guard<std::recursive_timed_mutex> guard(g_lock);
    out[0] = 0;
    if (drive >= 0 && drive < 26 && g_state.volumes[drive].used)
        lstrcpynA(out, g_state.volumes[drive].view.c_str(), int(size));
}
