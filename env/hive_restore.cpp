// Bringing a saved hive file back into a key.
#include "env/hive_restore.h"

#include <shlwapi.h>

#ifdef __WINE__
// Deletes every sub-key and value of key, leaving it empty.
static void EmptyKey(HKEY key)
{
    WCHAR name[256];
    for (;;) {
        DWORD length = ARRAYSIZE(name);
        if (RegEnumKeyExW(key, 0, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS ||
            SHDeleteKeyW(key, name) != ERROR_SUCCESS)
            break;
    }
    for (DWORD index = 0;;) {
        WCHAR value[16384];
        DWORD length = ARRAYSIZE(value);
        if (RegEnumValueW(key, index, value, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        if (RegDeleteValueW(key, value) != ERROR_SUCCESS)
            ++index;
    }
}
#endif

LONG RestoreKeyFromHive(HKEY key, const WCHAR *file)
{
#ifdef __WINE__
    // Wine's RegRestoreKeyW reports success and changes nothing. Its
    // RegLoadKeyW reads the files its RegSaveKeyW writes: load the hive
    // beside the users' hives, copy it over the emptied key, unload it.
    static LONG serial;
    WCHAR mount[64];
    wsprintfW(mount, L"VeilguardRestore-%lu-%ld", GetCurrentProcessId(), InterlockedIncrement(&serial));
    LONG rc = RegLoadKeyW(HKEY_USERS, mount, file);
    if (rc != ERROR_SUCCESS)
        return rc;
    HKEY loaded;
    rc = RegOpenKeyExW(HKEY_USERS, mount, 0, KEY_READ, &loaded);
    if (rc == ERROR_SUCCESS) {
        EmptyKey(key);
        rc = SHCopyKeyW(loaded, nullptr, key, 0);
        RegCloseKey(loaded);
    }
    RegUnLoadKeyW(HKEY_USERS, mount);
    return rc;
#else
    return RegRestoreKeyW(key, file, REG_FORCE_RESTORE);
#endif
}
