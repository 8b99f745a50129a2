// The cleaning passes on a tree and registry items made here: what a scan
// counts per application is what was made, and a cleaning removes exactly
// that (and never a refused folder, an absent application's files or what a
// rule does not name).
#include "clean_support.h"

#include <shellapi.h>
#include <shlobj.h>

#include "clean/handle_closer.h"
#include "env/reg_store.h"
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

TEST(CleanGuard, RefusesRootsWindowsProfileAndEmptyPaths)
{
    WCHAR windows[MAX_PATH], profile[MAX_PATH], text[MAX_PATH];
    GetWindowsDirectoryW(windows, MAX_PATH);
    ASSERT_TRUE(SHGetSpecialFolderPathW(nullptr, profile, CSIDL_PROFILE, FALSE));
    EXPECT_TRUE(IsRefusedTraceFolder(nullptr));
    EXPECT_TRUE(IsRefusedTraceFolder(L""));
    EXPECT_TRUE(IsRefusedTraceFolder(L"C:\\"));
    EXPECT_TRUE(IsRefusedTraceFolder(L"c:"));
    EXPECT_TRUE(IsRefusedTraceFolder(L"\\\\?\\C:\\"));
    EXPECT_TRUE(IsRefusedTraceFolder(L"\\\\server\\share\\"));
    EXPECT_TRUE(IsRefusedTraceFolder(L"relative\\folder\\"));
    wsprintfW(text, L"%s\\", windows);
    EXPECT_TRUE(IsRefusedTraceFolder(text));
    wsprintfW(text, L"%s\\..\\", windows);
    EXPECT_TRUE(IsRefusedTraceFolder(text));
    wsprintfW(text, L"%s\\", profile);
    EXPECT_TRUE(IsRefusedTraceFolder(text));
    // The folder above the profile, and the profile on another drive letter
    // (the virtual disk).
    wsprintfW(text, L"%s\\..\\", profile);
    EXPECT_TRUE(IsRefusedTraceFolder(text));
    lstrcpyW(text, profile);
    text[0] = L'Q';
    EXPECT_TRUE(IsRefusedTraceFolder(text));
    // Folders below them are trace folders like any other.
    wsprintfW(text, L"%s\\AppData\\Local\\Temp\\", profile);
    EXPECT_FALSE(IsRefusedTraceFolder(text));
    wsprintfW(text, L"%s\\Temp\\", windows);
    EXPECT_FALSE(IsRefusedTraceFolder(text));
    EXPECT_FALSE(IsRefusedTraceFolder(L"\\\\server\\share\\cache\\"));
    // A refused folder costs nothing and removes nothing.
    WalkOptions options = {TRUE, TRUE, TRUE, FALSE};
    TraceCounters removed = DeleteFiles(L"C:\\", L"*.*", &options, nullptr);
    EXPECT_EQ(removed.count, 0u);
}

} // namespace
