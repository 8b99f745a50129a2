// The minifilter stand-in's file system with programs the project did not
// write: while a program holds the filter connection, Wine's own cmd.exe
// creates, overwrites, renames and lists files under a rule folder on the
// prefix's C: drive and gets the redirected copies on the virtual disk,
// while the real folder keeps what it held; files outside the rule folder
// stay on the real disk. When the program is killed, C: works again without
// the file system within seconds and no mount is left behind.
#include "gtest_wine.h"

#include <signal.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "../env/trace_test_support.h"
#include "redirect/redirect_rules.h"
#include "redirect/redirection_filter.h"
#include "standin/sidestep/sidestep_standin.h"

extern "C" int kill(int pid, int signal);
extern "C" int umount2(const char *target, int flags);
#ifndef MNT_DETACH
#define MNT_DETACH 2
#endif

namespace {

const WCHAR FuseDevice[] = L"\\Device\\VgTestFuseDisk";

std::string UnixOf(const WCHAR *dos)
{
    char *name = wine_get_unix_file_name(dos);
    std::string out = name ? name : "";
    if (name)
        HeapFree(GetProcessHeap(), 0, name);
    return out;
}

// The folder's own path on the Linux side, not through the drive's link
// (which leads through the file system while it serves C:).
std::string RealOf(const WCHAR *dos)
{
    char resolved[4096];
    std::string name = UnixOf(dos);
    return realpath(name.c_str(), resolved) ? std::string(resolved) : name;
}

std::string C_link()
{
    std::string link = UnixOf(L"C:\\");
    while (link.size() > 1 && link.back() == '/')
        link.pop_back();
    return link;
}

std::string LinkTarget(const std::string &link)
{
    char buffer[4096];
    ssize_t n = readlink(link.c_str(), buffer, sizeof buffer - 1);
    return n > 0 ? std::string(buffer, size_t(n)) : std::string();
}

bool SidestepMounted()
{
    FILE *f = fopen("/proc/self/mounts", "r");
    if (!f)
        return false;
    char line[8192];
    bool found = false;
    while (fgets(line, sizeof line, f))
        found = found || strstr(line, "fuse.sidestep") != nullptr;
    fclose(f);
    return found;
}

// Whatever happens in the test: C: back at the real folder, the mount gone.
struct CleanDriveC {
    std::string link = C_link();
    std::string mount;
    CleanDriveC()
    {
        mount = link.substr(0, link.rfind('/'));
        mount = mount.substr(0, mount.rfind('/')) + "/sidestep-c";
    }
    ~CleanDriveC()
    {
        if (LinkTarget(link) == mount) {
            unlink(link.c_str());
            symlink("../drive_c", link.c_str());
        }
        if (SidestepMounted())
            umount2(mount.c_str(), MNT_DETACH);
    }
};

std::string ReadUnix(const std::string &path)
{
    FILE *f = fopen(path.c_str(), "rb");
    if (!f)
        return "<missing>";
    char buffer[4096];
    size_t n = fread(buffer, 1, sizeof buffer, f);
    fclose(f);
    return std::string(buffer, n);
}

// Runs "cmd /c <command>" with a time limit; its standard output.
std::string Cmd(const WCHAR *command)
{
    SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
    HANDLE readEnd, writeEnd;
    if (!CreatePipe(&readEnd, &writeEnd, &sa, 0))
        return "<no pipe>";
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    WCHAR line[2048];
    wsprintfW(line, L"cmd.exe /c %s", command);
    STARTUPINFOW si = {sizeof si};
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = writeEnd;
    si.hStdError = writeEnd;
    si.hStdInput = nullptr;
    PROCESS_INFORMATION pi = {};
    BOOL started = CreateProcessW(nullptr, line, nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi);
    CloseHandle(writeEnd);
    std::string out;
    if (!started) {
        CloseHandle(readEnd);
        return "<not started>";
    }
    if (WaitForSingleObject(pi.hProcess, 30000) != WAIT_OBJECT_0) {
        TerminateProcess(pi.hProcess, 1);
        out = "<timed out>";
    }
    char buffer[4096];
    DWORD got = 0;
    DWORD available = 0;
    while (PeekNamedPipe(readEnd, nullptr, 0, nullptr, &available, nullptr) && available &&
           ReadFile(readEnd, buffer, sizeof buffer, &got, nullptr) && got)
        out.append(buffer, got);
    CloseHandle(readEnd);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r' || out.back() == ' '))
        out.pop_back();
    return out;
}

DWORD WINAPI ReadBesideForever(LPVOID param)
{
    const WCHAR *src = static_cast<const WCHAR *>(param);
    WCHAR path[MAX_PATH];
    for (unsigned n = 0;; ++n) {
        wsprintfW(path, n % 2 ? L"%s\Other\plain.txt" : L"%s\App\keep.txt", src);
        HANDLE f = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, 0, nullptr);
        if (f != INVALID_HANDLE_VALUE) {
            char buffer[64];
            DWORD got;
            ReadFile(f, buffer, sizeof buffer, &got, nullptr);
            CloseHandle(f);
        }
    }
    return 0;
}

} // namespace

// The program's side: rules for %VGTEST_IPSRC%\App\, the redirection drive
// T:, the filter connection; says it is ready, then waits to be killed.
TEST(InterposeChild, DISABLED_ServeUntilKilled)
{
    WCHAR src[MAX_PATH], ready[MAX_PATH], db[MAX_PATH];
    ASSERT_TRUE(GetEnvironmentVariableW(L"VGTEST_IPSRC", src, MAX_PATH));
    ASSERT_TRUE(GetEnvironmentVariableW(L"VGTEST_IPREADY", ready, MAX_PATH));
    ASSERT_TRUE(GetEnvironmentVariableW(L"VGTEST_IPDB", db, MAX_PATH));
    ASSERT_EQ(OpenTraceDatabase(db), 1);
    ASSERT_EQ(LoadApplications(), 1);
    ASSERT_EQ(LoadRedirectRules(), 1);
    sqlite3_close(g_traceDb);
    g_traceDb = nullptr;
    ExpandRedirectRules();
    ASSERT_EQ(g_ruleCount, 1);
    BindRedirectionDrive(L"T:", nullptr);
    ASSERT_STREQ(std::string(g_redirectionDevice, g_redirectionDevice + lstrlenW(g_redirectionDevice)).c_str(),
                 "\\Device\\VgTestFuseDisk");
    SidestepStandinPreset(TRUE, FALSE);
    ASSERT_TRUE(StartRedirectionFilter());
    ASSERT_TRUE(SidestepStandinWaitConnected(20000));
    // The program's own threads keep reading files beside the rule folder
    // while the file system asks it about other programs' accesses.
    for (int i = 0; i < 4; ++i)
        CloseHandle(CreateThread(nullptr, 0, ReadBesideForever, src, 0, nullptr));
    char pid[32];
    snprintf(pid, sizeof pid, "%d", int(getpid()));
    ASSERT_TRUE(WriteText(ready, pid));
    Sleep(90000);  // killed long before
}

TEST(Interpose, CmdGetsRedirectedCopiesAndCIsBackWhenTheProgramIsKilled)
{
    CleanDriveC clean;
    ASSERT_EQ(LinkTarget(clean.link), "../drive_c");
    ScratchDir src(L"ipsrc"), disk(L"ipdisk"), work(L"ipwork");
    TestDrive drive(L'T', disk.path);
    ASSERT_TRUE(drive.ok);
    ASSERT_TRUE(DefineDosDeviceW(DDD_RAW_TARGET_PATH, L"T:", FuseDevice));
    struct Undefine {
        ~Undefine() { DefineDosDeviceW(DDD_RAW_TARGET_PATH | DDD_REMOVE_DEFINITION, L"T:", FuseDevice); }
    } undefine;

    // The real folders: a rule folder with a file, and a folder beside it.
    WCHAR app[MAX_PATH], other[MAX_PATH], path[MAX_PATH];
    wsprintfW(app, L"%s\\App", src.path);
    wsprintfW(other, L"%s\\Other", src.path);
    CreateDirectoryW(app, nullptr);
    CreateDirectoryW(other, nullptr);
    wsprintfW(path, L"%s\\keep.txt", app);
    ASSERT_TRUE(WriteText(path, "real keep"));
    wsprintfW(path, L"%s\\old.txt", app);
    ASSERT_TRUE(WriteText(path, "real old"));
    wsprintfW(path, L"%s\\plain.txt", other);
    ASSERT_TRUE(WriteText(path, "real plain"));
    const std::string realApp = RealOf(app), realOther = RealOf(other);
    // The same folder on the virtual disk: T: followed by the path below C:.
    WCHAR virtualApp[MAX_PATH];
    wsprintfW(virtualApp, L"T:%s", app + 2);
    SHCreateDirectoryExW(nullptr, virtualApp, nullptr);
    const std::string virtualUnix = RealOf(virtualApp);
    char sql[2048];
    SetEnvironmentVariableW(L"VGTEST_IPSRC", src.path);
    wsprintfA(sql, "%sinsert into apps values (1,'a','a',NULL,NULL,NULL,NULL);"
                   "insert into apppaths values (1,'%%VGTEST_IPSRC%%\\App\\','',1,0);", TraceSchemaSql());
    WCHAR db[MAX_PATH], ready[MAX_PATH], self[MAX_PATH], command[MAX_PATH + 128];
    work.File(L"rules.db", db);
    ASSERT_EQ(MakeDatabase(db, sql), SQLITE_OK);
    work.File(L"ready.txt", ready);
    SetEnvironmentVariableW(L"VGTEST_IPDB", db);
    SetEnvironmentVariableW(L"VGTEST_IPREADY", ready);

    GetModuleFileNameW(nullptr, self, MAX_PATH);
    if (!StrStrIW(self, L".exe.so"))
        lstrcatW(self, L".so");
    wsprintfW(command, L"\"%s\" --gtest_also_run_disabled_tests --gtest_filter=InterposeChild.*", self);
    STARTUPINFOW si = {sizeof si};
    PROCESS_INFORMATION pi = {};
    ASSERT_TRUE(CreateProcessW(nullptr, command, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    struct EndChild {
        PROCESS_INFORMATION *pi;
        ~EndChild()
        {
            TerminateProcess(pi->hProcess, 1);
            WaitForSingleObject(pi->hProcess, 10000);
            CloseHandle(pi->hProcess);
            CloseHandle(pi->hThread);
        }
    } endChild{&pi};
    const std::string readyUnix = RealOf(work.path) + "/ready.txt";
    // The child's process number, once the whole of it is written: a file
    // read while still empty would make it 0, and kill(0) ends every
    // process of this one's group, the test runner included.
    std::string pid;
    for (int i = 0; i < 300 && atoi((pid = ReadUnix(readyUnix)).c_str()) <= 0; ++i)
        Sleep(100);
    ASSERT_GT(atoi(pid.c_str()), 0) << "the program did not connect: " << pid;
    EXPECT_TRUE(SidestepMounted());
    EXPECT_NE(LinkTarget(clean.link), "../drive_c");

    // Under the rule folder: a new file, an overwritten one and a renamed
    // one land on the virtual disk; reading and listing show those copies.
    WCHAR line[1024];
    wsprintfW(line, L"echo private> \"%s\\new.txt\"", app);
    Cmd(line);
    wsprintfW(line, L"echo overwritten> \"%s\\keep.txt\"", app);
    Cmd(line);
    wsprintfW(line, L"echo moving>\"%s\\first.txt\"&& ren \"%s\\first.txt\" moved.txt", app, app);
    Cmd(line);
    wsprintfW(line, L"echo beside> \"%s\\made.txt\"", other);
    Cmd(line);
    wsprintfW(line, L"type \"%s\\new.txt\"", app);
    EXPECT_EQ(Cmd(line), "private");
    wsprintfW(line, L"type \"%s\\keep.txt\"", app);
    EXPECT_EQ(Cmd(line), "overwritten");
    wsprintfW(line, L"type \"%s\\moved.txt\"", app);
    EXPECT_EQ(Cmd(line), "moving");
    // Names written in another case reach the same files: the redirected
    // copy under the rule folder, the real file beside it.
    WCHAR upperApp[MAX_PATH], upperOther[MAX_PATH];
    lstrcpyW(upperApp, app);
    lstrcpyW(upperOther, other);
    CharUpperW(upperApp);
    CharUpperW(upperOther);
    wsprintfW(line, L"type \"%s\\KEEP.TXT\"", upperApp);
    EXPECT_EQ(Cmd(line), "overwritten");
    wsprintfW(line, L"type \"%s\\Plain.Txt\"", upperOther);
    EXPECT_EQ(Cmd(line), "real plain");
    wsprintfW(line, L"dir /b /on \"%s\"", app);
    EXPECT_EQ(Cmd(line), "keep.txt\r\nmoved.txt\r\nnew.txt");

    EXPECT_EQ(ReadUnix(realApp + "/keep.txt"), "real keep");
    EXPECT_EQ(ReadUnix(realApp + "/new.txt"), "<missing>");
    EXPECT_EQ(ReadUnix(realApp + "/first.txt"), "<missing>");
    EXPECT_EQ(ReadUnix(realApp + "/moved.txt"), "<missing>");
    EXPECT_EQ(ReadUnix(realOther + "/made.txt"), "beside\r\n");
    EXPECT_EQ(ReadUnix(virtualUnix + "/new.txt"), "private\r\n");
    EXPECT_EQ(ReadUnix(virtualUnix + "/keep.txt"), "overwritten\r\n");
    EXPECT_EQ(ReadUnix(virtualUnix + "/moved.txt"), "moving\r\n");
    // Many files at once under the rule folder, while the program's own
    // threads read theirs: all redirected, no hang (the command has a time
    // limit).
    wsprintfW(line, L"for /L %%i in (1,1,150) do @echo %%i>\"%s\\many%%i.dat\"", app);
    EXPECT_EQ(Cmd(line), "");
    int many = 0, leaked = 0;
    for (int i = 1; i <= 150; ++i) {
        char name[32];
        snprintf(name, sizeof name, "/many%d.dat", i);
        many += ReadUnix(virtualUnix + name) == std::to_string(i) + "\r\n";
        leaked += ReadUnix(realApp + name) != "<missing>";
    }
    EXPECT_EQ(many, 150);
    EXPECT_EQ(leaked, 0);
    wsprintfW(line, L"del \"%s\\many*.dat\"", app);
    Cmd(line);
    wsprintfW(line, L"del \"%s\\moved.txt\"", app);
    Cmd(line);
    EXPECT_EQ(ReadUnix(virtualUnix + "/moved.txt"), "<missing>");

    // A real file under the rule folder that has no copy is not what its
    // redirected open reaches, and it is not in the listing above either
    // (a program's listing looks every name up, and the lookup of this one
    // is redirected and finds nothing, so the entry is left out).
    wsprintfW(line, L"type \"%s\\old.txt\"", app);
    EXPECT_EQ(Cmd(line).find("real old"), std::string::npos);
    EXPECT_EQ(ReadUnix(realApp + "/old.txt"), "real old");

    // The program dies: within seconds C: is the real folder again for
    // every program, and the mount is gone.
    ASSERT_EQ(kill(atoi(pid.c_str()), SIGKILL), 0);
    bool back = false;
    for (int i = 0; i < 100 && !back; ++i) {
        back = LinkTarget(clean.link) == "../drive_c" && !SidestepMounted();
        if (!back)
            Sleep(100);
    }
    EXPECT_TRUE(back);
    wsprintfW(line, L"type \"%s\\keep.txt\"", app);
    EXPECT_EQ(Cmd(line), "real keep");
    wsprintfW(line, L"dir /b /on \"%s\"", app);
    EXPECT_EQ(Cmd(line), "keep.txt\r\nold.txt");
}

// A program that stops answering: the access waits for the time limit, then
// passes through to the real file; C: goes back and the stand-in unloads.
TEST(Interpose, ProgramThatStopsAnsweringIsPassedThroughAndUnloaded)
{
    CleanDriveC clean;
    ScratchDir src(L"iphsrc"), disk(L"iphdisk"), work(L"iphwork");
    TestDrive drive(L'T', disk.path);
    ASSERT_TRUE(drive.ok);
    ASSERT_TRUE(DefineDosDeviceW(DDD_RAW_TARGET_PATH, L"T:", FuseDevice));
    struct Undefine {
        ~Undefine()
        {
            SidestepStandinHoldAnswers(FALSE);
            SidestepStandinReset();
            FreeRedirectRules();
            FreeApplications();
            DefineDosDeviceW(DDD_RAW_TARGET_PATH | DDD_REMOVE_DEFINITION, L"T:", FuseDevice);
        }
    } undefine;
    WCHAR app[MAX_PATH], path[MAX_PATH], db[MAX_PATH], line[1024];
    wsprintfW(app, L"%s\\App", src.path);
    CreateDirectoryW(app, nullptr);
    wsprintfW(path, L"%s\\held.txt", app);
    ASSERT_TRUE(WriteText(path, "real held"));
    SetEnvironmentVariableW(L"VGTEST_IPSRC", src.path);
    char sql[2048];
    wsprintfA(sql, "%sinsert into apps values (1,'a','a',NULL,NULL,NULL,NULL);"
                   "insert into apppaths values (1,'%%VGTEST_IPSRC%%\\App\\','',1,0);", TraceSchemaSql());
    work.File(L"rules.db", db);
    ASSERT_EQ(MakeDatabase(db, sql), SQLITE_OK);
    ASSERT_EQ(OpenTraceDatabase(db), 1);
    ASSERT_EQ(LoadApplications(), 1);
    ASSERT_EQ(LoadRedirectRules(), 1);
    sqlite3_close(g_traceDb);
    g_traceDb = nullptr;
    ExpandRedirectRules();
    BindRedirectionDrive(L"T:", nullptr);
    SidestepStandinReset();
    SidestepStandinPreset(TRUE, FALSE);
    ASSERT_TRUE(StartRedirectionFilter());
    ASSERT_TRUE(SidestepStandinWaitConnected(20000));
    ASSERT_TRUE(SidestepMounted());

    SidestepStandinHoldAnswers(TRUE);
    DWORD start = GetTickCount();
    wsprintfW(line, L"type \"%s\"", path);
    EXPECT_EQ(Cmd(line), "real held");
    EXPECT_LT(GetTickCount() - start, 20000u);
    bool unloaded = false;
    for (int i = 0; i < 100 && !unloaded; ++i) {
        unloaded = !SidestepStandinIsLoaded() && !SidestepMounted() && LinkTarget(clean.link) == "../drive_c";
        if (!unloaded)
            Sleep(100);
    }
    EXPECT_TRUE(unloaded);
    SidestepStandinHoldAnswers(FALSE);
    EXPECT_EQ(StopRedirectionFilter(), HRESULT(0x801F0013));  // nothing left to unload
}
