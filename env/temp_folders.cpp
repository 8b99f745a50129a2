// TEMP and TMP of the machine and of the user, moved onto the virtual disk
// and back. The values they replace are kept in the normal-mode record, and
// that record is what the move starts from and what the way back writes.
#include "env/env_folders.h"

#include "Mount/msgbox.h"
#include "env/normal_record.h"
#include "env/reg_text.h"

static const WCHAR kSystemEnvironment[] = L"System\\CurrentControlSet\\Control\\Session Manager\\Environment";
static const WCHAR kUserEnvironment[] = L"Environment";

static LONG OpenEnvironment(HKEY root, const WCHAR *path, REGSAM access, HKEY *key)
{
    return RegCreateKeyExW(root, path, 0, nullptr, 0, access, nullptr, key, nullptr);
}

static void RecordTemp(HKEY root, const WCHAR *path)
{
    HKEY key;
    if (RegOpenKeyExW(root, path, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return;
    RecordValue(key, root, path, L"TEMP");
    RecordValue(key, root, path, L"TMP");
    RegCloseKey(key);
}

void RecordTempFolders(void)
{
    RecordTemp(HKEY_LOCAL_MACHINE, kSystemEnvironment);
    RecordTemp(HKEY_CURRENT_USER, kUserEnvironment);
}

// Records TEMP and TMP (once), then writes the recorded TEMP's expanded path
// with the letter as both values. ERROR_SUCCESS or the first error.
static LONG RedirectTempValues(HKEY key, HKEY root, const WCHAR *path, WCHAR letter)
{
    LONG rc = RecordValue(key, root, path, L"TEMP");
    if (rc == ERROR_SUCCESS)
        rc = RecordValue(key, root, path, L"TMP");
    WCHAR temp[MAX_PATH], target[MAX_PATH];
    DWORD type = 0;
    if (rc == ERROR_SUCCESS)
        rc = RecordedText(root, path, L"TEMP", temp, &type);
    if (rc == ERROR_SUCCESS)
        rc = ExpandOntoDrive(temp, letter, target);
    if (rc == ERROR_SUCCESS)
        rc = WriteTextValue(key, L"TEMP", REG_EXPAND_SZ, target);
    if (rc == ERROR_SUCCESS)
        rc = WriteTextValue(key, L"TMP", REG_EXPAND_SZ, target);
    return rc;
}

static int RedirectTemp(HKEY root, const WCHAR *path, WCHAR letter)
{
    HKEY key;
    LONG rc = OpenEnvironment(root, path, 0x20007, &key);
    if (rc != ERROR_SUCCESS) {
        ShowRegistryError(rc);
        return 0;
    }
    rc = RedirectTempValues(key, root, path, letter);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS) {
        ShowRegistryError(rc);
        return 0;
    }
    BroadcastEnvironmentChange(SMTO_ABORTIFHUNG, 5000);
    return 1;
}

int RedirectSystemTemp(WCHAR letter) { return RedirectTemp(HKEY_LOCAL_MACHINE, kSystemEnvironment, letter); }

int RedirectUserTemp(WCHAR letter) { return RedirectTemp(HKEY_CURRENT_USER, kUserEnvironment, letter); }

// Writes back what the record holds of both values; every failure is shown,
// keeps its value in the record and the next step is tried.
static int RestoreTemp(HKEY root, const WCHAR *path)
{
    HKEY key;
    LONG rc = OpenEnvironment(root, path, 0x20007, &key);
    int restored = 0;
    if (rc != ERROR_SUCCESS) {
        ShowRegistryError(rc);
    } else {
        restored = 1;
        static const WCHAR *const kNames[] = {L"TEMP", L"TMP"};
        for (const WCHAR *name : kNames)
            if ((rc = RestoreRecordedValue(key, root, path, name)) != ERROR_SUCCESS) {
                ShowRegistryError(rc);
                restored = 0;
            }
        RegCloseKey(key);
    }
    BroadcastEnvironmentChange(SMTO_ABORTIFHUNG, 5000);
    return restored;
}

int RestoreSystemTemp(void) { return RestoreTemp(HKEY_LOCAL_MACHINE, kSystemEnvironment); }

int RestoreUserTemp(void) { return RestoreTemp(HKEY_CURRENT_USER, kUserEnvironment); }
