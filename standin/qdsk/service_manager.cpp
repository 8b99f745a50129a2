// The service-manager side of the volume driver emulation: the "qdsk"
// kernel service entry, its start (which loads the emulated driver), stop
// and deletion, as the service manager treats a kernel driver.
#include <cstring>
#include <mutex>

#include "standin/qdsk/driver_state.h"
#include "crypto/crypto_init.h"

using namespace qdsk;

SC_HANDLE QdskOpenManager(void)
{
    std::lock_guard<std::recursive_timed_mutex> guard(g_lock);
    if (g_state.denyManager) {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    return ManagerHandle();
}

static SC_HANDLE OpenServiceEntry(SC_HANDLE manager)
{
    std::lock_guard<std::recursive_timed_mutex> guard(g_lock);
    if (manager != ManagerHandle()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if (!g_state.serviceEntry) {
        SetLastError(ERROR_SERVICE_DOES_NOT_EXIST);
        return nullptr;
    }
    return ServiceHandle();
}

SC_HANDLE QdskOpenServiceW(SC_HANDLE manager) { return OpenServiceEntry(manager); }
SC_HANDLE QdskOpenServiceA(SC_HANDLE manager) { return OpenServiceEntry(manager); }

SC_HANDLE QdskCreateService(SC_HANDLE manager, const WCHAR *binaryPath)
{
    std::lock_guard<std::recursive_timed_mutex> guard(g_lock);
    if (manager != ManagerHandle()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if (g_state.serviceEntry) {
        SetLastError(g_state.serviceMarked ? ERROR_SERVICE_MARKED_FOR_DELETE : ERROR_SERVICE_EXISTS);
        return nullptr;
    }
    g_state.serviceEntry = true;
    g_state.serviceMarked = false;
    lstrcpynW(g_state.binaryPath, binaryPath, ARRAYSIZE(g_state.binaryPath));
    return ServiceHandle();
}

BOOL QdskStartService(SC_HANDLE service)
{
    std::lock_guard<std::recursive_timed_mutex> guard(g_lock);
    if (service != ServiceHandle() || !g_state.serviceEntry)
        return Fail(ERROR_INVALID_HANDLE);
    if (g_state.loaded)
        return Fail(ERROR_SERVICE_ALREADY_RUNNING);
    // The kernel loads the driver from the service's file.
    if (GetFileAttributesW(g_state.binaryPath) == INVALID_FILE_ATTRIBUTES)
        return Fail(ERROR_FILE_NOT_FOUND);
    if (!InitCrypto())
        return Fail(ERROR_DLL_INIT_FAILED);
    g_state.loaded = true;
    g_state.version = g_state.fileVersion;
    g_state.counters.serviceStarts++;
    return TRUE;
}

BOOL QdskStopService(SC_HANDLE service, SERVICE_STATUS *status)
{
    std::lock_guard<std::recursive_timed_mutex> guard(g_lock);
    if (service != ServiceHandle() || !g_state.serviceEntry)
        return Fail(ERROR_INVALID_HANDLE);
    if (!g_state.loaded)
        return Fail(ERROR_SERVICE_NOT_ACTIVE);
    // The driver refuses to go while volumes are mounted or its device is
    // open.
    if (MountedMask() == 0 && g_state.references == 0) {
        g_state.loaded = false;
        WipeCache();
        if (g_state.serviceMarked)
            g_state.serviceEntry = false;
    }
    return QdskQueryService(service, status);
}

BOOL QdskQueryService(SC_HANDLE service, SERVICE_STATUS *status)
{
    std::lock_guard<std::recursive_timed_mutex> guard(g_lock);
    if (service != ServiceHandle())
        return Fail(ERROR_INVALID_HANDLE);
    memset(status, 0, sizeof(*status));
    status->dwServiceType = SERVICE_KERNEL_DRIVER;
    status->dwCurrentState = g_state.loaded ? SERVICE_RUNNING : SERVICE_STOPPED;
    return TRUE;
}

BOOL QdskDeleteService(SC_HANDLE service)
{
    std::lock_guard<std::recursive_timed_mutex> guard(g_lock);
    if (service != ServiceHandle() || !g_state.serviceEntry)
        return Fail(ERROR_INVALID_HANDLE);
    if (g_state.loaded)
        g_state.serviceMarked = true;  // goes when the driver stops
    else
        g_state.serviceEntry = false;
    return TRUE;
}

void QdskCloseService(SC_HANDLE) {}

