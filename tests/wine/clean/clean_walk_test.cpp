// The file walker against a tree an unprivileged program could have
// prepared: links at the top, in a pattern and below, a folder and a file
// swapped for links at the moment the walk reaches them, a read-only file,
// a name ending in a dot, 8.3 look-alikes and a very deep tree; and a trace
// database from the network that tries every way out. Nothing outside the
// trace places may be deleted, and nothing may crash.
#include "clean_support.h"

#include <fcntl.h>
#include <limits.h>
#include <shlobj.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>
#include <winternl.h>

#include <sqlite3.h>

#include "clean/nt_dir.h"
#include "env/reg_trace_walk.h"

using namespace clean_test;

namespace {

std::string UnixPath(const WCHAR *path)
{
    char *unix = wine_get_unix_file_name(path);
    std::string out = unix ? unix : "";
    if (unix)
        HeapFree(GetProcessHeap(), 0, unix);
    return out;
}

bool MakeUnixFile(const std::string &path, const char *text = "x")
{
    FILE *f = fopen(path.c_str(), "w");
    if (!f)
        return false;
    fputs(text, f);
    return fclose(f) == 0;
}

bool UnixExists(const std::string &path)
{
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

// Removes a scratch tree from the host side (deep trees and links
// included, links not followed) before the scratch folder's own removal.
struct HostRemoval {
    std::string path;
    ~HostRemoval()
    {
        if (!path.empty())
            system(("rm -rf '" + path + "'").c_str());
    }
};

// The walker's NtCreateFile: swaps "swapdir" and "swapfile.txt" for links
// leading out of the tree just as the walker opens them.
NtCreateFileFn g_realCreate;
std::string g_treeUnix, g_outsideUnix;
int g_swaps;

LONG NTAPI SwappingCreate(PHANDLE handle, ACCESS_MASK access, void *objectAttributes, void *ioStatus,
                          PLARGE_INTEGER allocation, ULONG attributes, ULONG sharing, ULONG disposition,
                          ULONG options, PVOID ea, ULONG eaLength)
{
    const OBJECT_ATTRIBUTES *oa = static_cast<const OBJECT_ATTRIBUTES *>(objectAttributes);
    if (oa && oa->ObjectName && oa->RootDirectory) {
        char name[64] = {0};
        WideCharToMultiByte(CP_UTF8, 0, oa->ObjectName->Buffer, oa->ObjectName->Length / 2, name, 63, nullptr,
                            nullptr);
        std::string n = name;
        if (n == "swapdir" || n == "swapfile.txt") {
            std::string at = g_treeUnix + "/" + n;
            std::string target = g_outsideUnix + (n == "swapdir" ? "/sd-target" : "/v-swapfile.txt");
            if (rename(at.c_str(), (at + ".old").c_str()) == 0 && symlink(target.c_str(), at.c_str()) == 0)
                ++g_swaps;
        }
    }
    return g_realCreate(handle, access, objectAttributes, ioStatus, allocation, attributes, sharing, disposition,
                        options, ea, eaLength);
}

class CleanWalk : public ::testing::Test {
protected:
    void TearDown() override
    {
        g_NtCreateFile = g_realCreate ? g_realCreate : g_NtCreateFile;
        FreeCleanTables();
    }
};

TEST_F(CleanWalk, LinksSwapsDeepTreesAndOddNamesStayInsideTheTree)
{
    ScratchDir dir(L"walk");
    HostRemoval removal{UnixPath(dir.path)};
    ASSERT_FALSE(removal.path.empty());
    SetEnvironmentVariableW(L"VGWALK", dir.path);
    const std::string base = removal.path;
    const std::string tree = base + "/tree", outside = base + "/outside", flat = base + "/flat";
    for (const std::string &d : {tree, outside, flat, tree + "/sub", tree + "/swapdir", outside + "/ltarget",
                                 outside + "/sd-target", outside + "/ptarget"})
        ASSERT_EQ(mkdir(d.c_str(), 0755), 0) << d;
    // What lies outside, reachable only through links.
    const std::string victims[] = {outside + "/ltarget/v1.txt", outside + "/v-file.txt",
                                   outside + "/sd-target/v2.txt", outside + "/v-swapfile.txt",
                                   outside + "/ptarget/v3.ind"};
    for (const std::string &v : victims)
        ASSERT_TRUE(MakeUnixFile(v));
    ASSERT_EQ(symlink((outside + "/ltarget").c_str(), (tree + "/linkdir").c_str()), 0);
    ASSERT_EQ(symlink((outside + "/v-file.txt").c_str(), (tree + "/flink.txt").c_str()), 0);
    ASSERT_EQ(symlink(tree.c_str(), (base + "/toplink").c_str()), 0);
    ASSERT_EQ(symlink((outside + "/ptarget").c_str(), (flat + "/plink").c_str()), 0);
    // The tree's own files: plain, read-only, in a sub-folder, in the folder
    // that will be swapped, and the file that will be.
    for (const char *f : {"/a.txt", "/sub/b.txt", "/swapdir/s.txt", "/swapfile.txt"})
        ASSERT_TRUE(MakeUnixFile(tree + f));
    WCHAR readOnly[MAX_PATH];
    wsprintfW(readOnly, L"%s\\tree\\ro.txt", dir.path);
    ASSERT_TRUE(MakeFile(readOnly, 3));
    ASSERT_TRUE(SetFileAttributesW(readOnly, FILE_ATTRIBUTE_READONLY));
    // 5,000 nested folders, made relative to each open parent (the full
    // path is longer than the host allows in one call).
    int fd = open(tree.c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(fd, 0);
    for (int i = 0; i < 5000 && fd >= 0; ++i) {
        mkdirat(fd, "d", 0755);
        int next = openat(fd, "d", O_RDONLY | O_DIRECTORY);
        close(fd);
        fd = next;
    }
    ASSERT_GE(fd, 0);
    int bottom = openat(fd, "bottom.txt", O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(bottom, 0);
    close(bottom);
    close(fd);
    // Beside them: a mask that 8.3 aliases would widen, a name with a
    // trailing dot and its neighbour without one.
    for (const char *f : {"/a.ind", "/b.index", "/c.indd", "/x.", "/x"})
        ASSERT_TRUE(MakeUnixFile(flat + f));

    ASSERT_TRUE(LoadCleanTables(dir,
        "insert into apps values (1,'Tree','t','%VGWALK%',NULL,NULL,NULL);"
        "insert into apps values (2,'TopLink','l','%VGWALK%',NULL,NULL,NULL);"
        "insert into apps values (3,'Flat','f','%VGWALK%',NULL,NULL,NULL);"
        "insert into apppaths values (1,'%VGWALK%\\tree\\',NULL,1,0);"
        "insert into apppaths values (2,'%VGWALK%\\toplink\\',NULL,1,0);"
        "insert into apppaths values (3,'%VGWALK%\\flat\\','*.ind;x.;plink\\*.*',0,0);"));
    TestList list;
    FillAppList();
    ScanFileTraces(nullptr, nullptr);
    EXPECT_EQ(list.Cell(2, COL_NUMBER), "0") << "the walk went through a link at the top";
    EXPECT_EQ(list.Cell(3, COL_NUMBER), "2") << "8.3 names or the link in the pattern were taken";

    for (INT32 id : {1, 2, 3})
        SetRowChecked(FindRowByAppId(id), TRUE);
    CollectSelection();
    ASSERT_TRUE(NtDirReady());
    g_realCreate = g_NtCreateFile;
    g_treeUnix = tree;
    g_outsideUnix = outside;
    g_swaps = 0;
    g_NtCreateFile = SwappingCreate;
    CleanFileTraces(nullptr, nullptr);
    g_NtCreateFile = g_realCreate;
    EXPECT_EQ(g_swaps, 2) << "the walk never reached the folder or file to swap";

    for (const std::string &v : victims)
        EXPECT_TRUE(UnixExists(v)) << v << " outside the tree was deleted";
    EXPECT_FALSE(UnixExists(tree + "/a.txt"));
    EXPECT_FALSE(UnixExists(tree + "/ro.txt")) << "a read-only trace stayed";
    EXPECT_FALSE(UnixExists(tree + "/sub"));
    EXPECT_TRUE(UnixExists(tree)) << "the rule's own folder was removed";
    EXPECT_FALSE(UnixExists(flat + "/a.ind"));
    EXPECT_FALSE(UnixExists(flat + "/x."));
    EXPECT_TRUE(UnixExists(flat + "/x")) << "the neighbour of \"x.\" was deleted";
    EXPECT_TRUE(UnixExists(flat + "/b.index")) << "an 8.3 alias matched";
    EXPECT_TRUE(UnixExists(flat + "/c.indd")) << "an 8.3 alias matched";
}

// A trace database as the update could bring it over plain HTTP: a real
// trace row and every escape tried, packed like the shipped one. Scanning
// and cleaning it with every row ticked deletes the real traces only.
TEST(CleanHostile, EscapeRowsDeleteNothingOutsideTheTracePlaces)
{
    ScratchDir dir(L"hostile");
    SetEnvironmentVariableW(L"VGHOST", dir.path);
    DWORD pid = GetCurrentProcessId();
    WCHAR name[64];
    wsprintfW(name, L"vg-hostile-%lu.txt", pid);
    // One file in each place the rows try to reach.
    const int places[] = {CSIDL_PROFILE, CSIDL_PERSONAL, CSIDL_PROGRAM_FILES, CSIDL_LOCAL_APPDATA, CSIDL_WINDOWS};
    std::vector<std::u16string> victims;
    WCHAR folder[MAX_PATH], path[MAX_PATH];
    for (int csidl : places) {
        ASSERT_TRUE(SHGetSpecialFolderPathW(nullptr, folder, csidl, FALSE));
        wsprintfW(path, L"%s\\%s", folder, name);
        victims.push_back(reinterpret_cast<const char16_t *>(path));
    }
    WCHAR here[MAX_PATH];
    TestProgramFolder(here);
    wsprintfW(path, L"%s\\%s", here, name);
    victims.push_back(reinterpret_cast<const char16_t *>(path));
    for (const std::u16string &v : victims)
        ASSERT_TRUE(MakeFile(reinterpret_cast<const WCHAR *>(v.c_str()), 9))
            << Utf8(reinterpret_cast<const WCHAR *>(v.c_str()));
    WCHAR valueName[64];
    wsprintfW(valueName, L"VgHostile%lu", pid);
    ASSERT_TRUE(SetValue(L"Software", valueName, REG_SZ, L"x", 4));
    ASSERT_TRUE(SetValue(L"Software\\VgHostileKeep", valueName, REG_SZ, L"x", 4));
    // The real traces.
    WCHAR traces[MAX_PATH], trace[MAX_PATH];
    dir.File(L"traces", traces);
    ASSERT_TRUE(MakeFolders(traces));
    wsprintfW(trace, L"%s\\t1.dat", traces);
    ASSERT_TRUE(MakeFile(trace, 5));

    // Wine's root drive leads to the Windows folder by another name.
    WCHAR windows[MAX_PATH];
    GetWindowsDirectoryW(windows, MAX_PATH);
    char real[PATH_MAX];
    ASSERT_NE(realpath(UnixPath(windows).c_str(), real), nullptr);
    char hereUtf8[MAX_PATH * 3];
    WideCharToMultiByte(CP_UTF8, 0, here, -1, hereUtf8, sizeof hereUtf8, nullptr, nullptr);
    std::string z = std::string("Z:") + real;
    for (char &c : z)
        if (c == '/')
            c = '\\';
    std::string sql = std::string(TraceSchemaSql()) +
        "insert into apps values (1,'Hostile','h','%VGHOST%',NULL,NULL,NULL);"
        "insert into apppaths values (1,'%VGHOST%\\traces\\',NULL,1,0);"
        "insert into apppaths values (1,'%VGHOST%\\','..\\..\\vg-hostile-*.txt;..\\..\\..\\..\\windows\\*.txt',1,0);"
        "insert into apppaths values (1,'\\\\.\\%USERPROFILE%\\','vg-hostile-*.txt',1,0);"
        "insert into apppaths values (1,'\\\\localhost\\C$\\users\\','vg-hostile-*.txt',1,0);"
        "insert into apppaths values (1,'%Personal%\\',NULL,1,0);"
        "insert into apppaths values (1,'%ProgramFiles%\\','vg-hostile-*.txt',0,0);"
        "insert into apppaths values (1,'C:\\*\\','vg-hostile-*.txt',1,0);"
        "insert into apppaths values (1,'%TEMP%\\..\\','vg-hostile-*.txt',1,0);"
        "insert into apppaths values (1,'%LOCALAPPDATA%\\',NULL,1,0);"
        "insert into apppaths values (1,'" + z + "\\','vg-hostile-*.txt',1,0);"
        "insert into apppaths values (1,'" + hereUtf8 + "\\','vg-hostile-*.txt',0,0);"
        "insert into appregs values ('HKEY_CURRENT_USER','Software','VgHostile" + std::to_string(pid) + "',1);"
        "insert into appregs values ('HKEY_CURRENT_USER','',NULL,1);"
        "insert into appregs values ('HKEY_CURRENT_USER','Software\\Microsoft',NULL,1);";
    WCHAR db[MAX_PATH], archive[MAX_PATH], tool[MAX_PATH], bin[MAX_PATH];
    dir.File(L"hostile.db", db);
    dir.File(L"mani.sys", archive);
    ASSERT_EQ(MakeDatabase(db, sql.c_str()), SQLITE_OK);
    BuildBinFolder(bin);
    wsprintfW(tool, L"%s\\..\\tools\\mkmani\\mkmani-host", bin);
    std::string command = "'" + UnixPath(tool) + "' --database '" + UnixPath(db) + "' --output '" +
                          UnixPath(archive) + "' >/dev/null 2>&1";
    ASSERT_EQ(system(command.c_str()), 0) << command;
    WCHAR unpacked[MAX_PATH] = {0};
    ASSERT_EQ(UnpackTraceDatabaseFrom(archive, unpacked), 1);
    ASSERT_EQ(OpenTraceDatabase(unpacked), 1);
    bool loaded = LoadApplications() == 1 && LoadRegistryItems() == 1 && LoadRedirectRules() == 1;
    CloseTraceDatabase(unpacked);
    ASSERT_TRUE(loaded);
    ExpandRedirectRules();

    TestList list;
    FillAppList();
    ScanRegistryTraces(nullptr, nullptr);
    ScanFileTraces(nullptr, nullptr);
    EXPECT_EQ(list.Cell(1, COL_NUMBER), "1") << "the scan counted outside the trace places";
    SetRowChecked(FindRowByAppId(1), TRUE);
    CollectSelection();
    CleanRegistryTraces(nullptr, nullptr);
    CleanFileTraces(nullptr, nullptr);
    EXPECT_FALSE(FileExists(trace));
    EXPECT_EQ(list.Cell(1, COL_NUMBER), "0");
    for (const std::u16string &v : victims) {
        const WCHAR *p = reinterpret_cast<const WCHAR *>(v.c_str());
        EXPECT_TRUE(FileExists(p)) << Utf8(p) << " was deleted";
        DeleteFileW(p);
    }
    EXPECT_TRUE(ValueExists(L"Software", valueName));
    EXPECT_TRUE(ValueExists(L"Software\\VgHostileKeep", valueName));
    HKEY key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Software", 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
        RegDeleteValueW(key, valueName);
        RegCloseKey(key);
    }
    SHDeleteKeyW(HKEY_CURRENT_USER, L"Software\\VgHostileKeep");
    FreeCleanTables();
}

} // namespace

namespace {

// The registry side: keys too close to a root or holding whole branches of
// settings are refused, and a link below a trace key is neither followed
// nor removed.
TEST(CleanRegistryGuard, ShallowAndBranchKeysRefusedLinksNotFollowed)
{
    EXPECT_FALSE(IsCleanableRegKey(HKEY_CURRENT_USER, L""));
    EXPECT_FALSE(IsCleanableRegKey(HKEY_CURRENT_USER, L"Software"));
    EXPECT_FALSE(IsCleanableRegKey(HKEY_CURRENT_USER, L"software\\microsoft"));
    EXPECT_FALSE(IsCleanableRegKey(HKEY_CURRENT_USER, L"Software\\Classes"));
    EXPECT_FALSE(IsCleanableRegKey(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion"));
    EXPECT_FALSE(IsCleanableRegKey(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Services"));
    EXPECT_FALSE(IsCleanableRegKey(HKEY_LOCAL_MACHINE, L"SOFTWARE"));
    EXPECT_FALSE(IsCleanableRegKey(HKEY_CURRENT_USER, L"Software\\\\App"));
    EXPECT_FALSE(IsCleanableRegKey(HKEY_CURRENT_USER, L"\\Software\\App"));
    EXPECT_FALSE(IsCleanableRegKey(HKEY_USERS, L"S-1-5-21\\Software"));
    EXPECT_FALSE(IsCleanableRegKey(HKEY_CLASSES_ROOT, L"Some\\Key"));
    EXPECT_TRUE(IsCleanableRegKey(HKEY_CURRENT_USER, L"Software\\Paint.NET"));
    EXPECT_TRUE(IsCleanableRegKey(HKEY_USERS, L"S-1-5-21\\Software\\App"));

    // HKCU\Software\VgRegLink\Key holds a value and a link to a key under
    // HKEY_LOCAL_MACHINE that is no trace.
    const WCHAR kTrace[] = L"Software\\VgRegLink\\Key";
    SHDeleteKeyW(HKEY_CURRENT_USER, L"Software\\VgRegLink");
    ASSERT_TRUE(SetValue(kTrace, L"v", REG_SZ, L"x", 4));
    HKEY target;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"Software\\VgRegTarget", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &target, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExW(target, L"keep", 0, REG_SZ, reinterpret_cast<const BYTE *>(L"k"), 4), ERROR_SUCCESS);
    RegCloseKey(target);
    HKEY trace, link;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, kTrace, 0, KEY_ALL_ACCESS, &trace), ERROR_SUCCESS);
    ASSERT_EQ(RegCreateKeyExW(trace, L"L", 0, nullptr, REG_OPTION_CREATE_LINK, KEY_ALL_ACCESS | KEY_CREATE_LINK,
                              nullptr, &link, nullptr),
              ERROR_SUCCESS);
    const WCHAR kTarget[] = L"\\Registry\\Machine\\Software\\VgRegTarget";
    ASSERT_EQ(RegSetValueExW(link, L"SymbolicLinkValue", 0, REG_LINK, reinterpret_cast<const BYTE *>(kTarget),
                             sizeof kTarget - sizeof(WCHAR)),
              ERROR_SUCCESS);
    RegCloseKey(link);
    RegCloseKey(trace);
    HKEY through;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\VgRegLink\\Key\\L", 0, KEY_READ, &through), ERROR_SUCCESS)
        << "the link does not lead to its target";
    RegCloseKey(through);

    UINT64 count = 0, bytes = 0;
    MeasureRegTrace(HKEY_CURRENT_USER, kTrace, nullptr, &count, &bytes);
    EXPECT_EQ(count, 1u) << "the value behind the link was counted";
    count = bytes = 0;
    DeleteRegTrace(HKEY_CURRENT_USER, kTrace, nullptr, &count, &bytes);
    EXPECT_EQ(count, 1u);
    EXPECT_FALSE(ValueExists(kTrace, L"v"));
    HKEY kept;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\VgRegTarget", 0, KEY_READ, &kept), ERROR_SUCCESS)
        << "the link's target was deleted";
    EXPECT_EQ(RegQueryValueExW(kept, L"keep", nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS)
        << "a value behind the link was deleted";
    RegCloseKey(kept);
    SHDeleteKeyW(HKEY_LOCAL_MACHINE, L"Software\\VgRegTarget");
    // The link key itself stays (it is never opened through); remove it the
    // way links are removed.
    HKEY left;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\VgRegLink\\Key\\L", REG_OPTION_OPEN_LINK, DELETE, &left) ==
        ERROR_SUCCESS) {
        typedef LONG(NTAPI * NtDeleteKeyFn)(HANDLE);
        NtDeleteKeyFn del = reinterpret_cast<NtDeleteKeyFn>(
            reinterpret_cast<void *>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtDeleteKey")));
        if (del)
            del(left);
        RegCloseKey(left);
    }
    SHDeleteKeyW(HKEY_CURRENT_USER, L"Software\\VgRegLink");
}

} // namespace
