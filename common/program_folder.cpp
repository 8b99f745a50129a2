#include "common/program_folder.h"

BOOL GetProgramFolder(WCHAR *folder)
{
    WCHAR module[MAX_PATH];
    DWORD n = GetModuleFileNameW(nullptr, module, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return FALSE;
    WCHAR *slash = nullptr;
    for (WCHAR *p = module; *p; ++p)
        if (*p == L'\\')
            slash = p;
    if (!slash)
        return FALSE;
    *slash = 0;
    lstrcpynW(folder, module, MAX_PATH);
    return TRUE;
}
