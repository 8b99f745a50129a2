// Everything the program says to the volume driver and to the service
// manager about it passes through these calls. The Windows build sends them
// to the real control device and service manager; the Wine build answers
// them with an in-process emulation of the driver. Each call fails the
// Win32 way (FALSE, null or INVALID_HANDLE_VALUE with the last error set).
#pragma once
#include <windows.h>

// "\\.\Qdsk": CreateFileA with access 0, no sharing, OPEN_EXISTING.
HANDLE QdskOpenDevice(void);
// DeviceIoControl on the control device.
BOOL QdskControl(HANDLE device, DWORD code, void *in, DWORD inSize, void *out, DWORD outSize, DWORD *returned);
void QdskCloseDevice(HANDLE device);

// OpenSCManagerW on the local machine with SC_MANAGER_ALL_ACCESS.
SC_HANDLE QdskOpenManager(void);
// OpenServiceW, resp. OpenServiceA, "qdsk" with SERVICE_ALL_ACCESS.
SC_HANDLE QdskOpenServiceW(SC_HANDLE manager);
SC_HANDLE QdskOpenServiceA(SC_HANDLE manager);
// CreateServiceW "qdsk" as a demand-started kernel driver from binaryPath.
SC_HANDLE QdskCreateService(SC_HANDLE manager, const WCHAR *binaryPath);
BOOL QdskStartService(SC_HANDLE service);
BOOL QdskStopService(SC_HANDLE service, SERVICE_STATUS *status);
BOOL QdskQueryService(SC_HANDLE service, SERVICE_STATUS *status);
BOOL QdskDeleteService(SC_HANDLE service);
void QdskCloseService(SC_HANDLE handle);
