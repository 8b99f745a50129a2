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

struct OpenFileHandle {
    DWORD Handle;          // value in the owner
    std::u16string Name;   // drive-letter form
    DWORD ProcessId;
};

// Finds every open file handle whose file is one of paths (case ignored),
// closes it inside its owner and deletes the file.
void CloseFileHandles(const PathList &paths);

// The drive-letter name of a handle of another process; empty when it
// cannot be had within 50 ms.
std::u16string QueryHandleName(DWORD handle, DWORD processId);

// Closes the handle inside its owner. TRUE when it no longer exists there.
BOOL CloseRemoteHandle(const OpenFileHandle &record);

// Replaces the name worker (terminating the current one).
void RestartHandleNameWorker(void);

// The object type number of file handles on this system, found from a
// handle of this process (0 when it cannot be found).
BYTE FileObjectTypeNumber(void);
