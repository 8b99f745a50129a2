// Explains a "device not ready" error that comes from the system's automatic
// mounting being off or from a volume without a drive letter.
#include <windows.h>

#include "Mount/app_state.h"
#include "Mount/language.h"
#include "Mount/msgbox.h"

void WarnAboutAutoMount(void)
{
    if (SilentMode)
        return;
    HKEY key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SYSTEM\\ControlSet001\\Services\\MountMgr", 0, KEY_READ, &key) !=
        ERROR_SUCCESS)
        return;
    DWORD value = 0, size = sizeof(value), type = 0;
    LONG r = RegQueryValueExW(key, L"NoAutoMount", nullptr, &type, reinterpret_cast<BYTE *>(&value), &size);
    RegCloseKey(key);
    if (r == ERROR_SUCCESS && type == REG_DWORD && value != 0)
        ShowWarning(GetString("SYS_AUTOMOUNT_DISABLED"));
    else if (WindowsVersionCode >= WIN_VISTA_OR_LATER)
        ShowWarning(GetString("SYS_ASSIGN_DRIVE_LETTER"));
}
