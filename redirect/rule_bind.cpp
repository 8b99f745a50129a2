// Binding the rule table to the virtual disk when privacy mode is entered.
#include "redirect/redirect_rules.h"

#include <shlobj.h>

WCHAR g_redirectionDrive[4];
WCHAR g_redirectionDevice[MAX_PATH];
bool (*g_endRuleReaders)(void);

void SetRedirectionDevice16(const WCHAR *device);  // match_redirect.cpp

void BindRedirectionDrive(const WCHAR *drive, const WCHAR *device)
{
    // The filter's workers read the device: a session still serving, or a
    // stopped one still draining, is ended first.
    if (g_endRuleReaders)
        g_endRuleReaders();
    ZeroMemory(g_redirectionDrive, sizeof g_redirectionDrive);
    ZeroMemory(g_redirectionDevice, sizeof g_redirectionDevice);
    bool valid = drive && ((drive[0] >= L'A' && drive[0] <= L'Z') || (drive[0] >= L'a' && drive[0] <= L'z')) &&
                 drive[1] == L':' && drive[2] == 0;
    if (valid) {
        g_redirectionDrive[0] = drive[0];
        g_redirectionDrive[1] = L':';
        if (device)
            lstrcpynW(g_redirectionDevice, device, MAX_PATH);
        else if (!QueryDosDeviceW(g_redirectionDrive, g_redirectionDevice, MAX_PATH))
            ZeroMemory(g_redirectionDevice, sizeof g_redirectionDevice);
        // Without the device name no request matches the drive: privacy
        // mode then redirects nothing, which must at least be visible.
        if (!g_redirectionDevice[0])
            OutputDebugStringW(L"Privacy mode without a redirection device: the drive's device name could not be found.");
        g_redirectionDevice[MAX_PATH - 1] = 0;
    }
    SetRedirectionDevice16(g_redirectionDevice);
}

void CopyRuleFiles(void)
{
    if (!g_redirectionDrive[0])
        return;
    for (INT32 i = 0; i < g_ruleCount; ++i) {
        const RedirectRule *r = g_rules[i];
        if (!r->isCopy || !r->name)
            continue;
        WCHAR folder[MAX_PATH];
        DWORD n = ExpandEnvironmentStringsW(r->path, folder, MAX_PATH);
        if (n == 0 || n > MAX_PATH)
            continue;
        WCHAR *slash = nullptr;
        for (WCHAR *p = folder; *p; ++p)
            if (*p == L'\\')
                slash = p;
        if (!slash)
            continue;
        *slash = 0;

        // Source "%s\%s" of the folder and the name; the destination is the
        // same path on the redirection drive.
        WCHAR source[MAX_PATH];
        if (lstrlenW(folder) + 1 + lstrlenW(r->name) >= MAX_PATH)
            continue;
        wsprintfW(source, L"%s\\%s", folder, r->name);
        if (lstrlenW(source) < 4)
            continue;
        WCHAR destination[MAX_PATH];
        if (lstrlenW(g_redirectionDrive) + 1 + lstrlenW(source + 3) >= MAX_PATH)
            continue;
        wsprintfW(destination, L"%s\\%s", g_redirectionDrive, source + 3);

        WCHAR destinationFolder[MAX_PATH];
        lstrcpyW(destinationFolder, destination);
        slash = nullptr;
        for (WCHAR *p = destinationFolder; *p; ++p)
            if (*p == L'\\')
                slash = p;
        if (slash) {
            *slash = 0;
            if (GetFileAttributesW(destinationFolder) == INVALID_FILE_ATTRIBUTES)
                SHCreateDirectoryExW(nullptr, destinationFolder, nullptr);
        }
        if (GetFileAttributesW(destination) == INVALID_FILE_ATTRIBUTES)
            CopyFileW(source, destination, TRUE);
    }
}

void SetRuleDriveLetter(WCHAR letter)
{
    for (INT32 i = 0; i < g_ruleCount; ++i) {
        RedirectRule *r = g_rules[i];
        // A rule whose folder did not expand has no drive to move.
        if (!r->devicePath || r->path[1] != L':')
            continue;
        if (!r->ownLetter)
            r->ownLetter = r->path[0];
        r->path[0] = letter;
    }
}

void RestoreRuleDriveLetters(void)
{
    for (INT32 i = 0; i < g_ruleCount; ++i)
        if (g_rules[i]->ownLetter)
            g_rules[i]->path[0] = g_rules[i]->ownLetter;
}

void PrepareRedirection(const WCHAR *drive)
{
    BindRedirectionDrive(drive, nullptr);
    CopyRuleFiles();
    if (g_redirectionDrive[0])
        SetRuleDriveLetter(g_redirectionDrive[0]);
}
