#include "env/registry_view.h"

int RegistryViews(REGSAM views[2])
{
    views[0] = 0;
#ifdef _WIN64
    views[1] = KEY_WOW64_32KEY;
    return 2;
#else
    views[1] = KEY_WOW64_64KEY;
    return 2;
#endif
}

LONG OpenKeyInAnyView(HKEY root, const WCHAR *path, REGSAM access, HKEY *key)
{
    REGSAM views[2];
    int count = RegistryViews(views);
    LONG rc = ERROR_FILE_NOT_FOUND;
    for (int i = 0; i < count; ++i) {
        rc = RegOpenKeyExW(root, path, 0, access | views[i], key);
        if (rc == ERROR_SUCCESS)
            return rc;
    }
    return rc;
}
