// The filter connection against the minifilter stand-in: loading and the one
// installation, serving requests on the pool (decisions, MessageIds, many
// requesters at once, malformed requests), the clean end of every thread and
// handle, the order of starts and stops of sessions, and the logoff when the
// minifilter cannot be found.
#include "gtest_wine.h"

#include <tlhelp32.h>
#include <winternl.h>

#include <set>
#include <string>
#include <vector>

#include "../env/trace_test_support.h"
#include "Mount/app_state.h"
#include "Mount/msgbox.h"
#include "Mount/language.h"
#include "Mount/resource.h"
#include "redirect/filter_records.h"
#include "redirect/redirect_rules.h"
#include "redirect/redirection_filter.h"
#include "standin/sidestep/sidestep_standin.h"

namespace {

int ThreadCount()
{
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    int n = 0;
    for (BOOL ok = Thread32First(snap, &entry); ok; ok = Thread32Next(snap, &entry))
        if (entry.th32OwnerProcessID == GetCurrentProcessId())
            ++n;
    CloseHandle(snap);
    return n;
}

int HandleCount()
{
    std::vector<unsigned char> buffer(1 << 20);
    ULONG needed = 0;
    NTSTATUS status;
    while ((status = NtQuerySystemInformation(SystemHandleInformation, buffer.data(), ULONG(buffer.size()),
                                              &needed)) == NTSTATUS(0xC0000004))  // length mismatch
        buffer.resize(buffer.size() * 2);
    if (status != 0)
        return -1;
    auto *info = reinterpret_cast<SYSTEM_HANDLE_INFORMATION *>(buffer.data());
    int n = 0;
    for (ULONG i = 0; i < info->Count; ++i)
        if (info->Handle[i].OwnerPid == GetCurrentProcessId())
            ++n;
    return n;
}

// Mounts of the stand-in's file system on this machine.
int SidestepMounts()
{
    FILE *f = fopen("/proc/self/mounts", "r");
    if (!f)
        return -1;
    char line[8192];
    int n = 0;
    while (fgets(line, sizeof line, f))
        n += strstr(line, "fuse.sidestep") != nullptr;
    fclose(f);
    return n;
}

// Waits (pumping this thread's messages) until the counts are back to the
// baseline; the last counts seen.
void WaitForBaseline(int threads, int handles, int *threadsNow, int *handlesNow)
{
    for (int i = 0; i < 500; ++i) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
        *threadsNow = ThreadCount();
        *handlesNow = HandleCount();
        if (*threadsNow <= threads && *handlesNow <= handles)
            return;
        Sleep(20);
    }
}

// The redirection device: longer than the volume part of the test's own
// paths, so that a long path can make a target that does not fit.
const WCHAR Device[] = L"\\Device\\VgTestDiskForRedirectedFiles";

std::u16string Text(const WCHAR *s) { return std::u16string(reinterpret_cast<const char16_t *>(s)); }

class FilterConnection : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetPreferredLanguage("en");
        ASSERT_EQ(LoadLanguage(), 1);
        lstrcpynW(g_szProgramTitle, GetString("VGRD"), ARRAYSIZE(g_szProgramTitle));
        SidestepStandinReset();
        TestProgramFolder(folder);
        wsprintfW(inf, L"%s\\sidestep.inf", folder);
        DeleteFileW(inf);
    }
    void TearDown() override
    {
        SidestepStandinReset();
        DeleteFileW(inf);
        FreeRedirectRules();
        FreeApplications();
    }

    // One recursive rule for <src>\App\ bound to drive T: (device
    // Device), whose folder is disk.
    void LoadRules(const ScratchDir &src)
    {
        SetEnvironmentVariableW(L"VGTEST_FSRC", src.path);
        char sql[2048];
        wsprintfA(sql,
                  "%s"
                  "insert into apps values (1,'a','a',NULL,NULL,NULL,NULL);"
                  "insert into apppaths values (1,'%%VGTEST_FSRC%%\\App\\','',1,0);",
                  TraceSchemaSql());
        WCHAR db[MAX_PATH];
        ASSERT_TRUE(OpenTraceDatabaseFromSql(src, sql, db));
        ASSERT_EQ(LoadApplications(), 1);
        ASSERT_EQ(LoadRedirectRules(), 1);
        CloseTraceDatabase(db);
        ExpandRedirectRules();
        ASSERT_EQ(g_ruleCount, 1);
        ASSERT_NE(g_rules[0]->devicePath, nullptr);
        BindRedirectionDrive(L"T:", Device);
    }

    void WriteInf()
    {
        ASSERT_TRUE(WriteText(inf, "[Version]\r\nSignature=\"$Windows NT$\"\r\n[DefaultInstall]\r\n"));
    }

    WCHAR folder[MAX_PATH], inf[MAX_PATH];
};

} // namespace

TEST_F(FilterConnection, ServesEveryRequestOnThePoolAndEndsCleanly)
{
    ScratchDir src(L"fsrc"), disk(L"fdisk");
    TestDrive drive(L'T', disk.path);
    ASSERT_TRUE(drive.ok);
    LoadRules(src);
    const WCHAR *ruleDevice = g_rules[0]->devicePath;
    SidestepStandinPreset(TRUE, FALSE);

    const int threads = ThreadCount(), handles = HandleCount();
    ASSERT_GT(handles, 0);
    ASSERT_TRUE(StartRedirectionFilter());
    ASSERT_TRUE(SidestepStandinWaitConnected(10000));
    EXPECT_EQ(SidestepMounts(), 1);
    // The pool: 64 workers beside the filter thread and the reader, and the
    // four threads that relay the file system's questions.
    for (int i = 0; i < 250 && ThreadCount() < threads + 70; ++i)
        Sleep(20);
    EXPECT_EQ(ThreadCount(), threads + 70);
    WCHAR context[MAX_PATH];
    SidestepStandinContext(context);
    EXPECT_WSTREQ(context, Device);

    // Covered: the device and the path below the volume root; the folder is
    // made on the drive.
    WCHAR covered[512], declined[512], expected[600], local[MAX_PATH];
    wsprintfW(covered, L"%sSub\\Deep\\data.ini", ruleDevice);
    const WCHAR *rest = StrChrW(StrChrW(covered + 1, L'\\') + 1, L'\\') + 1;
    wsprintfW(expected, L"%s\\%s", Device, rest);
    wsprintfW(local, L"T:\\%s", StrChrW(StrChrW(g_rules[0]->path, L'\\'), L'\\') + 1);
    lstrcatW(local, L"Sub\\Deep");
    ASSERT_FALSE(FileExists(local));
    SidestepAnswer answer;
    ASSERT_TRUE(SidestepStandinAsk(covered, &answer));
    EXPECT_EQ(answer.status, 0);
    EXPECT_NE(answer.messageId, 0u);
    EXPECT_WSTREQ(answer.target, expected);
    EXPECT_TRUE(FileExists(local));
    // Declined: status 0, its MessageId, an empty target.
    lstrcpyW(declined, ruleDevice);
    lstrcpyW(declined + lstrlenW(declined) - 4, L"Other\\data.ini");  // a sibling of App
    ULONGLONG previous = answer.messageId;
    ASSERT_TRUE(SidestepStandinAsk(declined, &answer));
    EXPECT_EQ(answer.status, 0);
    EXPECT_GT(answer.messageId, previous);
    EXPECT_EQ(answer.target[0], 0);

    // Malformed requests are answered "not redirected" and serving goes on.
    unsigned char raw[REDIRECT_WIRE_SIZE];
    FilterMessageHeader header = {REDIRECT_WIRE_SIZE, 0};
    memcpy(raw, &header, sizeof header);
    WCHAR *path = reinterpret_cast<WCHAR *>(raw + sizeof header);
    for (int i = 0; i < REDIRECT_PATH_UNITS; ++i)  // no terminator at all
        path[i] = covered[i % lstrlenW(covered)];
    ASSERT_TRUE(SidestepStandinAskRaw(raw, sizeof raw, &answer));
    EXPECT_EQ(answer.target[0], 0);
    ZeroMemory(path, REDIRECT_PATH_UNITS * sizeof(WCHAR));
    lstrcpyW(path, covered);  // its terminator lies beyond the bytes sent
    ASSERT_TRUE(SidestepStandinAskRaw(raw, DWORD(sizeof header + lstrlenW(covered) * sizeof(WCHAR)), &answer));
    EXPECT_EQ(answer.target[0], 0);
    ASSERT_TRUE(SidestepStandinAskRaw(raw, DWORD(sizeof header + lstrlenW(covered) * sizeof(WCHAR) + 1), &answer));
    EXPECT_EQ(answer.target[0], 0);
    header.ReplyLength = 0xFFFFFFFF;  // a nonsense length field changes nothing
    memcpy(raw, &header, sizeof header);
    ASSERT_TRUE(SidestepStandinAskRaw(raw, sizeof raw, &answer));
    EXPECT_WSTREQ(answer.target, expected);
    ASSERT_TRUE(SidestepStandinAskRaw(raw, 10, &answer));  // too short to answer
    ASSERT_TRUE(SidestepStandinAskRaw(raw, 0, &answer));
    // Too long for the reply's 511 units: not redirected.
    WCHAR longPath[512];
    lstrcpyW(longPath, ruleDevice);
    for (int n = lstrlenW(longPath); n < 511; ++n)
        longPath[n] = (n % 50 == 0) ? L'\\' : L'a';
    longPath[511] = 0;
    ASSERT_TRUE(SidestepStandinAsk(longPath, &answer));
    EXPECT_EQ(answer.target[0], 0);

    // 10,000 requests from 8 requesters, each answered exactly once with its
    // own MessageId and its own decision.
    const size_t count = 10000;
    std::vector<std::vector<WCHAR>> texts(count, std::vector<WCHAR>(512));
    std::vector<const WCHAR *> paths(count);
    for (size_t i = 0; i < count; ++i) {
        if (i % 3)
            wsprintfW(texts[i].data(), L"%sd%u\\f%u.dat", ruleDevice, unsigned(i % 7), unsigned(i));
        else
            wsprintfW(texts[i].data(), L"%sf%u.dat", declined, unsigned(i));
        paths[i] = texts[i].data();
    }
    std::vector<SidestepAnswer> answers(count);
    ASSERT_EQ(SidestepStandinAskMany(paths.data(), count, 8, answers.data(), nullptr), count);
    std::set<ULONGLONG> ids;
    size_t right = 0;
    for (size_t i = 0; i < count; ++i) {
        ids.insert(answers[i].messageId);
        WCHAR want[600] = {};
        if (i % 3)
            wsprintfW(want, L"%s\\%s", Device, StrChrW(StrChrW(paths[i] + 1, L'\\') + 1, L'\\') + 1);
        right += answers[i].status == 0 && lstrcmpW(answers[i].target, want) == 0;
    }
    EXPECT_EQ(ids.size(), count);
    EXPECT_EQ(right, count);
    SidestepStandinCounters counters;
    SidestepStandinGetCounters(&counters);
    EXPECT_EQ(counters.sent, LONG64(count + 9));
    EXPECT_EQ(counters.answered, LONG64(count + 7));  // all but the two too short
    EXPECT_EQ(counters.unmatched, 0);

    // The unload ends the 64 workers, then the filter thread, whose own
    // unload finds nothing to unload; every handle is closed again.
    EXPECT_EQ(StopRedirectionFilter(), S_OK);
    int threadsNow = 0, handlesNow = 0;
    WaitForBaseline(threads, handles, &threadsNow, &handlesNow);
    EXPECT_EQ(threadsNow, threads);
    EXPECT_EQ(handlesNow, handles);
    EXPECT_EQ(SidestepMounts(), 0);
    SidestepStandinGetCounters(&counters);
    EXPECT_EQ(counters.loads, 1);
    EXPECT_EQ(counters.unloads, 1);
    EXPECT_EQ(counters.installAttempts, 0);
    EXPECT_FALSE(SidestepStandinAsk(covered, &answer));
    EXPECT_NE(StopRedirectionFilter(), S_OK);
}

TEST_F(FilterConnection, InstallsOnceFromTheInfAndConnectsToALoadedFilter)
{
    ScratchDir src(L"fsrc2"), disk(L"fdisk2");
    TestDrive drive(L'T', disk.path);
    ASSERT_TRUE(drive.ok);
    LoadRules(src);
    WriteInf();
    WCHAR covered[512];
    wsprintfW(covered, L"%sx.dat", g_rules[0]->devicePath);
    const int threads = ThreadCount(), handles = HandleCount();

    // Not installed: one installation from the INF, then loaded and served.
    ASSERT_TRUE(StartRedirectionFilter());
    ASSERT_TRUE(SidestepStandinWaitConnected(10000));
    SidestepAnswer answer;
    ASSERT_TRUE(SidestepStandinAsk(covered, &answer));
    EXPECT_NE(answer.target[0], 0);
    SidestepStandinCounters counters;
    SidestepStandinGetCounters(&counters);
    EXPECT_EQ(counters.installAttempts, 1);
    EXPECT_EQ(counters.installs, 1);
    EXPECT_EQ(counters.loads, 1);
    EXPECT_EQ(StopRedirectionFilter(), S_OK);
    int threadsNow = 0, handlesNow = 0;
    WaitForBaseline(threads, handles, &threadsNow, &handlesNow);
    EXPECT_EQ(threadsNow, threads);

    // Already loaded by someone else: the load fails, the connection is made.
    SidestepStandinPreset(TRUE, TRUE);
    ASSERT_TRUE(StartRedirectionFilter());
    ASSERT_TRUE(SidestepStandinWaitConnected(10000));
    ASSERT_TRUE(SidestepStandinAsk(covered, &answer));
    EXPECT_NE(answer.target[0], 0);
    SidestepStandinGetCounters(&counters);
    EXPECT_EQ(counters.installAttempts, 1);
    EXPECT_EQ(counters.loads, 1);
    EXPECT_EQ(counters.connects, 2);
    EXPECT_EQ(StopRedirectionFilter(), S_OK);
    WaitForBaseline(threads, handles, &threadsNow, &handlesNow);
    EXPECT_EQ(threadsNow, threads);
    EXPECT_EQ(handlesNow, handles);
}

namespace {

DWORD WINAPI ReleaseLoadsLater(LPVOID)
{
    Sleep(300);
    SidestepStandinHoldLoads(FALSE);
    return 0;
}

} // namespace

TEST_F(FilterConnection, StopBeforeLoadRestartAfterStopAndManyCyclesLeaveNothingBehind)
{
    ScratchDir src(L"fsrc3"), disk(L"fdisk3");
    TestDrive drive(L'T', disk.path);
    ASSERT_TRUE(drive.ok);
    LoadRules(src);
    WCHAR covered[512];
    wsprintfW(covered, L"%sx.dat", g_rules[0]->devicePath);
    SidestepStandinPreset(TRUE, FALSE);
    const int threads = ThreadCount(), handles = HandleCount();
    int threadsNow = 0, handlesNow = 0;

    // The stop arrives while the thread's load is still on its way: the
    // session never serves, and the minifilter is not left loaded.
    SidestepStandinHoldLoads(TRUE);
    ASSERT_TRUE(StartRedirectionFilter());
    for (int i = 0; i < 500 && SidestepStandinLoadsWaiting() == 0; ++i)
        Sleep(10);
    ASSERT_EQ(SidestepStandinLoadsWaiting(), 1);
    HANDLE releaser = CreateThread(nullptr, 0, ReleaseLoadsLater, nullptr, 0, nullptr);
    ASSERT_NE(releaser, nullptr);
    StopRedirectionFilter();
    EXPECT_EQ(WaitForSingleObject(releaser, 10000), WAIT_OBJECT_0);
    CloseHandle(releaser);
    WaitForBaseline(threads, handles, &threadsNow, &handlesNow);
    EXPECT_EQ(threadsNow, threads);
    EXPECT_EQ(handlesNow, handles);
    EXPECT_FALSE(SidestepStandinIsLoaded());
    EXPECT_FALSE(SidestepStandinWaitConnected(300));
    SidestepStandinCounters counters;
    SidestepStandinGetCounters(&counters);
    EXPECT_EQ(counters.connects, 0);
    EXPECT_EQ(counters.loads - counters.unloads, 0);

    // Each session starts right after the previous stop: the old thread's
    // end never unloads the new session's minifilter, and each one serves.
    const int cycles = 8;
    int served = 0;
    for (int i = 0; i < cycles; ++i) {
        ASSERT_TRUE(StartRedirectionFilter());
        SidestepAnswer answer = {};
        if (SidestepStandinWaitConnected(10000) && SidestepStandinAsk(covered, &answer) && answer.target[0])
            ++served;
        EXPECT_EQ(StopRedirectionFilter(), S_OK) << "cycle " << i;
    }
    EXPECT_EQ(served, cycles);
    WaitForBaseline(threads, handles, &threadsNow, &handlesNow);
    EXPECT_EQ(threadsNow, threads);
    EXPECT_EQ(handlesNow, handles);
    SidestepStandinGetCounters(&counters);
    EXPECT_EQ(counters.connects, cycles);
    // The file system answers every stop: a lost answer would hold the
    // logoff, and the pool, for the whole time limit.
    EXPECT_EQ(counters.stopsAnswered, cycles);
    EXPECT_EQ(counters.loads, counters.unloads);
    EXPECT_FALSE(SidestepStandinIsLoaded());
    // Each connection served C: through the file system; none is left.
    EXPECT_EQ(SidestepMounts(), 0);

    // Freeing the rules ends a session still serving before the workers
    // could read freed memory.
    ASSERT_TRUE(StartRedirectionFilter());
    ASSERT_TRUE(SidestepStandinWaitConnected(10000));
    FreeRedirectRules();
    EXPECT_FALSE(SidestepStandinIsLoaded());
    WaitForBaseline(threads, handles, &threadsNow, &handlesNow);
    EXPECT_EQ(threadsNow, threads);
    EXPECT_EQ(handlesNow, handles);
}

namespace {

int g_logoffs, g_otherCommands, g_nestedLogoffs;
bool g_inBroadcast;

LRESULT CALLBACK MainWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_COMMAND) {
        if (LOWORD(wParam) == IDM_LOGOFF && lParam == 1) {
            ++g_logoffs;
            g_nestedLogoffs += g_inBroadcast;
        }
        else
            ++g_otherCommands;
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

// Another thread's window, standing for the windows a broadcast of the
// login waits for: answers once the filter thread has tried to install.
LRESULT CALLBACK SlowWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_APP) {
        SidestepStandinCounters counters = {};
        for (int i = 0; i < 500 && counters.installAttempts == 0; ++i) {
            Sleep(10);
            SidestepStandinGetCounters(&counters);
        }
        Sleep(300);
        return 1;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

DWORD WINAPI SlowWindowThread(LPVOID param)
{
    HWND *slow = static_cast<HWND *>(param);
    *slow = CreateWindowExW(0, L"VgFilterTestSlow", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                            GetModuleHandleW(nullptr), nullptr);
    MSG msg;
    while (*slow && GetMessageW(&msg, nullptr, 0, 0) > 0)
        DispatchMessageW(&msg);
    return 0;
}

} // namespace

TEST_F(FilterConnection, MissingFilterLogsOffAndWarns)
{
    WNDCLASSW wc = {};
    wc.lpfnWndProc = MainWindowProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"VgFilterTestMain";
    ASSERT_NE(RegisterClassW(&wc), 0);
    HWND main = CreateWindowExW(0, wc.lpszClassName, L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                wc.hInstance, nullptr);
    ASSERT_NE(main, nullptr);
    wc.lpfnWndProc = SlowWindowProc;
    wc.lpszClassName = L"VgFilterTestSlow";
    ASSERT_NE(RegisterClassW(&wc), 0);
    SetRedirectionFilterLogoff(main, IDM_LOGOFF);
    const int threads = ThreadCount(), handles = HandleCount();
    HWND slow = nullptr;
    HANDLE slowThread = CreateThread(nullptr, 0, SlowWindowThread, &slow, 0, nullptr);
    ASSERT_NE(slowThread, nullptr);
    for (int i = 0; i < 500 && !slow; ++i)
        Sleep(10);
    ASSERT_NE(slow, nullptr);

    // No INF beside the program: one attempt, then the logoff, then the box.
    // The logoff waits until the session flow is back from its broadcast.
    ASSERT_TRUE(StartRedirectionFilter());
    g_inBroadcast = true;
    DWORD_PTR result = 0;
    EXPECT_NE(SendMessageTimeoutW(slow, WM_APP, 0, 0, SMTO_NORMAL, 10000, &result), 0);
    g_inBroadcast = false;
    EXPECT_EQ(g_nestedLogoffs, 0);
    PostMessageW(slow, WM_QUIT, 0, 0);
    EXPECT_EQ(WaitForSingleObject(slowThread, 10000), WAIT_OBJECT_0);
    CloseHandle(slowThread);
    HWND box = nullptr;
    std::u16string text;
    int logoffsBeforeBox = -1;
    for (int i = 0; i < 500 && !box; ++i) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
        HWND found = FindWindowW(L"#32770", g_szProgramTitle);
        if (found && IsWindowVisible(found)) {
            box = found;
            logoffsBeforeBox = g_logoffs;
            WCHAR buffer[512] = {};
            GetWindowTextW(GetDlgItem(box, 0xFFFF), buffer, 512);
            text = Text(buffer);
            PostMessageW(box, WM_COMMAND, IDOK, 0);
        }
        Sleep(20);
    }
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(logoffsBeforeBox, 1);
    EXPECT_EQ(text, Text(GetString("WARNING360")));
    int threadsNow = 0, handlesNow = 0;
    WaitForBaseline(threads, handles, &threadsNow, &handlesNow);
    EXPECT_EQ(threadsNow, threads);
    EXPECT_EQ(g_logoffs, 1);
    EXPECT_EQ(g_otherCommands, 0);
    SidestepStandinCounters counters;
    SidestepStandinGetCounters(&counters);
    EXPECT_EQ(counters.installAttempts, 1);
    EXPECT_EQ(counters.installs, 0);
    EXPECT_EQ(counters.loads, 0);
    EXPECT_EQ(counters.connects, 0);
    SetRedirectionFilterLogoff(nullptr, 0);
    DestroyWindow(main);
}
