// The automatic logoffs: the main window's timer logs off once per
// screen-saver start, with a forced dismount and without asking, and wipes
// the password cache; a file that another program holds open on the drive at
// logoff (the menu's Logoff, which asks; the end of the Windows session,
// which cannot) makes the logoff leave privacy mode twice, which must lose
// nothing of either mode. Logoff
// restarts the shell and switches the environment back, so this runs alone.
#include "volume_support.h"

#include "Mount/main_window.h"
#include "Mount/processes.h"
#include "Mount/session_flows.h"
#include "Mount/tray_icon.h"
#include "env/mode_marker.h"
#include "env/privacy_env.h"
#include "wine/env/switch_test_support.h"

using namespace volume_test;

namespace {

class SessionLogoff : public VolumeTest {};

TEST_F(SessionLogoff, ScreenSaverStartLogsOffOnce)
{
    ASSERT_EQ(ConnectDriver(), 0u);
    ASSERT_TRUE(MakeContainer(container.c_str(), "pw", "pw"));
    int drive = FirstFreeDrive();
    ASSERT_EQ(Mount(drive, "pw"), 1);
    // A file open on the volume: only a forced dismount gets past it.
    HANDLE held = CreateFileA((std::string(1, char('A' + drive)) + ":\\open.txt").c_str(), GENERIC_WRITE, 0,
                              nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);

    // The timer acts only while the program shows its icon.
    g_hTrayMutex = CreateMutexA(nullptr, FALSE, nullptr);
    BOOL running = TRUE;
    ASSERT_TRUE(SystemParametersInfoW(SPI_SETSCREENSAVERRUNNING, TRUE, nullptr, 0));
    ASSERT_TRUE(SystemParametersInfoW(SPI_GETSCREENSAVERRUNNING, 0, &running, 0));
    ASSERT_TRUE(running) << "the screen saver cannot be made to look running here";

    std::vector<Box> boxes = RunAnswering([] { MainWndProc(nullptr, WM_TIMER, 1, 0); });
    EXPECT_TRUE(boxes.empty()) << "the automatic logoff asks nothing";
    EXPECT_FALSE(GetLogicalDrives() & (1u << drive)) << "the volume was dismounted by force";
    CloseHandle(held);
    QdskStandinCounters counters = {};
    QdskStandinGetCounters(&counters);
    EXPECT_EQ(counters.forcedDismountRequests, 1u);
    EXPECT_TRUE(IsPasswordCacheEmpty());

    // Still the same screen-saver run: no second logoff.
    ASSERT_EQ(Mount(drive, "pw"), 1);
    RunAnswering([] { MainWndProc(nullptr, WM_TIMER, 1, 0); });
    EXPECT_TRUE(GetLogicalDrives() & (1u << drive)) << "logged off twice in one screen-saver run";

    // The screen saver ends and starts again: the next logoff.
    SystemParametersInfoW(SPI_SETSCREENSAVERRUNNING, FALSE, nullptr, 0);
    RunAnswering([] { MainWndProc(nullptr, WM_TIMER, 1, 0); });
    EXPECT_TRUE(GetLogicalDrives() & (1u << drive));
    SystemParametersInfoW(SPI_SETSCREENSAVERRUNNING, TRUE, nullptr, 0);
    RunAnswering([] { MainWndProc(nullptr, WM_TIMER, 1, 0); });
    EXPECT_FALSE(GetLogicalDrives() & (1u << drive)) << "a new screen-saver start logs off again";
    SystemParametersInfoW(SPI_SETSCREENSAVERRUNNING, FALSE, nullptr, 0);

    Sleep(500);  // the normal-mode icon's thread
    RemoveTrayIcon(nullptr);
    if (g_hTrayMutex) {
        CloseHandle(g_hTrayMutex);
        g_hTrayMutex = nullptr;
    }
    // The shell the logoff started holds this process's output.
    EndExplorerProcesses();
}

TEST_F(SessionLogoff, FileOpenAtLogoffKeepsBothModes)
{
    using switch_test::ReadValue;
    using switch_test::RegValue;
    using switch_test::WriteValue;
    const WCHAR kApp[] = L"Software\\VgLogoffApp", kMru[] = L"Software\\VgLogoffApp\\MRU";
    auto text = [](const WCHAR *t) { return switch_test::Text(REG_SZ, t); };
    switch_test::PrefixSnapshot snapshot;
    ScratchDir work{L"logoffopen"};
    ASSERT_TRUE(switch_test::LoadTables(
        work, "insert into apps values (1,'App','','HKCU\\Software\\VgLogoffApp',NULL,'a.exe',NULL);"
              "insert into appregs values ('HKEY_CURRENT_USER','Software\\VgLogoffApp','LastFile',1);"
              "insert into appregs values ('HKEY_CURRENT_USER','Software\\VgLogoffApp\\MRU',NULL,1);"));
    WriteValue(HKEY_CURRENT_USER, kApp, L"LastFile", text(L"C:\\normal.doc"));
    WriteValue(HKEY_CURRENT_USER, kMru, L"a", text(L"normal-1"));
    const RegValue temp = ReadValue(HKEY_CURRENT_USER, L"Environment", L"TEMP");
    const RegValue personal = ReadValue(HKEY_CURRENT_USER, switch_test::kUserShellFolders, L"Personal");

    ASSERT_EQ(ConnectDriver(), 0u);
    ASSERT_TRUE(MakeContainer(container.c_str(), "pw", "pw"));
    const int drive = FirstFreeDrive();
    const WCHAR letter = static_cast<WCHAR>(L'A' + drive);
    auto login = [&] {
        ASSERT_EQ(Mount(drive, "pw"), 1);
        WCHAR festTemplate[MAX_PATH], fest[16];
        BuildBinFile(L"fest.sys", festTemplate);
        wsprintfW(fest, L"%c:\\fest.sys", letter);
        CopyFileW(festTemplate, fest, TRUE);  // kept in the container after the first time
        RunAnswering([letter] { EnterPrivacyEnvironment(letter); });
        ASSERT_EQ(ReadModeMarkerIsPrivate(), 1);
    };
    // Another program holds a file open on the drive, as an editor would.
    HANDLE holder = nullptr;
    struct EndsHolder {
        HANDLE &h;
        ~EndsHolder()
        {
            if (h)
                TerminateProcess(h, 0);
        }
    } endsHolder{holder};
    auto holdFile = [&] {
        holder = StartChild("hold", std::string(1, char(letter)) + ":\\held.txt");
        ASSERT_NE(holder, nullptr);
        ASSERT_TRUE(ChildReady(holder));
    };
    auto endHolder = [&] {
        TerminateProcess(holder, 0);
        WaitForSingleObject(holder, 20000);
        CloseHandle(holder);
        holder = nullptr;
    };
    auto expectNormal = [&](const char *when) {
        EXPECT_FALSE(GetLogicalDrives() & (1u << drive)) << when;
        EXPECT_EQ(ReadModeMarkerIsPrivate(), 0) << when;
        EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, kApp, L"LastFile"), text(L"C:\\normal.doc")) << when;
        EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, kMru, L"a"), text(L"normal-1")) << when;
        EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, L"Environment", L"TEMP"), temp) << when;
        EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, switch_test::kUserShellFolders, L"Personal"), personal) << when;
    };
    auto expectPrivate = [&](const char *when) {
        EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, kApp, L"LastFile"), text(L"V:\\private.doc")) << when;
        EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, kMru, L"a"), text(L"private-1")) << when;
    };

    login();
    WriteValue(HKEY_CURRENT_USER, kApp, L"LastFile", text(L"V:\\private.doc"));
    WriteValue(HKEY_CURRENT_USER, kMru, L"a", text(L"private-1"));

    // The user's logoff with a file open: the user is asked whether to
    // force. "No" keeps the volume, with the environment back in normal
    // mode; the next Logoff asks again, and "Yes" forces the dismount.
    holdFile();
    const std::u16string fileUsed(reinterpret_cast<const char16_t *>(GetString("FILEUSED")));
    // The filter thread's warning that no filter could be loaded (none
    // here) may come at any time: only the question counts.
    auto questions = [&](const std::vector<Box> &shown) {
        int n = 0;
        for (const Box &b : shown)
            n += b.text == fileUsed;
        return n;
    };
    std::vector<Box> boxes = RunAnswering([] { UserLogoff(nullptr); }, {IDNO}, fileUsed);
    EXPECT_EQ(questions(boxes), 1);
    EXPECT_TRUE(GetLogicalDrives() & (1u << drive)) << "the volume stays after No";
    EXPECT_EQ(ReadModeMarkerIsPrivate(), 0);
    EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, kApp, L"LastFile"), text(L"C:\\normal.doc"));
    boxes = RunAnswering([] { UserLogoff(nullptr); }, {IDYES}, fileUsed);
    EXPECT_EQ(questions(boxes), 1);
    endHolder();
    expectNormal("after the logoff that was asked to force");
    login();
    expectPrivate("at the login after the logoff that was asked to force");
    EXPECT_EQ(ReadAll((std::string(1, char(letter)) + ":\\held.txt").c_str()), "held by another process.")
        << "the held file as it was at the dismount";

    // The end of the Windows session with a file open: an unforced logoff
    // that gives up, then a forced one.
    g_hTrayMutex = CreateMutexA(nullptr, FALSE, nullptr);
    holdFile();
    boxes = RunAnswering([] { MainWndProc(nullptr, WM_ENDSESSION, TRUE, 0); });
    EXPECT_EQ(questions(boxes), 0) << "nobody to ask at the end of the session";
    endHolder();
    expectNormal("after the end of the session");
    login();
    expectPrivate("at the login after the end of the session");
    RunAnswering([] { Logoff(nullptr, TRUE, FALSE, 10, 50); });
    expectNormal("after the last logoff");

    switch_test::FreeTables();
    Sleep(500);  // the normal-mode icon's thread
    RemoveTrayIcon(nullptr);
    CloseHandle(g_hTrayMutex);
    g_hTrayMutex = nullptr;
    // The shell the logoff started holds this process's output.
    EndExplorerProcesses();
}

}  // namespace
