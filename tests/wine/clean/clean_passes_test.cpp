// The cleaning passes on a tree and registry items made here: what a scan
// counts per application is what was made, and a cleaning removes exactly
// that (and never a refused folder, an absent application's files or what a
// rule does not name).
#include "clean_support.h"

#include "env/trace_db.h"

#include <shellapi.h>
#include <shlobj.h>
#include <limits.h>
#include <stdlib.h>
#include <unistd.h>

#include "clean/handle_closer.h"
#include "../mount/process_support.h"

using namespace clean_test;

namespace {

const UINT64 kFiveGb = 5ull << 30;
const WCHAR kKey[] = L"Software\\VgCleanTest";

class CleanPasses : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetEnvironmentVariableW(L"VGCLEAN", root.path);
        SHDeleteKeyW(HKEY_CURRENT_USER, kKey);
    }
    void TearDown() override
    {
        FreeCleanTables();
        SHDeleteKeyW(HKEY_CURRENT_USER, kKey);
    }
    void Path(const WCHAR *rest, WCHAR *out) { root.File(rest, out); }
    bool Make(const WCHAR *rest, UINT64 size)
    {
        WCHAR p[1024];
        Path(rest, p);
        return MakeFile(p, size);
    }
    bool Exists(const WCHAR *rest)
    {
        WCHAR p[1024];
        Path(rest, p);
        return FileExists(p);
    }
    ScratchDir root{L"clean"};
};

TEST_F(CleanPasses, ScanCountsWhatWasMadeAndCleanRemovesExactlyThat)
{
    // Application 1: a flat rule for *.log, a recursive rule with a sparse
    // 5 GB file, an empty file and a path longer than MAX_PATH.
    for (const WCHAR *f : {L"flat", L"flat\\sub", L"deep", L"deep\\s1", L"deep\\s1\\s2", L"Profiles",
                           L"Profiles\\p1.default", L"Profiles\\p2", L"absent"}) {
        WCHAR p[MAX_PATH];
        Path(f, p);
        ASSERT_TRUE(MakeFolders(p));
    }
    ASSERT_TRUE(Make(L"flat\\a.log", 100));
    ASSERT_TRUE(Make(L"flat\\b.LOG", 200));
    ASSERT_TRUE(Make(L"flat\\c.txt", 300));
    ASSERT_TRUE(Make(L"flat\\sub\\d.log", 400));
    ASSERT_TRUE(Make(L"deep\\x.bin", kFiveGb));
    ASSERT_TRUE(Make(L"deep\\s1\\y", 10));
    ASSERT_TRUE(Make(L"deep\\s1\\s2\\z", 0));
    WCHAR longFolder[1024], longFile[1024];
    std::basic_string<char16_t> a(120, u'a'), b(120, u'b');
    wsprintfW(longFolder, L"\\\\?\\%s\\deep\\%s\\%s", root.path, reinterpret_cast<const WCHAR *>(a.c_str()),
              reinterpret_cast<const WCHAR *>(b.c_str()));
    ASSERT_TRUE(MakeFolders(longFolder));
    wsprintfW(longFile, L"%s\\long-file.txt", longFolder);
    ASSERT_GT(lstrlenW(longFile) - 4, 261);
    ASSERT_TRUE(MakeFile(longFile, 7));
    // Application 2: wildcard profile folders with a ";" name list, and rules
    // that must be refused: the profile itself, the Windows folder, a root.
    ASSERT_TRUE(Make(L"Profiles\\p1.default\\places.sqlite", 30));
    ASSERT_TRUE(Make(L"Profiles\\p1.default\\cookies.sqlite", 40));
    ASSERT_TRUE(Make(L"Profiles\\p2\\places.sqlite-wal", 50));
    ASSERT_TRUE(Make(L"Profiles\\p2\\other.txt", 60));
    WCHAR profile[MAX_PATH], guard[MAX_PATH];
    ASSERT_TRUE(SHGetSpecialFolderPathW(nullptr, profile, CSIDL_PROFILE, FALSE));
    wsprintfW(guard, L"%s\\vg-guard-%lu.tmp", profile, GetCurrentProcessId());
    ASSERT_TRUE(MakeFile(guard, 5));
    // Application 3 is not installed: its files are neither counted nor
    // removed.
    ASSERT_TRUE(Make(L"absent\\keep.txt", 70));
    // Application 4: a whole key with a sub-key, and one value of another.
    ASSERT_TRUE(SetValue(L"Software\\VgCleanTest\\Key", L"v1", REG_SZ, L"abc", 8));
    DWORD dword = 7;
    ASSERT_TRUE(SetValue(L"Software\\VgCleanTest\\Key", L"v2", REG_DWORD, &dword, 4));
    ASSERT_TRUE(SetValue(L"Software\\VgCleanTest\\Key\\Sub", L"v3", REG_BINARY, "0123456789", 10));
    ASSERT_TRUE(SetValue(L"Software\\VgCleanTest\\Single", L"one", REG_SZ, L"12", 6));
    ASSERT_TRUE(SetValue(L"Software\\VgCleanTest\\Single", L"two", REG_SZ, L"34", 6));

    ASSERT_TRUE(LoadCleanTables(root,
        "insert into apps values (1,'Alpha','a','%VGCLEAN%',NULL,NULL,NULL);"
        "insert into apps values (2,'Beta','b','%VGCLEAN%\\Profiles',NULL,NULL,NULL);"
        "insert into apps values (3,'Gone','c','%VGCLEAN%\\not-installed',NULL,NULL,NULL);"
        "insert into apps values (4,'Delta','d','HKCU\\Software\\VgCleanTest',NULL,NULL,NULL);"
        "insert into apppaths values (1,'%VGCLEAN%\\flat\\','*.log',0,0);"
        "insert into apppaths values (1,'%VGCLEAN%\\deep\\',NULL,1,0);"
        "insert into apppaths values (2,'%VGCLEAN%\\Profiles\\*\\','places.sqlite*;cookies.sqlite;places*',0,0);"
        "insert into apppaths values (2,'%USERPROFILE%\\','vg-guard-*.tmp',1,0);"
        "insert into apppaths values (2,'%WINDIR%\\','vg-guard-*.tmp',1,0);"
        "insert into apppaths values (2,'%VGCLEAN%\\deep\\..\\..\\..\\..\\..\\..\\..\\..\\','vg-guard-*.tmp',1,0);"
        "insert into apppaths values (3,'%VGCLEAN%\\absent\\',NULL,1,0);"
        "insert into appregs values ('HKEY_CURRENT_USER','Software\\VgCleanTest\\Key',NULL,4);"
        "insert into appregs values ('HKEY_CURRENT_USER','Software\\VgCleanTest\\Single','one',4);"));

    TestList list;
    FillAppList();
    EXPECT_EQ(g_appList.RowCount(), 3);
    EXPECT_EQ(FindRowByAppId(3), -1);
    ScanRegistryTraces(nullptr, nullptr);
    ScanFileTraces(nullptr, nullptr);
    const double alphaSize = 100 + 200 + double(kFiveGb) + 10 + 0 + 7;
    EXPECT_EQ(list.Cell(1, COL_NUMBER), "6");
    EXPECT_EQ(list.Cell(1, COL_SIZE), SizeText(alphaSize));
    EXPECT_EQ(list.Cell(1, COL_SIZE), "5.00G");
    EXPECT_EQ(list.Cell(2, COL_NUMBER), "3");
    EXPECT_EQ(list.Cell(2, COL_SIZE), "120.00B");
    EXPECT_EQ(list.Cell(4, COL_NUMBER), "4");
    EXPECT_EQ(list.Cell(4, COL_SIZE), "28.00B");

    // Alpha, Beta and Delta ticked; the absent application has no row.
    for (INT32 id : {1, 2, 4})
        SetRowChecked(FindRowByAppId(id), TRUE);
    CollectSelection();
    UINT64 pendingBefore = pendingDeleteCount;
    CleanRegistryTraces(nullptr, nullptr);
    CleanFileTraces(nullptr, nullptr);
    for (INT32 id : {1, 2, 4}) {
        EXPECT_EQ(list.Cell(id, COL_NUMBER), "0") << id;
        EXPECT_EQ(list.Cell(id, COL_SIZE), "0.00B") << id;
    }
    EXPECT_EQ(pendingDeleteCount, pendingBefore);
    // The flat rule left what it does not name and the sub-folder alone.
    EXPECT_FALSE(Exists(L"flat\\a.log"));
    EXPECT_FALSE(Exists(L"flat\\b.LOG"));
    EXPECT_TRUE(Exists(L"flat\\c.txt"));
    EXPECT_TRUE(Exists(L"flat\\sub\\d.log"));
    // The recursive rule emptied and removed the sub-folders, kept its own.
    EXPECT_TRUE(Exists(L"deep"));
    EXPECT_FALSE(Exists(L"deep\\s1"));
    EXPECT_FALSE(Exists(L"deep\\x.bin"));
    EXPECT_FALSE(FileExists(longFile));
    EXPECT_EQ(GetFileAttributesW(longFolder), INVALID_FILE_ATTRIBUTES);
    EXPECT_FALSE(Exists(L"Profiles\\p1.default\\places.sqlite"));
    EXPECT_FALSE(Exists(L"Profiles\\p1.default\\cookies.sqlite"));
    EXPECT_FALSE(Exists(L"Profiles\\p2\\places.sqlite-wal"));
    EXPECT_TRUE(Exists(L"Profiles\\p2\\other.txt"));
    EXPECT_TRUE(Exists(L"absent\\keep.txt"));
    EXPECT_TRUE(FileExists(guard)) << "a refused folder was walked";
    DeleteFileW(guard);
    EXPECT_FALSE(KeyExists(L"Software\\VgCleanTest\\Key"));
    EXPECT_FALSE(ValueExists(L"Software\\VgCleanTest\\Single", L"one"));
    EXPECT_TRUE(ValueExists(L"Software\\VgCleanTest\\Single", L"two"));

    // A second scan finds nothing of the ticked applications.
    g_appList.DeleteAllRows();
    FillAppList();
    ScanRegistryTraces(nullptr, nullptr);
    ScanFileTraces(nullptr, nullptr);
    EXPECT_EQ(list.Cell(1, COL_NUMBER), "0");
    EXPECT_EQ(list.Cell(2, COL_NUMBER), "0");
    EXPECT_EQ(list.Cell(4, COL_NUMBER), "0");
}

// A Unix link at a Wine path, removed (the link itself, before the scratch
// folder's removal could follow it) by the destructor.
struct UnixLink {
    char path[1024] = {0};
    bool ok = false;
    UnixLink(const WCHAR *at, const char *target)
    {
        char *unix = wine_get_unix_file_name(at);
        if (!unix)
            return;
        lstrcpynA(path, unix, sizeof path);
        HeapFree(GetProcessHeap(), 0, unix);
        ok = symlink(target, path) == 0;
    }
    ~UnixLink()
    {
        if (ok)
            unlink(path);
    }
};

// Z:\<the folder's Unix path>: the same folder through Wine's root drive.
void ThroughRootDrive(const WCHAR *folder, WCHAR *out)
{
    out[0] = 0;
    char *unix = wine_get_unix_file_name(folder);
    if (!unix)
        return;
    char real[PATH_MAX];
    bool resolved = realpath(unix, real) != nullptr;
    HeapFree(GetProcessHeap(), 0, unix);
    if (!resolved)
        return;
    WCHAR wide[MAX_PATH];
    MultiByteToWideChar(CP_UTF8, 0, real, -1, wide, MAX_PATH);
    wsprintfW(out, L"Z:%s", wide);
    for (WCHAR *p = out; *p; ++p)
        if (*p == L'/')
            *p = L'\\';
}

// Every way the guard's old text comparison was walked around, and the
// places traces are cleaned from.
TEST(CleanGuard, RefusesRootsWindowsProfileAndEmptyPaths)
{
    WCHAR windows[MAX_PATH], profile[MAX_PATH], temp[MAX_PATH], desktop[MAX_PATH], documents[MAX_PATH],
        local[MAX_PATH], programs[MAX_PATH], data[MAX_PATH], here[MAX_PATH];
    GetWindowsDirectoryW(windows, MAX_PATH);
    ASSERT_TRUE(SHGetSpecialFolderPathW(nullptr, profile, CSIDL_PROFILE, FALSE));
    ASSERT_TRUE(SHGetSpecialFolderPathW(nullptr, desktop, CSIDL_DESKTOPDIRECTORY, FALSE));
    ASSERT_TRUE(SHGetSpecialFolderPathW(nullptr, documents, CSIDL_PERSONAL, FALSE));
    ASSERT_TRUE(SHGetSpecialFolderPathW(nullptr, local, CSIDL_LOCAL_APPDATA, FALSE));
    ASSERT_TRUE(SHGetSpecialFolderPathW(nullptr, programs, CSIDL_PROGRAM_FILES, FALSE));
    ASSERT_TRUE(SHGetSpecialFolderPathW(nullptr, data, CSIDL_COMMON_APPDATA, FALSE));
    GetTempPathW(MAX_PATH, temp);
    TestProgramFolder(here);
    ScratchDir scratch(L"guard");
    WCHAR other[MAX_PATH], traces[MAX_PATH], linked[MAX_PATH], below[MAX_PATH], shortName[MAX_PATH];
    wsprintfW(other, L"%s\\..\\vg-other-%lu", profile, GetCurrentProcessId());
    GetFullPathNameW(other, MAX_PATH, other, nullptr);
    ASSERT_TRUE(MakeFolders(other));
    scratch.File(L"traces", traces);
    ASSERT_TRUE(MakeFolders(traces));
    // A link in a trace folder, to the Windows folder.
    scratch.File(L"linked", linked);
    char *unixWindows = wine_get_unix_file_name(windows);
    ASSERT_TRUE(unixWindows);
    UnixLink link(linked, unixWindows);
    HeapFree(GetProcessHeap(), 0, unixWindows);
    ASSERT_TRUE(link.ok);
    wsprintfW(below, L"%s\\system32", linked);
    ASSERT_NE(GetShortPathNameW(programs, shortName, MAX_PATH), 0u);

    struct Case {
        const WCHAR *why;
        WCHAR path[MAX_PATH * 2];
        BOOL whole;
        bool allowed;
    };
    std::vector<Case> cases;
    auto add = [&](const WCHAR *why, bool allowed, BOOL whole, const WCHAR *format, const WCHAR *a = L"",
                   const WCHAR *b = L"") {
        Case c = {why, {0}, whole, allowed};
        wsprintfW(c.path, format, a, b);
        cases.push_back(c);
    };
    add(L"empty", false, TRUE, L"");
    add(L"drive root", false, FALSE, L"C:\\");
    add(L"drive", false, FALSE, L"c:");
    add(L"long-form root", false, FALSE, L"\\\\?\\C:\\");
    add(L"share", false, FALSE, L"\\\\server\\share\\cache\\");
    add(L"relative", false, FALSE, L"relative\\folder\\");
    add(L"device form", false, FALSE, L"\\\\.\\%s\\", temp);
    add(L"admin share", false, FALSE, L"\\\\localhost\\C$\\%s", temp + 3);
    add(L"long UNC form", false, FALSE, L"\\\\?\\UNC\\localhost\\C$\\%s", temp + 3);
    add(L"dot-dot", false, FALSE, L"%s..\\", temp);
    add(L"dot", false, FALSE, L"%s.\\", temp);
    add(L"Windows", false, FALSE, L"%s\\", windows);
    add(L"below Windows", false, FALSE, L"%s\\system32\\", windows);
    add(L"Program Files", false, FALSE, L"%s\\", programs);
    add(L"Program Files by its 8.3 name", false, FALSE, L"%s\\", shortName);
    add(L"ProgramData", false, FALSE, L"%s\\", data);
    add(L"profile", false, FALSE, L"%s\\", profile);
    add(L"profiles folder", false, FALSE, L"%s\\..\\", profile);
    add(L"another profile", false, FALSE, L"%s\\", other);
    add(L"the program's folder", false, FALSE, L"%s\\", here);
    add(L"a link to Windows", false, FALSE, L"%s\\", linked);
    add(L"below a link", false, FALSE, L"%s\\", below);
    add(L"the profile on another letter", false, FALSE, L"Q%s", profile + 1);
    add(L"Desktop taken whole", false, TRUE, L"%s\\", desktop);
    add(L"Local AppData taken whole", false, TRUE, L"%s\\", local);
    add(L"temporary folder", true, TRUE, L"%s", temp);
    add(L"a folder in it", true, TRUE, L"%s\\", traces);
    add(L"Windows' Temp", true, TRUE, L"%s\\Temp\\", windows);
    add(L"named files in Documents", true, FALSE, L"%s\\", documents);
    add(L"named files in Local AppData", true, FALSE, L"%s\\", local);
    WCHAR z[MAX_PATH];
    ThroughRootDrive(windows, z);
    add(L"Windows through Z:", false, FALSE, L"%s\\system32\\", z);
    ThroughRootDrive(profile, z);
    add(L"profile through Z:", false, FALSE, L"%s\\", z);
    for (const Case &c : cases) {
        WCHAR canonical[MAX_PATH * 2];
        FileIdentity id;
        EXPECT_EQ(CheckTraceFolder(c.path, c.whole, canonical, MAX_PATH * 2, &id) != FALSE, c.allowed)
            << Utf8(c.why) << ": " << Utf8(c.path);
    }
    EXPECT_TRUE(IsRefusedTraceFolder(nullptr));

    // Every folder of the shipped database that exists here is allowed, the
    // way its rule takes it.
    std::string shipped, source = VG_UPDATE_SERVER_SCRIPT;  // <source>/tests/update_server.py
    source = source.substr(0, source.rfind("/tests/")) + "/data/trace.sql";
    if (FILE *f = fopen(source.c_str(), "rb")) {
        char chunk[4096];
        for (size_t n; (n = fread(chunk, 1, sizeof chunk, f)) > 0;)
            shipped.append(chunk, n);
        fclose(f);
    }
    ASSERT_FALSE(shipped.empty());
    WCHAR db[MAX_PATH];
    ASSERT_TRUE(OpenTraceDatabaseFromSql(scratch, shipped.c_str(), db));
    bool loaded = LoadApplications() == 1 && LoadRedirectRules() == 1;
    CloseTraceDatabase(db);
    ASSERT_TRUE(loaded);
    ExpandRedirectRules();
    RefreshTraceGuard();
    int present = 0;
    for (INT32 i = 0; i < g_ruleCount; ++i) {
        const RedirectRule *rule = g_rules[i];
        DWORD attributes = GetFileAttributesW(rule->path);
        if (rule->pathWild || attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
            continue;
        ++present;
        bool everyFile = lstrcmpW(rule->name, L"*.*") == 0 || lstrcmpW(rule->name, L"*") == 0;
        WCHAR canonical[MAX_PATH * 2];
        EXPECT_TRUE(CheckTraceFolder(rule->path, rule->isRecurse || everyFile, canonical, MAX_PATH * 2, nullptr))
            << Utf8(rule->path) << " " << Utf8(rule->name);
    }
    EXPECT_GE(present, 3) << "the shipped folders of a fresh prefix were not found";
    FreeRedirectRules();
    FreeApplications();

    // A TEMP pointed at the Desktop: the temporary-folder rule does not
    // empty the Desktop.
    WCHAR savedTemp[MAX_PATH];
    GetEnvironmentVariableW(L"TEMP", savedTemp, MAX_PATH);
    SetEnvironmentVariableW(L"TEMP", desktop);
    RefreshTraceGuard();
    EXPECT_TRUE(IsRefusedTraceFolder(desktop));
    SetEnvironmentVariableW(L"TEMP", savedTemp);
    RefreshTraceGuard();

    // A refused folder costs nothing and removes nothing.
    WalkOptions options = {TRUE, TRUE, TRUE, FALSE};
    TraceCounters removed = DeleteFiles(L"C:\\", L"*.*", &options, nullptr);
    EXPECT_EQ(removed.count, 0u);
    RemoveDirectoryW(other);
}

} // namespace
