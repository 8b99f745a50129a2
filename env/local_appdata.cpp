// The machine-wide default of the local application data folder, which
// systems before Vista do not define in the environment.
#include <windows.h>

#include "env/local_appdata.h"

#include <shlobj.h>

#include "Mount/msgbox.h"
#include "env/reg_text.h"

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
    BroadcastEnvironmentChange(SMTO_ABORTIFHUNG, 5000);
    return 1;
}

BOOL IsBeforeVista(void)
{
    OSVERSIONINFOEXW vista = {};
    vista.dwOSVersionInfoSize = sizeof(vista);
    vista.dwMajorVersion = 6;
    DWORDLONG mask = 0;
    mask = VerSetConditionMask(mask, VER_MAJORVERSION, VER_GREATER_EQUAL);
    mask = VerSetConditionMask(mask, VER_MINORVERSION, VER_GREATER_EQUAL);
    mask = VerSetConditionMask(mask, VER_SERVICEPACKMAJOR, VER_GREATER_EQUAL);
    return !VerifyVersionInfoW(&vista, VER_MAJORVERSION | VER_MINORVERSION | VER_SERVICEPACKMAJOR, mask);
}

void DefineLocalAppDataVariable(BOOL beforeVista)
{
    if (!beforeVista)
        return;
    // The shell knows the folder; a text holding "%USERPROFILE%" would stay
    // unexpanded inside a rule's one expansion pass.
    WCHAR folder[MAX_PATH] = {0};
    if (!SHGetSpecialFolderPathW(nullptr, folder, CSIDL_LOCAL_APPDATA, FALSE)) {
        DWORD n = ExpandEnvironmentStringsW(L"%USERPROFILE%\\Local Settings\\Application Data", folder, MAX_PATH);
        if (n == 0 || n > MAX_PATH)
            return;
    }
    SetEnvironmentVariableW(L"LOCALAPPDATA", folder);
}
