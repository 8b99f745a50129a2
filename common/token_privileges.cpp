#include "common/token_privileges.h"

DWORD SetPrivilege(const WCHAR *name, BOOL enable)
{
    HANDLE token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token))
        return GetLastError();

    LUID luid;
    if (!LookupPrivilegeValueW(nullptr, name, &luid)) {
        DWORD err = GetLastError();
        CloseHandle(token);
        return err;
    }

    // First pass: attributes 0, to learn the privilege's previous state.
    TOKEN_PRIVILEGES tp = {};
    tp.PrivilegeCount = 1;
    tp.Privileges[0].Luid = luid;
    tp.Privileges[0].Attributes = 0;
    TOKEN_PRIVILEGES previous = {};
    DWORD previousSize = sizeof(previous);
    AdjustTokenPrivileges(token, FALSE, &tp, sizeof(tp), &previous, &previousSize);
    DWORD err = GetLastError();
    if (err != ERROR_SUCCESS) {
        CloseHandle(token);
        return err;
    }

    // Second pass: the previous state with the enabled bit set or cleared.
    previous.PrivilegeCount = 1;
    previous.Privileges[0].Luid = luid;
    if (enable)
        previous.Privileges[0].Attributes |= SE_PRIVILEGE_ENABLED;
    else
        previous.Privileges[0].Attributes &= ~SE_PRIVILEGE_ENABLED;
    AdjustTokenPrivileges(token, FALSE, &previous, previousSize, nullptr, nullptr);
    err = GetLastError();
    CloseHandle(token);
    return err;
}
