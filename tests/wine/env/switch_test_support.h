// Helpers of the environment-switch tests: registry values read and written
// as whole records, a snapshot of the prefix's values that a switch changes
// (put back after each test), and a small application database.
// Include after gtest_wine.h.
#pragma once

#include <shlwapi.h>
#include <sqlite3.h>

#include <string>
#include <vector>

#include "env/env_folders.h"
#include "env/trace_db.h"
#include "trace_test_support.h"

namespace switch_test {

// A value as the registry holds it; exists false when it is absent.
struct RegValue {
    bool exists = false;
    DWORD type = 0;
    std::string data;
    bool operator==(const RegValue &o) const { return exists == o.exists && type == o.type && data == o.data; }
};

inline RegValue ReadValue(HKEY root, const WCHAR *path, const WCHAR *name)
{
    RegValue v;
    HKEY key;
    if (RegOpenKeyExW(root, path, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return v;
    DWORD bytes = 0;
    if (RegQueryValueExW(key, name, nullptr, &v.type, nullptr, &bytes) == ERROR_SUCCESS) {
        v.data.resize(bytes);
        v.exists = RegQueryValueExW(key, name, nullptr, &v.type, reinterpret_cast<BYTE *>(&v.data[0]), &bytes) ==
                   ERROR_SUCCESS;
        v.data.resize(bytes);
    }
    RegCloseKey(key);
    return v;
}

inline void WriteValue(HKEY root, const WCHAR *path, const WCHAR *name, const RegValue &v)
{
    HKEY key;
    if (RegCreateKeyExW(root, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return;
    if (v.exists)
        RegSetValueExW(key, name, 0, v.type, reinterpret_cast<const BYTE *>(v.data.data()), DWORD(v.data.size()));
    else
        RegDeleteValueW(key, name);
    RegCloseKey(key);
}

inline RegValue Text(DWORD type, const WCHAR *text)
{
    RegValue v;
    v.exists = true;
    v.type = type;
    v.data.assign(reinterpret_cast<const char *>(text), (lstrlenW(text) + 1) * sizeof(WCHAR));
    return v;
}

// The text of a REG_SZ/REG_EXPAND_SZ record, as UTF-8 for messages.
inline std::string Utf8(const RegValue &v)
{
    if (!v.exists)
        return "(absent)";
    std::u16string wide(reinterpret_cast<const char16_t *>(v.data.data()), v.data.size() / 2);
    while (!wide.empty() && wide.back() == 0)
        wide.pop_back();
    char out[2048] = {0};
    WideCharToMultiByte(CP_UTF8, 0, reinterpret_cast<const WCHAR *>(wide.c_str()), int(wide.size()), out,
                        sizeof out - 1, nullptr, nullptr);
    return out;
}

inline std::string Utf8(const WCHAR *text)
{
    char out[2048] = {0};
    WideCharToMultiByte(CP_UTF8, 0, text, -1, out, sizeof out, nullptr, nullptr);
    return out;
}

inline const WCHAR kSystemEnv[] = L"System\\CurrentControlSet\\Control\\Session Manager\\Environment";
inline const WCHAR kShellFolders[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
inline const WCHAR kUserShellFolders[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
inline const WCHAR kWinlogon[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";

struct Slot {
    HKEY root;
    const WCHAR *path;
    const WCHAR *name;
    RegValue saved;
};

// Every value a switch may change, saved at construction and put back at
// destruction, so that the tests that run after these find the prefix as it
// was. The program's own keys (the marker, the normal-mode record) are
// removed as well.
class PrefixSnapshot {
public:
    PrefixSnapshot()
    {
        for (const WCHAR *name : {L"TEMP", L"TMP"}) {
            Keep(HKEY_LOCAL_MACHINE, kSystemEnv, name);
            Keep(HKEY_CURRENT_USER, L"Environment", name);
        }
        for (const WCHAR *name : g_shellFolderNames) {
            Keep(HKEY_CURRENT_USER, kShellFolders, name);
            Keep(HKEY_CURRENT_USER, kUserShellFolders, name);
        }
        Keep(HKEY_LOCAL_MACHINE, kWinlogon, L"AutoRestartShell");
        SHDeleteKeyW(HKEY_CURRENT_USER, L"Software\\Tessaline");
    }
    ~PrefixSnapshot()
    {
        for (const Slot &s : slots)
            WriteValue(s.root, s.path, s.name, s.saved);
        SHDeleteKeyW(HKEY_CURRENT_USER, L"Software\\Tessaline");
    }
    std::vector<Slot> slots;

private:
    void Keep(HKEY root, const WCHAR *path, const WCHAR *name)
    {
        slots.push_back({root, path, name, ReadValue(root, path, name)});
    }
};

// The application tables from SQL text, as start-up loads them.
inline bool LoadTables(const ScratchDir &dir, const char *rows)
{
    std::string sql = std::string(TraceSchemaSql()) + rows;
    WCHAR db[MAX_PATH];
    if (!OpenTraceDatabaseFromSql(dir, sql.c_str(), db))
        return false;
    bool ok = LoadApplications() && LoadRegistryItems() && LoadProfiles();
    CloseTraceDatabase(db);
    return ok;
}

inline void FreeTables(void)
{
    FreeRegistryItems();
    FreeProfiles();
    FreeApplications();
}

// One column of a regvalue row of the switch database at path; "(none)"
// when there is no row, "(null)" for NULL.
inline std::string StoredValue(const WCHAR *dbPath, const char *column, const char *keyPath, const char *valueName)
{
    sqlite3 *db = nullptr;
    std::string out = "(none)";
    if (OpenSqliteAtPath(dbPath, SQLITE_OPEN_READONLY, &db) == SQLITE_OK) {
        std::string sql = std::string("select ") + column + " from regvalue where keypath = ? and valuename = ?";
        sqlite3_stmt *st = nullptr;
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) == SQLITE_OK) {
            sqlite3_bind_text(st, 1, keyPath, -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(st, 2, valueName, -1, SQLITE_TRANSIENT);
            if (sqlite3_step(st) == SQLITE_ROW)
                out = sqlite3_column_type(st, 0) == SQLITE_NULL
                          ? "(null)"
                          : std::string(static_cast<const char *>(sqlite3_column_blob(st, 0)),
                                        size_t(sqlite3_column_bytes(st, 0)));
        }
        sqlite3_finalize(st);
    }
    if (db)
        sqlite3_close(db);
    return out;
}

// How many sub-keys and values a key holds; -1 when it cannot be opened.
inline int KeyEntries(HKEY root, const WCHAR *path)
{
    HKEY key;
    if (RegOpenKeyExW(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return -1;
    DWORD subkeys = 0, values = 0;
    RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr, nullptr, nullptr,
                     nullptr);
    RegCloseKey(key);
    return int(subkeys + values);
}

}  // namespace switch_test
