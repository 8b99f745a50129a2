// Opening the unpacked trace database and reading it into the process-wide
// tables; closing it again.
#include "env/trace_db.h"

#include "env/sqlite_win32.h"
#include "env/trace_query.h"
#include "env/trace_rows.h"
#include "env/wide_text.h"

#include <sqlite3.h>
#include <stdlib.h>

AppEntry **g_apps;
INT32 g_appCount;
ProfileEntry **g_profiles;
INT32 g_profileCount;
AppRegEntry **g_regItems;
INT32 g_regItemCount;
sqlite3 *g_traceDb;

namespace {

std::u16string Decode(UINT codePage, const char *text)
{
    std::u16string out;
    int units = MultiByteToWideChar(codePage, 0, text, -1, nullptr, 0);
    if (units <= 1)
        return out;
    WCHAR *buf = static_cast<WCHAR *>(malloc(static_cast<size_t>(units) * sizeof(WCHAR)));
    if (!buf)
        return out;
    int got = MultiByteToWideChar(codePage, 0, text, -1, buf, units);
    if (got > 1) {
        out.resize(static_cast<size_t>(got - 1));
        for (int i = 0; i < got - 1; ++i)
            out[static_cast<size_t>(i)] = static_cast<char16_t>(buf[i]);
    }
    free(buf);
    return out;
}

const ColumnDecoders kDecoders = {DecodeUtf8Column, DecodeAnsiColumn};

// A UTF-16 copy allocated to fit; false when memory runs out.
bool Dup(const std::u16string &text, WCHAR **out)
{
    *out = DupText(text);
    return *out != nullptr;
}

bool DupOptional(const std::optional<std::u16string> &text, WCHAR **out)
{
    *out = nullptr;
    return !text || Dup(*text, out);
}

} // namespace

std::u16string DecodeUtf8Column(const char *text)
{
    return Decode(CP_UTF8, text);
}

std::u16string DecodeAnsiColumn(const char *text)
{
    return Decode(CP_ACP, text);
}

bool QueryTraceTable(const char *query, char ***cells, int *rows, int *cols)
{
    *cells = nullptr;
    *rows = *cols = 0;
    if (!g_traceDb)
        return false;
    char *error = nullptr;
    int rc = sqlite3_get_table(g_traceDb, query, cells, rows, cols, &error);
    if (rc != SQLITE_OK || error) {
        if (error)
            sqlite3_free(error);
        if (*cells)
            sqlite3_free_table(*cells);
        *cells = nullptr;
        return false;
    }
    return true;
}

namespace {

void FreeApp(AppEntry *a)
{
    if (!a)
        return;
    free(a->name);
    free(a->describe);
    free(a->DetectKey);
    free(a->ShellName);
    free(a->resolvedFolder);
    free(a->exename);
    free(a->profile);
    free(a);
}

void FreeProfile(ProfileEntry *p)
{
    if (!p)
        return;
    free(p->section);
    free(p->items);
    free(p->filePath);
    free(p);
}

void FreeRegItem(AppRegEntry *r)
{
    if (!r)
        return;
    free(r->subkey);
    free(r->item);
    free(r);
}

template <class T>
T **AllocTable(size_t count)
{
    return static_cast<T **>(calloc(count ? count : 1, sizeof(T *)));
}


bool FillProfiles(const std::vector<ProfileRow> &list)
{
    g_profiles = AllocTable<ProfileEntry>(list.size());
    if (!g_profiles)
        return false;
    for (const ProfileRow &row : list) {
        ProfileEntry *p = static_cast<ProfileEntry *>(calloc(1, sizeof(ProfileEntry)));
        if (!p)
            return false;
        g_profiles[g_profileCount++] = p;
        p->appid = row.appid;
        if (!Dup(row.section, &p->section) || !Dup(row.items, &p->items) ||
            !Dup(row.filePath, &p->filePath))
            return false;
    }
    return true;
}

bool FillRegistryItems(const std::vector<RegItemRow> &list)
{
    g_regItems = AllocTable<AppRegEntry>(list.size());
    if (!g_regItems)
        return false;
    for (const RegItemRow &row : list) {
        AppRegEntry *r = static_cast<AppRegEntry *>(calloc(1, sizeof(AppRegEntry)));
        if (!r)
            return false;
        g_regItems[g_regItemCount++] = r;
        r->root = RegRootKey(row.root);
        r->aid = row.aid;
        if (!Dup(row.subkey, &r->subkey) || !DupOptional(row.item, &r->item))
            return false;
    }
    return true;
}

bool FillApplications(const std::vector<AppRow> &list);

} // namespace

int OpenTraceDatabase(const WCHAR *tempPath)
{
    if (!tempPath || GetFileAttributesW(tempPath) == INVALID_FILE_ATTRIBUTES)
        return 0;
    sqlite3 *db = nullptr;
    // Nothing is ever written to it: read-only, and the schema that came with
    // a downloaded file is not trusted to run functions.
    int rc = OpenSqliteAtPath(tempPath, SQLITE_OPEN_READONLY, &db);
    if (rc != SQLITE_OK) {
        OutputDebugStringW(L"Can't open database.");
        if (db)
            sqlite3_close(db);
        return 0;
    }
    sqlite3_exec(db, "PRAGMA trusted_schema=OFF", nullptr, nullptr, nullptr);
    g_traceDb = db;
    return 1;
}

void CloseTraceDatabase(const WCHAR *tempPath)
{
    if (g_traceDb) {
        sqlite3_close(g_traceDb);
        g_traceDb = nullptr;
    }
    if (tempPath && tempPath[0]) {
        SetFileAttributesW(tempPath, FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(tempPath);
    }
}

int LoadApplications(void)
{
    char **cells;
    int rows, cols;
    if (!QueryTraceTable(kAppsQuery, &cells, &rows, &cols))
        return 0;
    std::vector<AppRow> list;
    bool shaped = ConvertAppRows(cells, rows, cols, kDecoders, list);
    sqlite3_free_table(cells);
    if (!shaped)
        return 0;

    FreeApplications();
    if (!FillApplications(list)) {
        FreeApplications();
        return 0;
    }
    return 1;
}

namespace {

bool FillApplications(const std::vector<AppRow> &list)
{
    g_apps = AllocTable<AppEntry>(list.size());
    if (!g_apps)
        return false;
    for (const AppRow &row : list) {
        AppEntry *a = static_cast<AppEntry *>(calloc(1, sizeof(AppEntry)));
        if (!a)
            return false;
        g_apps[g_appCount++] = a;
        a->id = row.id;
        if (!Dup(row.name, &a->name) || !Dup(row.describe, &a->describe) ||
            !DupOptional(row.detectKey, &a->DetectKey) ||
            !DupOptional(row.shellName, &a->ShellName) || !DupOptional(row.exename, &a->exename) ||
            !DupOptional(row.profile, &a->profile))
            return false;
        if (a->ShellName) {
            WCHAR folder[MAX_PATH] = {0};
            ResolveAppFolder(a->DetectKey, a->ShellName, folder);
            if (folder[0] && !Dup(ToU16(folder), &a->resolvedFolder))
                return false;
        }
    }
    return true;
}

} // namespace

int LoadProfiles(void)
{
    char **cells;
    int rows, cols;
    if (!QueryTraceTable(kProfilesQuery, &cells, &rows, &cols))
        return 0;
    std::vector<ProfileRow> list;
    bool shaped = ConvertProfileRows(cells, rows, cols, kDecoders, list);
    sqlite3_free_table(cells);
    if (!shaped)
        return 0;

    FreeProfiles();
    if (!FillProfiles(list)) {
        FreeProfiles();
        return 0;
    }
    return 1;
}

int LoadRegistryItems(void)
{
    char **cells;
    int rows, cols;
    if (!QueryTraceTable(kRegItemsQuery, &cells, &rows, &cols))
        return 0;
    std::vector<RegItemRow> list;
    bool shaped = ConvertRegItemRows(cells, rows, cols, kDecoders, list);
    sqlite3_free_table(cells);
    if (!shaped)
        return 0;

    FreeRegistryItems();
    if (!FillRegistryItems(list)) {
        FreeRegistryItems();
        return 0;
    }
    return 1;
}

void FreeApplications(void)
{
    for (INT32 i = 0; i < g_appCount; ++i)
        FreeApp(g_apps[i]);
    free(g_apps);
    g_apps = nullptr;
    g_appCount = 0;
}

void FreeProfiles(void)
{
    for (INT32 i = 0; i < g_profileCount; ++i)
        FreeProfile(g_profiles[i]);
    free(g_profiles);
    g_profiles = nullptr;
    g_profileCount = 0;
}

void FreeRegistryItems(void)
{
    for (INT32 i = 0; i < g_regItemCount; ++i)
        FreeRegItem(g_regItems[i]);
    free(g_regItems);
    g_regItems = nullptr;
    g_regItemCount = 0;
}
