// Closing the file handles that other processes hold on files a cleaning
// could not delete, and deleting those files.
#pragma once
#include <windows.h>

#include <string>

#include "clean/clean_ops.h"

// The object-name query of ntdll, as the name worker calls it.
typedef LONG(NTAPI *NtQueryObjectFn)(HANDLE handle, ULONG infoClass, PVOID buffer, ULONG length,
                                     PULONG returned);
// Looked up in ntdll on first use; the worker calls whatever it holds.
extern NtQueryObjectFn g_NtQueryObject;

// Finds every open file handle whose file is one of paths (the same name,
// case ignored, and the same volume and file number), closes it inside its
// owner and deletes the file. Never touches a handle of the system's own
// processes (System, smss, csrss, wininit, winlogon, services, lsass), of
// this program or of another session; pipes and devices are passed over
// without a name query; each handle is confirmed to be the file again right
// before it is closed.
void CloseFileHandles(const PathList &paths);

// The drive-letter name of a handle of another process; empty when it
// cannot be had within 50 ms.
std::u16string QueryHandleName(DWORD handle, DWORD processId);

// Replaces the name worker (terminating the current one).
void RestartHandleNameWorker(void);

// The object type number of file handles on this system, found from a
// handle of this process (0 when it cannot be found).
BYTE FileObjectTypeNumber(void);
