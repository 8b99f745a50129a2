#include "env/mode_marker.h"

#include <stdlib.h>

static const WCHAR kMarkerKey[] = L"Software\\Tessaline\\Veilguard\\inprivate";

int ReadModeMarkerIsPrivate(void)
{
    HKEY key;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kMarkerKey, 0, nullptr, 0, 0x20007, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return 0;
    // The buffer starts at 8192 bytes and grows while the value is longer.
    int isPrivate = 0;
    for (DWORD capacity = 8192;; capacity += 4096) {
        BYTE *buffer = static_cast<BYTE *>(calloc(capacity + sizeof(WCHAR), 1));
        if (!buffer)
            break;
        DWORD bytes = capacity;
        LONG rc = RegQueryValueExW(key, nullptr, nullptr, nullptr, buffer, &bytes);
        if (rc == ERROR_SUCCESS)
            isPrivate = lstrcmpW(reinterpret_cast<WCHAR *>(buffer), L"inPrivate") == 0;
        free(buffer);
        if (rc != ERROR_MORE_DATA)
            break;
    }
    RegCloseKey(key);
    return isPrivate;
}

LONG WriteModeMarker(const WCHAR *text)
{
    HKEY key;
    LONG rc = RegCreateKeyExW(HKEY_CURRENT_USER, kMarkerKey, 0, nullptr, 0, 0x20007, nullptr, &key, nullptr);
    if (rc != ERROR_SUCCESS)
        return rc;
    rc = RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE *>(text),
                        static_cast<DWORD>((lstrlenW(text) + 1) * sizeof(WCHAR)));
    RegCloseKey(key);
    return rc;
}

DWORD ReadUnstoredSwitch(void)
{
    HKEY key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kMarkerKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return 0;
    DWORD mode = 0, bytes = sizeof(mode), type = 0;
    if (RegQueryValueExW(key, L"unstored", nullptr, &type, reinterpret_cast<BYTE *>(&mode), &bytes) !=
            ERROR_SUCCESS ||
        type != REG_DWORD || (mode != 1 && mode != 2))
        mode = 0;
    RegCloseKey(key);
    return mode;
}

LONG WriteUnstoredSwitch(DWORD mode)
{
    HKEY key;
    LONG rc = RegCreateKeyExW(HKEY_CURRENT_USER, kMarkerKey, 0, nullptr, 0, 0x20007, nullptr, &key, nullptr);
    if (rc != ERROR_SUCCESS)
        return rc;
    if (mode)
        rc = RegSetValueExW(key, L"unstored", 0, REG_DWORD, reinterpret_cast<const BYTE *>(&mode), sizeof(mode));
    else if ((rc = RegDeleteValueW(key, L"unstored")) == ERROR_FILE_NOT_FOUND)
        rc = ERROR_SUCCESS;
    RegCloseKey(key);
    return rc;
}
