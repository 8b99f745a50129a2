// The machine-wide default of the local application data folder, which
// systems before Vista do not define in the environment.
#include <windows.h>

#include "env/local_appdata.h"
#include "Mount/msgbox.h"

int SetLocalAppDataDefault(void)
{
    HKEY key;
    LONG r = RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"System\\CurrentControlSet\\Control\\Session Manager\\Environment", 0,
                           0x20007, &key);
    if (r != ERROR_SUCCESS) {
        ShowRegistryError(r);
        return 0;
    }
    static const WCHAR value[] = L"%USERPROFILE%\\Local Settings\\Application Data";
    r = RegSetValueExW(key, L"LocalAppData", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE *>(value), sizeof(value));
    RegCloseKey(key);
    if (r != ERROR_SUCCESS) {
        ShowRegistryError(r);
        return 0;
    }
    DWORD_PTR result;
    SendMessageTimeoutW(HWND_BROADCAST, WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>(L"Environment"),
                        SMTO_ABORTIFHUNG, 5000, &result);
    return 1;
}
