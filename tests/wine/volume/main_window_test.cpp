// The tray window's use of the driver: the creation handler's warning when
// the container is already mounted, and the forced dismount when the medium
// holding a mounted container goes away.
#include "volume_support.h"

#include <dbt.h>
#include <shlwapi.h>
#include <sys/stat.h>
#include <unistd.h>

#include "Mount/main_window.h"
#include "Mount/tray_icon.h"
#include "volume/mount.h"

using namespace volume_test;

namespace {

class VolumeMainWindow : public VolumeTest {
protected:
    void SetUp() override
    {
        VolumeTest::SetUp();
        ASSERT_EQ(ConnectDriver(), 0u);
        WNDCLASSW wc = {};
        wc.lpfnWndProc = MainWndProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"MainWnd";
        RegisterClassW(&wc);
    }
};

TEST_F(VolumeMainWindow, CreationWarnsWhenTheContainerIsMounted)
{
    // The window looks for "vdisk.dat" beside the executable.
    char exe[MAX_PATH];
    GetModuleFileNameA(nullptr, exe, MAX_PATH);
    *StrRChrA(exe, nullptr, '\\') = 0;
    DeleteFileA(container.c_str());
    container = std::string(exe) + "\\vdisk.dat";
    DeleteFileA(container.c_str());
    ASSERT_TRUE(MakeContainer(container.c_str(), "pw", "pw"));
    int drive = FirstFreeDrive();
    ASSERT_EQ(Mount(drive, "pw"), 1);

    std::vector<Box> boxes = RunAnswering([&] {
        HWND hwnd = CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, L"MainWnd", L"", WS_POPUP, CW_USEDEFAULT,
                                    CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr,
                                    GetModuleHandleW(nullptr), nullptr);
        EXPECT_NE(hwnd, nullptr);
        EXPECT_EQ(std::string(g_szContainerPath), container);
        Sleep(500);  // the tray thread
        RemoveTrayIcon(hwnd);
        DestroyWindow(hwnd);
        g_hMainWnd = nullptr;
    });
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, Text(GetString("MOUNTED")));
    EXPECT_EQ(boxes[0].icon, 'W');
    EXPECT_EQ(g_handOvers, 1) << "the environment is not switched again";
    RunAnswering([&] { EXPECT_EQ(DismountWithRetry(nullptr, drive, FALSE), 1); });
}

TEST_F(VolumeMainWindow, RemovedMediumDismountsItsVolumeByForce)
{
    // A "removable" drive: a letter whose dosdevices link points at a folder
    // that holds the container.
    int drive = FirstFreeDrive();
    int medium = -1;
    for (int d = 25; d > drive; --d)
        if (IsDriveFree(d)) {
            medium = d;
            break;
        }
    ASSERT_GT(medium, drive);
    char unixFolder[] = "/tmp/vg-medium-XXXXXX";
    ASSERT_NE(mkdtemp(unixFolder), nullptr);
    std::string link = std::string(getenv("WINEPREFIX")) + "/dosdevices/" + char('a' + medium) + ":";
    ASSERT_EQ(symlink(unixFolder, link.c_str()), 0);
    DeleteFileA(container.c_str());
    container = std::string(1, char('A' + medium)) + ":\\vdisk.dat";
    ASSERT_TRUE(MakeContainer(container.c_str(), "pw", "pw"));

    QdskPassword pw = Password("pw");
    MountOptions options = {};
    int result = 0;
    RunAnswering([&] { result = MountVolume(nullptr, drive, container.c_str(), &pw, TRUE, FALSE, &options, 1); });
    ASSERT_EQ(result, 1);
    EXPECT_TRUE(AnyVolumeMounted()) << "the menu offers Logoff";
    HANDLE held = CreateFileA((std::string(1, char('A' + drive)) + ":\\open.txt").c_str(), GENERIC_WRITE, 0,
                              nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE) << "an open file does not stop a forced dismount";

    DEV_BROADCAST_VOLUME record = {};
    record.dbcv_size = sizeof(record);
    record.dbcv_devicetype = DBT_DEVTYP_VOLUME;
    record.dbcv_unitmask = 1u << medium;

    // The program's own broadcasts are ignored.
    IgnoreDeviceChange = 1;
    MainWndProc(nullptr, WM_DEVICECHANGE, DBT_DEVICEREMOVECOMPLETE, reinterpret_cast<LPARAM>(&record));
    IgnoreDeviceChange = 0;
    EXPECT_TRUE(GetLogicalDrives() & (1u << drive));
    // Another drive going away leaves the volume alone.
    record.dbcv_unitmask = 1u << (medium == 25 ? 24 : 25);
    MainWndProc(nullptr, WM_DEVICECHANGE, DBT_DEVICEREMOVECOMPLETE, reinterpret_cast<LPARAM>(&record));
    EXPECT_TRUE(GetLogicalDrives() & (1u << drive));

    record.dbcv_unitmask = 1u << medium;
    std::vector<Box> boxes = RunAnswering([&] {
        MainWndProc(nullptr, WM_DEVICECHANGE, DBT_DEVICEREMOVECOMPLETE, reinterpret_cast<LPARAM>(&record));
    });
    EXPECT_TRUE(boxes.empty());
    EXPECT_FALSE(GetLogicalDrives() & (1u << drive));
    EXPECT_FALSE(AnyVolumeMounted());
    EXPECT_TRUE(IsPasswordCacheEmpty()) << "the cache is wiped after the forced dismount";
    CloseHandle(held);

    DeleteFileA(container.c_str());
    unlink(link.c_str());
    rmdir(unixFolder);
    container = folder + "vdisk.dat";
}

int g_driveEvents;
bool g_ownSeen;

LRESULT CALLBACK CountingWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_DEVICECHANGE && wParam == DBT_DEVICEREMOVECOMPLETE) {
        ++g_driveEvents;
        g_ownSeen = IsOwnDriveBroadcast(lParam) != FALSE;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

TEST_F(VolumeMainWindow, OwnDriveBroadcastArrivesOnceAndIsKnownAsOwn)
{
    WNDCLASSW wc = {};
    wc.lpfnWndProc = CountingWndProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"VgDriveEvents";
    RegisterClassW(&wc);
    HWND window = CreateWindowW(L"VgDriveEvents", L"", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(window, nullptr);
    g_driveEvents = 0;
    g_ownSeen = false;
    BroadcastDriveChange(DBT_DEVICEREMOVECOMPLETE, 0, 1u << 23);
    MSG m;
    for (int i = 0; i < 20; ++i) {
        while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&m);
        Sleep(10);
    }
    EXPECT_EQ(g_driveEvents, 1) << "each window gets the event once";
    EXPECT_TRUE(g_ownSeen) << "the record that arrives is known as our own";
    // A removal of another drive is not ours.
    DEV_BROADCAST_VOLUME other = {};
    other.dbcv_size = sizeof other;
    other.dbcv_devicetype = DBT_DEVTYP_VOLUME;
    other.dbcv_unitmask = 1u << 22;
    EXPECT_FALSE(IsOwnDriveBroadcast(reinterpret_cast<LPARAM>(&other)));
    DestroyWindow(window);
}

}  // namespace
