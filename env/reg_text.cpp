#include "env/reg_text.h"

LONG ReadTextValue(HKEY key, const WCHAR *name, WCHAR *out)
{
    WCHAR text[MAX_PATH + 1];
    DWORD bytes = MAX_PATH * sizeof(WCHAR);
    LONG rc = RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<BYTE *>(text), &bytes);
    if (rc != ERROR_SUCCESS)
        return rc;
    DWORD units = bytes / sizeof(WCHAR);
    // 260 units without a terminator among them do not fit with one.
    if (units == MAX_PATH && text[MAX_PATH - 1] != 0)
        return ERROR_MORE_DATA;
    text[units] = 0;
    lstrcpynW(out, text, MAX_PATH);
    return ERROR_SUCCESS;
}

LONG WriteTextValue(HKEY key, const WCHAR *name, DWORD type, const WCHAR *text)
{
    DWORD bytes = static_cast<DWORD>((lstrlenW(text) + 1) * sizeof(WCHAR));
    return RegSetValueExW(key, name, 0, type, reinterpret_cast<const BYTE *>(text), bytes);
}

LONG ExpandOntoDrive(const WCHAR *text, WCHAR letter, WCHAR *out)
{
    DWORD n = ExpandEnvironmentStringsW(text, out, MAX_PATH);
    if (n == 0)
        return GetLastError() ? static_cast<LONG>(GetLastError()) : ERROR_INVALID_DATA;
    if (n > MAX_PATH)
        return ERROR_MORE_DATA;
    if (!out[0])
        return ERROR_INVALID_DATA;
    out[0] = letter;
    return ERROR_SUCCESS;
}

void BroadcastEnvironmentChange(UINT flags, UINT timeoutMs)
{
    DWORD_PTR reply;
    SendMessageTimeoutW(HWND_BROADCAST, WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>(L"Environment"), flags,
                        timeoutMs, &reply);
}
