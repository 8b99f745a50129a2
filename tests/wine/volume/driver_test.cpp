// Connecting to the volume driver through the stand-in: install and start,
// the version check in installed and portable copies, the messages when the
// driver file or the rights are missing, and the exit path.
#include "volume_support.h"

#include <shlwapi.h>

using namespace volume_test;

namespace volume_test {
int g_handOvers;
int g_handOverDrive;
}  // namespace volume_test

namespace {

const WCHAR MarkerKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\QDSK";

class VolumeDriver : public VolumeTest {
protected:
    void TearDown() override
    {
        RegDeleteKeyW(HKEY_LOCAL_MACHINE, MarkerKey);
        VolumeTest::TearDown();
    }
    static void MarkInstalled()
    {
        HKEY key;
        ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, MarkerKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                                  nullptr),
                  ERROR_SUCCESS);
        RegCloseKey(key);
    }
};

TEST_F(VolumeDriver, ConnectInstallsStartsAndStopsAtExit)
{
    ASSERT_FALSE(QdskStandinIsLoaded());
    EXPECT_EQ(ConnectDriver(), 0u);
    EXPECT_EQ(DriverVersion, 0x200u);
    EXPECT_NE(DriverHandle, INVALID_HANDLE_VALUE);
    QdskStandinCounters c;
    QdskStandinGetCounters(&c);
    EXPECT_EQ(c.serviceStarts, 1);
    EXPECT_EQ(GetDeviceRefCount(), 1);

    // A portable copy stops its driver at exit when nothing keeps it.
    DisconnectDriverAtExit();
    EXPECT_EQ(DriverHandle, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(QdskStandinIsLoaded());

    // Connecting again installs anew: the service entry went with the driver.
    EXPECT_EQ(ConnectDriver(), 0u);
    QdskStandinGetCounters(&c);
    EXPECT_EQ(c.serviceStarts, 2);

    // An installed program only closes its handle.
    MarkInstalled();
    DisconnectDriverAtExit();
    EXPECT_EQ(DriverHandle, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(QdskStandinIsLoaded());
}

TEST_F(VolumeDriver, UnloadBlockedOrSharedDriverStaysLoadedAtExit)
{
    ASSERT_EQ(ConnectDriver(), 0u);
    QdskStandinSetUnloadBlocked(1);
    DisconnectDriverAtExit();
    EXPECT_EQ(DriverHandle, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(QdskStandinIsLoaded());

    QdskStandinSetUnloadBlocked(0);
    ASSERT_EQ(ConnectDriver(), 0u);
    QdskStandinAddForeignReferences(1);  // another program holds the device
    EXPECT_EQ(GetDeviceRefCount(), 2);
    DisconnectDriverAtExit();
    EXPECT_TRUE(QdskStandinIsLoaded());
}

TEST_F(VolumeDriver, OtherVersionInInstalledCopyIsIncompatible)
{
    MarkInstalled();
    for (DWORD version : {0x1FFu, 0x201u}) {
        QdskStandinReset();
        QdskStandinLoadVersion(version);
        EXPECT_EQ(ConnectDriver(), 15u) << version;
        EXPECT_EQ(DriverVersion, version);
        EXPECT_EQ(DriverHandle, INVALID_HANDLE_VALUE);
        QdskStandinCounters c;
        QdskStandinGetCounters(&c);
        EXPECT_EQ(c.serviceStarts, 0) << "nothing installed";
        EXPECT_TRUE(QdskStandinIsLoaded());
    }
}

TEST_F(VolumeDriver, OtherVersionInPortableCopyIsReplaced)
{
    QdskStandinLoadVersion(0x1FF);
    EXPECT_EQ(ConnectDriver(), 0u);
    EXPECT_EQ(DriverVersion, 0x200u);
    QdskStandinCounters c;
    QdskStandinGetCounters(&c);
    EXPECT_EQ(c.serviceStarts, 1);

    // While another program holds the old driver it cannot be replaced.
    DisconnectDriverAtExit();
    QdskStandinReset();
    QdskStandinLoadVersion(0x201);
    QdskStandinAddForeignReferences(1);
    EXPECT_EQ(ConnectDriver(), 15u);
    EXPECT_EQ(DriverHandle, INVALID_HANDLE_VALUE);
    QdskStandinGetCounters(&c);
    EXPECT_EQ(c.serviceStarts, 0);
}

TEST_F(VolumeDriver, OwnInstalledDriverOfAnotherVersionIsStoppedAgain)
{
    QdskStandinSetFileVersion(0x1FE);  // the file beside the program is not ours
    EXPECT_EQ(ConnectDriver(), 15u);
    EXPECT_EQ(DriverVersion, 0x1FEu);
    EXPECT_EQ(DriverHandle, INVALID_HANDLE_VALUE);
    QdskStandinCounters c;
    QdskStandinGetCounters(&c);
    EXPECT_EQ(c.serviceStarts, 1);
    EXPECT_FALSE(QdskStandinIsLoaded()) << "what we started is stopped again";
    QdskStandinSetFileVersion(0x200);
}

TEST_F(VolumeDriver, MissingDriverFileShowsNoDriver)
{
    WCHAR exe[MAX_PATH], sys[MAX_PATH], aside[MAX_PATH];
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    *StrRChrW(exe, nullptr, L'\\') = 0;
    wsprintfW(sys, L"%s\\qdsk.sys", exe);
    wsprintfW(aside, L"%s\\qdsk.sys.aside", exe);
    ASSERT_NE(GetFileAttributesW(sys), INVALID_FILE_ATTRIBUTES) << "the build places the placeholder";
    ASSERT_TRUE(MoveFileW(sys, aside));
    DWORD result = 0;
    std::vector<Box> boxes = RunAnswering([&] { result = ConnectDriver(); });
    MoveFileW(aside, sys);
    EXPECT_EQ(result, 28u);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, Text(GetString("NO_DRIVER")));
    EXPECT_EQ(boxes[0].icon, 'E');
    EXPECT_FALSE(QdskStandinIsLoaded());
}

TEST_F(VolumeDriver, NoAccessToServiceManagerShowsAdministrator)
{
    QdskStandinDenyManager(TRUE);
    DWORD result = 0;
    std::vector<Box> boxes = RunAnswering([&] { result = ConnectDriver(); });
    EXPECT_EQ(result, 28u);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, Text(GetString("ADMINISTRATOR")));
    EXPECT_EQ(boxes[0].icon, 'E');
}

TEST_F(VolumeDriver, RequestsFailWhileNotConnected)
{
    QdskMountedList *list = new QdskMountedList;
    memset(list, 0xFF, sizeof(*list));
    ListMountedVolumes(list);
    EXPECT_EQ(list->DriveMask, 0u) << "zero-filled after a failed request";
    delete list;
    EXPECT_EQ(GetDeviceRefCount(), -1);
    EXPECT_TRUE(IsPasswordCacheEmpty());
    EXPECT_FALSE(WipePasswordCache());
    EXPECT_EQ(UnloadDriver(), 1u);
    EXPECT_FALSE(IsWow64()) << "the Winelib build is a 64-bit process";
}

}  // namespace
