// The trace database against Wine: unpacking the shipped archive and bad
// ones, loading the tables with the code-page conversions, the presence
// tests and the folder lookup against a real registry and file system, and
// the switch database on a drive.
#include "gtest_wine.h"

#include "env/archive_password.h"
#include "env/registry_view.h"
#include "env/trace_db.h"
#include "env/trace_startup.h"
#include "redirect/redirect_rules.h"
#include "trace_test_support.h"

#include <zip.h>

namespace {

const AppEntry *AppById(INT32 id)
{
    for (INT32 i = 0; i < g_appCount; ++i)
        if (g_apps[i]->id == id)
            return g_apps[i];
    return nullptr;
}

// Loads a database made from SQL through the program's own open and loaders.
bool LoadFromSql(const ScratchDir &dir, const char *sql, WCHAR *dbPath)
{
    dir.File(L"test.db", dbPath);
    if (MakeDatabase(dbPath, sql) != SQLITE_OK)
        return false;
    return OpenTraceDatabase(dbPath) == 1;
}

const char kSchema[] =
    "create table apps (id integer primary key, name text, describe text, DetectKey text,"
    " ShellName text, exename text, profile text);"
    "create table profiles (appid integer, items text, filePath text, section text);"
    "create table appregs (key text, subkey text, item text, aid integer);"
    "create table apppaths (aid integer, path text, name text, isRecurse integer, isCopy integer);";

} // namespace

TEST(TraceUnpack, ShippedArchiveLoadsWholeAndLeavesNothing)
{
    WCHAR archive[MAX_PATH];
    BuildBinFile(L"mani.sys", archive);
    ASSERT_TRUE(FileExists(archive)) << "build the vg_trace_data target first";

    WCHAR temp[MAX_PATH] = {0};
    ASSERT_EQ(UnpackTraceDatabaseFrom(archive, temp), 1);
    WCHAR tempFolder[MAX_PATH];
    GetTempPathW(MAX_PATH, tempFolder);
    EXPECT_EQ(StrCmpNIW(temp, tempFolder, lstrlenW(tempFolder)), 0);
    EXPECT_NE(StrStrIW(temp, L"LwH"), nullptr);
    char head[17] = {0};
    ASSERT_TRUE(ReadText(temp, head, sizeof head));
    EXPECT_STREQ(head, "SQLite format 3");
    DWORD attributes = GetFileAttributesW(temp);
    if (attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) {  // where the file system keeps them
        EXPECT_EQ(attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM),
                  static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
    }

    ASSERT_EQ(OpenTraceDatabase(temp), 1);
    // Nothing may write to the unpacked database.
    EXPECT_EQ(sqlite3_db_readonly(g_traceDb, "main"), 1);
    EXPECT_NE(sqlite3_exec(g_traceDb, "create table vg_probe(x)", nullptr, nullptr, nullptr), SQLITE_OK);
    ASSERT_EQ(LoadApplications(), 1);
    ASSERT_EQ(LoadRedirectRules(), 1);
    ExpandRedirectRules();
    ASSERT_EQ(LoadRegistryItems(), 1);
    ASSERT_EQ(LoadProfiles(), 1);
    CloseTraceDatabase(temp);
    EXPECT_EQ(g_traceDb, nullptr);
    EXPECT_FALSE(FileExists(temp));

    EXPECT_GE(g_appCount, 100);
    EXPECT_GT(g_regItemCount, 120);
    EXPECT_GE(g_profileCount, 1);
    EXPECT_GT(g_ruleCount, 150);
    bool recycleBin = false;
    for (INT32 i = 0; i < g_appCount; ++i) {
        ASSERT_NE(g_apps[i]->name, nullptr);
        ASSERT_NE(g_apps[i]->describe, nullptr);
        if (lstrcmpW(g_apps[i]->name, L"\x56DE\x6536\x7AD9") == 0)  // the recycle bin
            recycleBin = true;
        if (i > 0) {
            EXPECT_LT(g_apps[i - 1]->id, g_apps[i]->id);
        }
    }
    EXPECT_TRUE(recycleBin);
    // The shell's recent documents resolve to the Recent folder, and so do
    // all rules of that application.
    const AppEntry *recent = AppById(21);
    ASSERT_NE(recent, nullptr);
    WCHAR recentFolder[MAX_PATH];
    ASSERT_TRUE(SHGetSpecialFolderPathW(nullptr, recentFolder, CSIDL_RECENT, TRUE));
    ASSERT_NE(recent->resolvedFolder, nullptr);
    EXPECT_WSTREQ(recent->resolvedFolder, recentFolder);
    int withDevice = 0;
    for (INT32 i = 0; i < g_ruleCount; ++i) {
        if (g_rules[i]->devicePath)
            ++withDevice;
        if (g_rules[i]->aid == 21) {
            EXPECT_EQ(StrCmpNIW(g_rules[i]->path, recentFolder, lstrlenW(recentFolder)), 0);
        }
    }
    EXPECT_GT(withDevice, g_ruleCount / 2);

    ReleaseTraceTables();
    FreeApplications();
    EXPECT_EQ(g_ruleCount, 0);
    EXPECT_EQ(g_regItemCount, 0);
    EXPECT_EQ(g_profileCount, 0);
}

TEST(TraceUnpack, BadArchivesFailAndLeaveNoTemporaryFile)
{
    ScratchDir dir(L"unpack");
    WCHAR shipped[MAX_PATH];
    BuildBinFile(L"mani.sys", shipped);
    char *unixShipped = wine_get_unix_file_name(shipped);
    ASSERT_NE(unixShipped, nullptr);
    FILE *f = fopen(unixShipped, "rb");
    HeapFree(GetProcessHeap(), 0, unixShipped);
    ASSERT_NE(f, nullptr);
    static char bytes[1 << 20];
    size_t size = fread(bytes, 1, sizeof bytes, f);
    fclose(f);
    ASSERT_GT(size, 100u);

    WCHAR truncated[MAX_PATH], garbage[MAX_PATH], wrongPassword[MAX_PATH], missing[MAX_PATH];
    dir.File(L"truncated.sys", truncated);
    dir.File(L"garbage.sys", garbage);
    dir.File(L"wrong.sys", wrongPassword);
    dir.File(L"missing.sys", missing);
    {
        HANDLE h = CreateFileW(truncated, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD put;
        WriteFile(h, bytes, static_cast<DWORD>(size / 2), &put, nullptr);
        CloseHandle(h);
    }
    ASSERT_TRUE(WriteText(garbage, "this is not a zip archive at all"));
    {
        // The shipped database under another password.
        zip_error_t error;
        zip_error_init(&error);
        zip_source_t *src = zip_source_buffer_create(bytes, size, 0, &error);
        zip_t *za = zip_open_from_source(src, ZIP_RDONLY, &error);
        ASSERT_NE(za, nullptr);
        char *unixWrong = wine_get_unix_file_name(wrongPassword);
        int err = 0;
        zip_t *out = zip_open(unixWrong, ZIP_CREATE | ZIP_TRUNCATE, &err);
        HeapFree(GetProcessHeap(), 0, unixWrong);
        ASSERT_NE(out, nullptr);
        static char db[4 << 20];
        zip_file_t *zf = zip_fopen_index(za, 0, 0);
        // Without the password the entry cannot be read; write a database of
        // our own instead, in an archive with a different password.
        if (zf)
            zip_fclose(zf);
        WCHAR plain[MAX_PATH];
        dir.File(L"plain.db", plain);
        ASSERT_EQ(MakeDatabase(plain, kSchema), SQLITE_OK);
        char *unixPlain = wine_get_unix_file_name(plain);
        FILE *pf = fopen(unixPlain, "rb");
        HeapFree(GetProcessHeap(), 0, unixPlain);
        size_t dbSize = fread(db, 1, sizeof db, pf);
        fclose(pf);
        zip_source_t *dbsrc = zip_source_buffer(out, db, dbSize, 0);
        zip_int64_t idx = zip_file_add(out, "mani.db", dbsrc, 0);
        ASSERT_GE(idx, 0);
        zip_file_set_encryption(out, static_cast<zip_uint64_t>(idx), ZIP_EM_TRAD_PKWARE, "another-passw");
        ASSERT_EQ(zip_close(out), 0);
        zip_discard(za);
    }

    const WCHAR *archives[] = {truncated, garbage, wrongPassword, missing, dir.path};
    for (const WCHAR *archive : archives) {
        WCHAR temp[MAX_PATH] = {0};
        EXPECT_EQ(UnpackTraceDatabaseFrom(archive, temp), 0);
        if (temp[0]) {
            EXPECT_FALSE(FileExists(temp));
        }
    }
}

TEST(TraceStartup, MissingArchiveQuitsSilentlyWithNothingLoaded)
{
    // No mani.sys beside the test program.
    WCHAR here[MAX_PATH], archive[MAX_PATH];
    TestProgramFolder(here);
    wsprintfW(archive, L"%s\\mani.sys", here);
    ASSERT_FALSE(FileExists(archive));
    EXPECT_EQ(LoadTraceDatabaseAtStartup(), TRACE_STARTUP_QUIT_SILENTLY);
    EXPECT_EQ(g_appCount, 0);
    EXPECT_EQ(g_traceDb, nullptr);
}

TEST(TraceLoad, ConversionsRootsAndNulls)
{
    ScratchDir dir(L"load");
    WCHAR db[MAX_PATH];
    // name is UTF-8 Chinese; DetectKey holds the ANSI byte 0xE9.
    const char *sql =
        "create table apps (id integer primary key, name text, describe text, DetectKey text,"
        " ShellName text, exename text, profile text);"
        "insert into apps values (5, '\xE5\x9B\x9E\xE6\x94\xB6\xE7\xAB\x99', 'd', "
        "  cast(X'433A5CE92E657865' as text), NULL, 'a.exe', NULL);"
        "insert into apps values (2, 'b', 'e', NULL, 'Desktop', NULL, '%APPDATA%\\x.ini');"
        "create table appregs (key text, subkey text, item text, aid integer);"
        "insert into appregs values ('hkey_local_machine', 'Software\\A', 'V', 5);"
        "insert into appregs values ('HKEY_USERS', 'S', NULL, NULL);"
        "insert into appregs values ('bogus', 'T', NULL, 2);"
        "create table profiles (appid integer, items text, filePath text, section text);"
        "insert into profiles values (2, 'path', 'C:\\x\\', 'left');";
    ASSERT_TRUE(LoadFromSql(dir, sql, db));
    ASSERT_EQ(LoadApplications(), 1);
    ASSERT_EQ(LoadRegistryItems(), 1);
    ASSERT_EQ(LoadProfiles(), 1);
    CloseTraceDatabase(nullptr);

    ASSERT_EQ(g_appCount, 2);
    EXPECT_EQ(g_apps[0]->id, 2);  // order by id
    EXPECT_WSTREQ(g_apps[1]->name, L"\x56DE\x6536\x7AD9");
    WCHAR expected[16];
    MultiByteToWideChar(CP_ACP, 0, "C:\\\xE9.exe", -1, expected, 16);
    EXPECT_WSTREQ(g_apps[1]->DetectKey, expected);
    EXPECT_EQ(g_apps[1]->ShellName, nullptr);
    EXPECT_EQ(g_apps[1]->resolvedFolder, nullptr);
    EXPECT_EQ(g_apps[1]->profile, nullptr);
    EXPECT_EQ(g_apps[1]->uiFlag, 0);
    // ShellName "Desktop" resolves even without a DetectKey.
    WCHAR desktop[MAX_PATH];
    SHGetSpecialFolderPathW(nullptr, desktop, CSIDL_DESKTOP, TRUE);
    ASSERT_NE(g_apps[0]->resolvedFolder, nullptr);
    EXPECT_WSTREQ(g_apps[0]->resolvedFolder, desktop);

    ASSERT_EQ(g_regItemCount, 3);
    EXPECT_EQ(g_regItems[0]->root, HKEY_LOCAL_MACHINE);
    EXPECT_WSTREQ(g_regItems[0]->item, L"V");
    EXPECT_EQ(g_regItems[1]->root, HKEY_USERS);
    EXPECT_EQ(g_regItems[1]->item, nullptr);
    EXPECT_EQ(g_regItems[1]->aid, 0);
    EXPECT_EQ(g_regItems[2]->root, HKEY_CURRENT_USER);
    ASSERT_EQ(g_profileCount, 1);
    EXPECT_WSTREQ(g_profiles[0]->section, L"left");
    EXPECT_WSTREQ(g_profiles[0]->items, L"path");
    EXPECT_WSTREQ(g_profiles[0]->filePath, L"C:\\x\\");
    EXPECT_EQ(g_profiles[0]->appid, 2);
    FreeApplications();
    FreeRegistryItems();
    FreeProfiles();
}

TEST(TraceLoad, MissingTableIsAnSqlError)
{
    ScratchDir dir(L"sqlerr");
    WCHAR db[MAX_PATH];
    ASSERT_TRUE(LoadFromSql(dir, "create table apps (id integer, name text, describe text, DetectKey text,"
                                 " ShellName text, exename text, profile text);", db));
    EXPECT_EQ(LoadApplications(), 1);
    EXPECT_EQ(LoadRegistryItems(), 0);
    EXPECT_EQ(LoadProfiles(), 0);
    EXPECT_EQ(LoadRedirectRules(), 0);
    EXPECT_EQ(g_regItemCount, 0);
    CloseTraceDatabase(nullptr);
    // A file that is not there does not open.
    WCHAR none[MAX_PATH];
    dir.File(L"none.db", none);
    EXPECT_EQ(OpenTraceDatabase(none), 0);
    EXPECT_EQ(g_traceDb, nullptr);
    FreeApplications();
}

TEST(AppPresence, RegistryAndFileDetectKeys)
{
    HKEY key;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\VgTestPresence\\Present", 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr), ERROR_SUCCESS);
    RegCloseKey(key);
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"Software\\VgTestPresence\\Machine", 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr), ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_TRUE(IsAppPresent(L"HKCU\\Software\\VgTestPresence\\Present"));
    EXPECT_TRUE(IsAppPresent(L"HKLM\\Software\\VgTestPresence\\Machine"));
    EXPECT_FALSE(IsAppPresent(L"HKCU\\Software\\VgTestPresence\\Absent"));
    EXPECT_FALSE(IsAppPresent(L"HKLM\\Software\\VgTestPresence\\Present"));
    EXPECT_FALSE(IsAppPresent(L"hkcu\\Software\\VgTestPresence\\Present"));  // a file path then
    EXPECT_FALSE(IsAppPresent(L""));
    EXPECT_FALSE(IsAppPresent(nullptr));

    ScratchDir dir(L"detect");
    WCHAR exe[MAX_PATH];
    dir.File(L"app.exe", exe);
    ASSERT_TRUE(WriteText(exe, "MZ"));
    SetEnvironmentVariableW(L"VGTEST_DIR", dir.path);
    EXPECT_TRUE(IsAppPresent(L"%VGTEST_DIR%\\app.exe"));
    EXPECT_TRUE(IsAppPresent(L"%VGTEST_DIR%"));
    EXPECT_FALSE(IsAppPresent(L"%VGTEST_DIR%\\other.exe"));
    EXPECT_FALSE(IsAppPresent(L"%VGTEST_NO_SUCH_VAR%\\app.exe"));

    // By id: the first application with that id and a DetectKey.
    WCHAR db[MAX_PATH];
    char sql[1024];
    wsprintfA(sql, "%s insert into apps values (1,'a','a','HKCU\\Software\\VgTestPresence\\Present',NULL,NULL,NULL);"
                   "insert into apps values (2,'b','b',NULL,NULL,NULL,NULL);"
                   "insert into apps values (3,'c','c','HKCU\\Software\\VgTestPresence\\Absent',NULL,NULL,NULL);",
              kSchema);
    ASSERT_TRUE(LoadFromSql(dir, sql, db));
    ASSERT_EQ(LoadApplications(), 1);
    CloseTraceDatabase(nullptr);
    EXPECT_TRUE(IsAppIdPresent(1));
    EXPECT_FALSE(IsAppIdPresent(2));
    EXPECT_FALSE(IsAppIdPresent(3));
    EXPECT_FALSE(IsAppIdPresent(4));
    FreeApplications();
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\VgTestPresence");
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"Software\\VgTestPresence");
}

TEST(AppPresence, KeysOfTheOtherRegistryViewCount)
{
    // What this 64-bit build cannot see in its own view is what the 32-bit
    // program on 64-bit Windows cannot see of a 64-bit application: a key
    // and a folder value that exist only in the other view.
    REGSAM views[2];
    ASSERT_EQ(RegistryViews(views), 2);
    EXPECT_EQ(views[0], 0u);
    const REGSAM other = views[1];
    EXPECT_EQ(other, static_cast<REGSAM>(KEY_WOW64_32KEY));
    HKEY key;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"Software\\VgTestView\\App", 0, nullptr, 0,
                              KEY_ALL_ACCESS | other, nullptr, &key, nullptr), ERROR_SUCCESS);
    const WCHAR exe[] = L"C:\\Program Files\\View App\\app.exe";
    RegSetValueExW(key, L"Exe", 0, REG_SZ, reinterpret_cast<const BYTE *>(exe), sizeof exe);
    RegCloseKey(key);
    HKEY own;
    ASSERT_NE(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\VgTestView\\App", 0, KEY_QUERY_VALUE, &own),
              ERROR_SUCCESS) << "the two views are not separate here";

    EXPECT_TRUE(IsAppPresent(L"HKLM\\Software\\VgTestView\\App"));
    EXPECT_FALSE(IsAppPresent(L"HKLM\\Software\\VgTestView\\Other"));
    WCHAR out[MAX_PATH] = L"unchanged";
    ResolveAppFolder(L"HKLM\\Software\\VgTestView\\App", L"Exe", out);
    EXPECT_WSTREQ(out, L"C:\\Program Files\\View App");
    lstrcpyW(out, L"unchanged");
    ResolveAppFolder(L"HKLM\\Software\\VgTestView\\App", L"Missing", out);
    EXPECT_WSTREQ(out, L"unchanged");

    // A key in both views: the own view's value wins.
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"Software\\VgTestView\\App", 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr), ERROR_SUCCESS);
    const WCHAR ownExe[] = L"D:\\Own\\app.exe";
    RegSetValueExW(key, L"Exe", 0, REG_SZ, reinterpret_cast<const BYTE *>(ownExe), sizeof ownExe);
    RegCloseKey(key);
    ResolveAppFolder(L"HKLM\\Software\\VgTestView\\App", L"Exe", out);
    EXPECT_WSTREQ(out, L"D:\\Own");

    RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"Software\\VgTestView");
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software", 0, KEY_ALL_ACCESS | other, &key) == ERROR_SUCCESS) {
        RegDeleteTreeW(key, L"VgTestView");
        RegCloseKey(key);
    }
}

TEST(AppFolder, ShellNamesAndRegistryValues)
{
    WCHAR out[MAX_PATH], expected[MAX_PATH];
    out[0] = 0;
    ResolveAppFolder(nullptr, L"Personal", out);
    SHGetSpecialFolderPathW(nullptr, expected, CSIDL_PERSONAL, TRUE);
    EXPECT_WSTREQ(out, expected);
    out[0] = 0;
    ResolveAppFolder(nullptr, L"AppData", out);
    SHGetSpecialFolderPathW(nullptr, expected, CSIDL_APPDATA, TRUE);
    EXPECT_WSTREQ(out, expected);

    HKEY key;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\VgTestFolder\\App", 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr), ERROR_SUCCESS);
    auto set = [&](const WCHAR *name, const WCHAR *value) {
        RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE *>(value),
                       (lstrlenW(value) + 1) * sizeof(WCHAR));
    };
    set(L"Exe", L"C:\\Program Files\\App\\app.exe");
    set(L"Folder", L"C:\\Program Files\\App");
    // An existing folder whose name has a dot is the folder, not a file in
    // its parent.
    CreateDirectoryW(L"C:\\Program Files\\VgTool 2.0", nullptr);
    set(L"Dotted", L"C:\\Program Files\\VgTool 2.0");
    set(nullptr, L"D:\\Tools\\Default Tool\\tool.exe");
    set(L"Bare", L"app.exe");
    WCHAR longValue[400];
    for (int i = 0; i < 399; ++i)
        longValue[i] = L'a';
    longValue[0] = L'C';
    longValue[1] = L':';
    longValue[2] = L'\\';
    longValue[399] = 0;
    set(L"Long", longValue);
    DWORD number = 7;
    RegSetValueExW(key, L"Number", 0, REG_DWORD, reinterpret_cast<const BYTE *>(&number), sizeof number);
    RegCloseKey(key);

    const WCHAR *detect = L"HKCU\\Software\\VgTestFolder\\App";
    ResolveAppFolder(detect, L"Exe", out);
    EXPECT_WSTREQ(out, L"C:\\Program Files\\App");  // a file: its folder
    ResolveAppFolder(detect, L"Folder", out);
    EXPECT_WSTREQ(out, L"C:\\Program Files\\App");  // no dot: as it is
    ResolveAppFolder(detect, L"default", out);
    EXPECT_WSTREQ(out, L"D:\\Tools\\Default Tool");
    ResolveAppFolder(detect, L"Dotted", out);
    EXPECT_WSTREQ(out, L"C:\\Program Files\\VgTool 2.0");
    RemoveDirectoryW(L"C:\\Program Files\\VgTool 2.0");
    // Any other root name selects the current user.
    ResolveAppFolder(L"XX\\Software\\VgTestFolder\\App", L"Exe", out);
    EXPECT_WSTREQ(out, L"C:\\Program Files\\App");
    const WCHAR *names[] = {L"Bare", L"Long", L"Number", L"Missing"};
    for (const WCHAR *unchanged : names) {
        lstrcpyW(out, L"unchanged");
        ResolveAppFolder(detect, unchanged, out);
        EXPECT_WSTREQ(out, L"unchanged");
    }
    lstrcpyW(out, L"unchanged");
    ResolveAppFolder(L"HKCU\\Software\\VgTestFolder\\NoKey", L"Exe", out);
    EXPECT_WSTREQ(out, L"unchanged");
    ResolveAppFolder(nullptr, L"Exe", out);
    EXPECT_WSTREQ(out, L"unchanged");
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\VgTestFolder");
}

TEST(SwitchDatabase, TemplateCopiedOnceThenKept)
{
    ScratchDir disk(L"disk");
    TestDrive drive(L'S', disk.path);
    ASSERT_TRUE(drive.ok);
    WCHAR templates[MAX_PATH];
    BuildBinFolder(templates);

    ASSERT_EQ(OpenSwitchDatabaseFrom(L"S:", templates), SQLITE_OK);
    ASSERT_NE(g_traceDb, nullptr);
    EXPECT_TRUE(FileExists(L"S:\\fest.sys"));
    EXPECT_EQ(sqlite3_exec(g_traceDb, "insert into regvalue (keyroot,keypath,valuename) values (2147483649,'k','v');"
                                      "insert into regbackup (pubvalue,privalue) values (null,null);",
                           nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(g_traceDb);
    g_traceDb = nullptr;

    // A second switch on the same disk finds its copy and keeps it.
    ASSERT_EQ(OpenSwitchDatabaseFrom(L"S:", templates), SQLITE_OK);
    char **cells = nullptr;
    int rows = 0, cols = 0;
    ASSERT_EQ(sqlite3_get_table(g_traceDb, "select keypath from regvalue", &cells, &rows, &cols, nullptr), SQLITE_OK);
    EXPECT_EQ(rows, 1);
    sqlite3_free_table(cells);
    sqlite3_close(g_traceDb);
    g_traceDb = nullptr;

    // No drive string of the right form: nothing opens.
    EXPECT_NE(OpenSwitchDatabaseFrom(L"S", templates), SQLITE_OK);
    EXPECT_EQ(g_traceDb, nullptr);

    // Without a template there is nothing to open, and no empty database
    // without tables is left for the next switch to fail on.
    ASSERT_TRUE(DeleteFileW(L"S:\\fest.sys"));
    EXPECT_NE(OpenSwitchDatabaseFrom(L"S:", L"C:\\no-such-folder"), SQLITE_OK);
    EXPECT_EQ(g_traceDb, nullptr);
    EXPECT_FALSE(FileExists(L"S:\\fest.sys"));
}

TEST(TraceStartup, WholeStepLoadsEverythingOrReportsTheSqlError)
{
    WCHAR shipped[MAX_PATH];
    BuildBinFile(L"mani.sys", shipped);
    ASSERT_EQ(LoadTraceDatabaseFromArchive(shipped), TRACE_STARTUP_CONTINUE);
    EXPECT_EQ(g_traceDb, nullptr);
    EXPECT_GE(g_appCount, 100);
    EXPECT_GT(g_ruleCount, 0);
    EXPECT_GT(g_regItemCount, 0);
    EXPECT_GT(g_profileCount, 0);
    ReleaseTraceTables();
    FreeApplications();

    // A database without the registry item table: the loading stops with an
    // SQL error, and nothing stays loaded or open.
    ScratchDir dir(L"sqlstep");
    WCHAR db[MAX_PATH], archive[MAX_PATH];
    dir.File(L"partial.db", db);
    dir.File(L"partial.sys", archive);
    ASSERT_EQ(MakeDatabase(db, "create table apps (id integer primary key, name text, describe text,"
                               " DetectKey text, ShellName text, exename text, profile text);"
                               "insert into apps values (1,'a','a','HKCU\\Software',NULL,NULL,NULL);"
                               "create table apppaths (aid integer, path text, name text, isRecurse integer,"
                               " isCopy integer);"
                               "insert into apppaths values (1,'C:\\x\\','a',0,0);"),
              SQLITE_OK);
    char *unixDb = wine_get_unix_file_name(db);
    char *unixArchive = wine_get_unix_file_name(archive);
    ASSERT_TRUE(unixDb && unixArchive);
    int error = 0;
    zip_t *za = zip_open(unixArchive, ZIP_CREATE | ZIP_TRUNCATE, &error);
    ASSERT_NE(za, nullptr);
    zip_source_t *src = zip_source_file(za, unixDb, 0, -1);
    zip_int64_t idx = zip_file_add(za, "mani.db", src, 0);
    ASSERT_GE(idx, 0);
    char password[ARCHIVE_PASSWORD_LENGTH + 1];
    BuildArchivePassword(password);
    zip_file_set_encryption(za, static_cast<zip_uint64_t>(idx), ZIP_EM_TRAD_PKWARE, password);
    ASSERT_EQ(zip_close(za), 0);
    HeapFree(GetProcessHeap(), 0, unixDb);
    HeapFree(GetProcessHeap(), 0, unixArchive);

    EXPECT_EQ(LoadTraceDatabaseFromArchive(archive), TRACE_STARTUP_SQL_ERROR);
    EXPECT_EQ(g_traceDb, nullptr);
    EXPECT_EQ(g_appCount, 0);
    EXPECT_EQ(g_ruleCount, 0);
    EXPECT_EQ(g_regItemCount, 0);
}
