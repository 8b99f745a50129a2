// The driver seam on Windows: the real control device and service manager.
#include "volume/driver_seam.h"

HANDLE QdskOpenDevice(void)
{
    return CreateFileA("\\\\.\\Qdsk", 0, 0, nullptr, OPEN_EXISTING, 0, nullptr);
}

BOOL QdskControl(HANDLE device, DWORD code, void *in, DWORD inSize, void *out, DWORD outSize, DWORD *returned)
{
    DWORD dummy;
    return DeviceIoControl(device, code, in, inSize, out, outSize, returned ? returned : &dummy, nullptr);
}

void QdskCloseDevice(HANDLE device) { CloseHandle(device); }

SC_HANDLE QdskOpenManager(void) { return OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS); }
SC_HANDLE QdskOpenServiceW(SC_HANDLE manager) { return OpenServiceW(manager, L"qdsk", SERVICE_ALL_ACCESS); }
SC_HANDLE QdskOpenServiceA(SC_HANDLE manager) { return OpenServiceA(manager, "qdsk", SERVICE_ALL_ACCESS); }

SC_HANDLE QdskCreateService(SC_HANDLE manager, const WCHAR *binaryPath)
{
    return CreateServiceW(manager, L"qdsk", L"qdsk", SERVICE_ALL_ACCESS, SERVICE_KERNEL_DRIVER, SERVICE_DEMAND_START,
                          SERVICE_ERROR_NORMAL, binaryPath, nullptr, nullptr, nullptr, nullptr, nullptr);
}

BOOL QdskStartService(SC_HANDLE service) { return StartServiceW(service, 0, nullptr); }
BOOL QdskStopService(SC_HANDLE service, SERVICE_STATUS *status)
{
    return ControlService(service, SERVICE_CONTROL_STOP, status);
}
BOOL QdskQueryService(SC_HANDLE service, SERVICE_STATUS *status) { return QueryServiceStatus(service, status); }
BOOL QdskDeleteService(SC_HANDLE service) { return DeleteService(service); }
void QdskCloseService(SC_HANDLE handle) { CloseServiceHandle(handle); }
