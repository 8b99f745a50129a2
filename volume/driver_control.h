// The connection to the volume driver: installing and starting it as a
// kernel service, the control device, the interface version check, and the
// control requests the rest of the program sends.
#pragma once
#include <windows.h>

#include "volume/driver_records.h"

// The open control device, or INVALID_HANDLE_VALUE while not connected.
extern HANDLE DriverHandle;
// The version the driver last reported.
extern DWORD DriverVersion;

// 0 connected with the right version; 1 a Windows error (GetLastError);
// 15 another driver version runs and cannot be replaced; 28 a message was
// already shown.
DWORD ConnectDriver(void);
// 0 started; 1 a Windows error; 28 a message was already shown.
DWORD InstallAndStartDriver(void);
// 1 the driver is stopped (or was never connected); 0 it stays loaded.
DWORD UnloadDriver(void);
// At exit: close the handle, and stop the driver of a portable copy when
// nothing keeps it loaded.
void DisconnectDriverAtExit(void);

bool IsInstalled(void);
bool IsWow64(void);
// 0 or the Windows error code.
DWORD EnablePrivilege(const WCHAR *name);
// The number of open references to the control device, or -1.
int GetDeviceRefCount(void);
bool IsPasswordCacheEmpty(void);
// Zero-fills the record and asks for the mounted volumes; a failed request
// leaves DriveMask 0.
void ListMountedVolumes(QdskMountedList *list);
bool GetPartitionInfo(const char *devicePath, void *partitionInfo32);
bool IsAdmin(void);
bool IsUacEnabled(void);

// The driver forgets every cached password. FALSE (last error set) when
// the request failed.
BOOL WipePasswordCache(void);
// Whether the driver reports any mounted volume.
BOOL AnyVolumeMounted(void);
