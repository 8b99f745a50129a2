// The automatic logoff when the screen saver starts: the main window's
// timer logs off once per screen-saver start, with a forced dismount and
// without asking, and wipes the password cache. Logoff restarts the shell
// and switches the environment back, so this runs alone.
#include "volume_support.h"

#include "Mount/main_window.h"
#include "Mount/processes.h"
#include "Mount/tray_icon.h"

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

}  // namespace
