// Mounting and dismounting through the real code paths against the driver
// stand-in, with every message box answered here and its text checked.
#include "volume_support.h"

#include <dbt.h>

using namespace volume_test;

namespace {

const char16_t WrongPassword[] = u"密码错误！";

class VolumeMount : public VolumeTest {
protected:
    void SetUp() override
    {
        VolumeTest::SetUp();
        ASSERT_EQ(ConnectDriver(), 0u);
        drive = FirstFreeDrive();
        ASSERT_GE(drive, 3);
    }
    std::string Root() const { return std::string(1, char('A' + drive)) + ":\\"; }
    int drive = -1;
};

TEST_F(VolumeMount, FilesSurviveDismountAndNeverReachTheDiskInPlainText)
{
    ASSERT_TRUE(MakeContainer(container.c_str(), "secret", "secret"));
    std::string before = ReadAll(container.c_str());

    EXPECT_EQ(Mount(drive, "secret"), 1);
    EXPECT_EQ(g_handOvers, 1);
    EXPECT_EQ(g_handOverDrive, drive);
    EXPECT_TRUE(GetLogicalDrives() & (1u << drive));
    WCHAR name[3] = {WCHAR(L'A' + drive), L':', 0}, target[128] = {};
    ASSERT_TRUE(QueryDosDeviceW(name, target, 128));
    WCHAR expected[64];
    wsprintfW(expected, L"\\Device\\QdskVolume%c", L'A' + drive);
    EXPECT_EQ(Text(target), Text(expected));
    EXPECT_TRUE(IsContainerMounted(container.c_str()));
    EXPECT_FALSE(IsDriveFree(drive));

    const std::string content = "privacy mode note 7f3a9c1e-unique-marker";
    ASSERT_TRUE(CreateDirectoryA((Root() + "folder").c_str(), nullptr));
    ASSERT_TRUE(WriteAll((Root() + "folder\\note.txt").c_str(), content));
    char view[1024];
    QdskStandinViewFolder(drive, view, sizeof(view));
    ASSERT_NE(view[0], 0);

    std::vector<Box> boxes = RunAnswering([&] { EXPECT_EQ(DismountWithRetry(nullptr, drive, FALSE), 1); });
    EXPECT_TRUE(boxes.empty());
    EXPECT_FALSE(GetLogicalDrives() & (1u << drive));
    EXPECT_FALSE(IsContainerMounted(container.c_str()));
    EXPECT_EQ(GetFileAttributesA(view), INVALID_FILE_ATTRIBUTES) << "the view is wiped at dismount";

    std::string after = ReadAll(container.c_str());
    ASSERT_EQ(after.size(), before.size());
    EXPECT_EQ(after.find(content), std::string::npos);
    EXPECT_EQ(after.find("note.txt"), std::string::npos);
    EXPECT_EQ(after.substr(0, 512), before.substr(0, 512)) << "primary header unchanged";
    EXPECT_EQ(after.substr(after.size() - 131072), before.substr(before.size() - 131072)) << "backup unchanged";
    EXPECT_NE(after, before) << "the data area was written";

    EXPECT_EQ(Mount(drive, "secret"), 1);
    EXPECT_EQ(ReadAll((Root() + "folder\\note.txt").c_str()), content);
    RunAnswering([&] { EXPECT_EQ(DismountWithRetry(nullptr, drive, FALSE), 1); });
}

TEST_F(VolumeMount, WrongPasswordShownOnlyWhenReporting)
{
    ASSERT_TRUE(MakeContainer(container.c_str(), "right", "right"));
    EXPECT_EQ(Mount(drive, "wrong", FALSE), 0);
    EXPECT_EQ(WrongPasswordCount, 0);

    std::vector<Box> boxes;
    EXPECT_EQ(Mount(drive, "wrong", TRUE, &boxes), 0);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, WrongPassword);
    EXPECT_EQ(boxes[0].icon, 'W');
    EXPECT_EQ(WrongPasswordCount, 1);
    EXPECT_EQ(g_handOvers, 0);
    EXPECT_TRUE(IsDriveFree(drive));

    EXPECT_EQ(Mount(drive, "right"), 1);
    EXPECT_EQ(WrongPasswordCount, 0) << "reset by a successful mount";
}

TEST_F(VolumeMount, ThirdWrongPasswordRetriesTheBackupHeaderOnce)
{
    // The primary header answers another password, as a damaged one would
    // answer none; the backup answers "beta".
    ASSERT_TRUE(MakeContainer(container.c_str(), "alpha", "beta"));
    for (int i = 0; i < 2; ++i) {
        std::vector<Box> boxes;
        EXPECT_EQ(Mount(drive, "beta", TRUE, &boxes), 0);
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text, WrongPassword);
    }
    QdskStandinCounters c;
    QdskStandinGetCounters(&c);
    EXPECT_EQ(c.mountRequests, 2);
    EXPECT_EQ(c.lastMount.TryBackupHeader, 0u);

    EXPECT_EQ(Mount(drive, "beta"), 1) << "the third attempt falls back to the backup without a box";
    QdskStandinGetCounters(&c);
    EXPECT_EQ(c.mountRequests, 4);
    EXPECT_EQ(c.lastMount.TryBackupHeader, 1u);
    EXPECT_EQ(WrongPasswordCount, 0);
    RunAnswering([&] { DismountWithRetry(nullptr, drive, FALSE); });

    // Once the backup was tried, later wrong passwords show the box at once.
    WrongPasswordCount = 5;
    std::vector<Box> boxes;
    EXPECT_EQ(Mount(drive, "gamma", TRUE, &boxes), 0);
    ASSERT_EQ(boxes.size(), 1u);
    QdskStandinGetCounters(&c);
    EXPECT_EQ(c.mountRequests, 5) << "no second search of the backup: the box at once";
    EXPECT_EQ(c.lastMount.TryBackupHeader, 0u);
    EXPECT_EQ(WrongPasswordCount, 6);
}

TEST_F(VolumeMount, AlreadyMountedOrDriveInUseSendsNoRequest)
{
    ASSERT_TRUE(MakeContainer(container.c_str(), "pw", "pw"));
    ASSERT_EQ(Mount(drive, "pw"), 1);
    QdskStandinCounters c;
    QdskStandinGetCounters(&c);
    int requests = c.mountRequests;

    std::vector<Box> boxes;
    EXPECT_EQ(Mount(FirstFreeDrive(), "pw", TRUE, &boxes), -1);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, u"磁盘文件已经加载!");
    EXPECT_EQ(boxes[0].icon, 'I');

    // C: is always taken.
    std::string other = folder + "other.dat";
    std::swap(container, other);
    ASSERT_TRUE(MakeContainer(container.c_str(), "pw", "pw"));
    EXPECT_EQ(Mount(2, "pw", TRUE, &boxes), -1);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, u"盘符已经被占用，不能使用该盘符加载!");
    EXPECT_EQ(boxes[0].icon, 'I');
    QdskStandinGetCounters(&c);
    EXPECT_EQ(c.mountRequests, requests);
    DeleteFileA(container.c_str());
    std::swap(container, other);

    RunAnswering([&] { DismountWithRetry(nullptr, drive, FALSE); });
}

TEST_F(VolumeMount, ContainerPathFormsReachTheDriver)
{
    ASSERT_TRUE(MakeContainer(container.c_str(), "pw", "pw"));
    ASSERT_EQ(Mount(drive, "pw"), 1);
    QdskStandinCounters c;
    QdskStandinGetCounters(&c);
    std::u16string sent(reinterpret_cast<const char16_t *>(c.lastMount.VolumePath));
    std::u16string expected(container.begin(), container.end());
    EXPECT_EQ(sent, expected);
    EXPECT_EQ(c.lastMount.OpenExclusive, 1u);
    EXPECT_EQ(c.lastMount.RegisterWithMountManager, 1u);
    EXPECT_EQ(c.lastMount.MountPassword.ByteCount, 0u) << "the stand-in keeps no password";

    QdskMountedList *list = new QdskMountedList;
    ListMountedVolumes(list);
    EXPECT_EQ(list->DriveMask, 1u << drive);
    EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t *>(list->VolumePath[drive])), u"\\??\\" + expected);
    delete list;
    RunAnswering([&] { DismountWithRetry(nullptr, drive, FALSE); });

    // A network path travels in its "UNC" form; the share does not exist.
    std::vector<Box> boxes;
    int result = -100;
    QdskPassword pw = Password("pw");
    MountOptions options = {};
    boxes = RunAnswering([&] {
        result = MountVolume(nullptr, drive, "\\\\server\\share\\vdisk.dat", &pw, FALSE, FALSE, &options, TRUE);
    });
    QdskStandinGetCounters(&c);
    EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t *>(c.lastMount.VolumePath)),
              u"UNC\\server\\share\\vdisk.dat");
    EXPECT_EQ(result, 0);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, u"文件不能被打开。");
    EXPECT_EQ(boxes[0].icon, 'E');
}

TEST_F(VolumeMount, ContainerPathTooLongForTheRecordsIsRefused)
{
    // 255 characters fit with the driver's "\\??\\" in front; 256 do not,
    // nor a network path of 255 whose "UNC" form is one longer.
    std::string longest = "C:\\" + std::string(252, 'a');
    std::string tooLong = longest + "b";
    ASSERT_EQ(longest.size(), 255u);
    QdskPassword pw = Password("pw");
    MountOptions options = {};
    for (const std::string &path : {tooLong, std::string("\\\\server\\share\\") + std::string(240, 'c')}) {
        int result = -100;
        std::vector<Box> boxes = RunAnswering([&] {
            result = MountVolume(nullptr, drive, path.c_str(), &pw, FALSE, FALSE, &options, TRUE);
        });
        EXPECT_EQ(result, 0) << path.size();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text, std::u16string(reinterpret_cast<const char16_t *>(GetString("ERR_VOLUME_PATH_TOO_LONG"))));
        EXPECT_NE(boxes[0].text.rfind(u"[?]", 0), 0u) << "a readable text";
    }
    QdskStandinCounters c;
    QdskStandinGetCounters(&c);
    EXPECT_EQ(c.mountRequests, 0) << "nothing was sent";

    // The longest path that fits reaches the driver whole (the file does
    // not exist).
    int result = -100;
    RunAnswering([&] { result = MountVolume(nullptr, drive, longest.c_str(), &pw, FALSE, FALSE, &options, TRUE); });
    QdskStandinGetCounters(&c);
    EXPECT_EQ(c.mountRequests, 1);
    EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t *>(c.lastMount.VolumePath)),
              std::u16string(longest.begin(), longest.end()));
}

TEST_F(VolumeMount, SharingViolationAsksThenMountsShared)
{
    ASSERT_TRUE(MakeContainer(container.c_str(), "pw", "pw"));
    HANDLE held = CreateFileA(container.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    std::vector<Box> boxes;
    EXPECT_EQ(Mount(drive, "pw", TRUE, &boxes, {IDNO}), -1);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, u"磁盘文件在使用中，是否重试？");
    EXPECT_TRUE(boxes[0].yesNo);
    EXPECT_EQ(boxes[0].defaultId, IDNO);

    EXPECT_EQ(Mount(drive, "pw", TRUE, &boxes, {IDYES}), 2) << "shared access after Yes";
    ASSERT_EQ(boxes.size(), 1u);
    CloseHandle(held);
    RunAnswering([&] { DismountWithRetry(nullptr, drive, FALSE); });
}

TEST_F(VolumeMount, NullPasswordUsesTheDriversCache)
{
    ASSERT_TRUE(MakeContainer(container.c_str(), "cached", "cached"));
    MountOptions options = {};
    int result = -100;
    QdskStandinCounters c;
    RunAnswering([&] { result = MountVolume(nullptr, drive, container.c_str(), nullptr, FALSE, FALSE, &options, 0); });
    EXPECT_EQ(result, 0) << "empty cache";
    QdskStandinGetCounters(&c);
    EXPECT_EQ(c.mountRequests, 0);

    QdskPassword pw = Password("cached");
    RunAnswering([&] { result = MountVolume(nullptr, drive, container.c_str(), &pw, TRUE, FALSE, &options, 1); });
    ASSERT_EQ(result, 1);
    EXPECT_FALSE(IsPasswordCacheEmpty());
    RunAnswering([&] { DismountWithRetry(nullptr, drive, FALSE); });

    RunAnswering([&] { result = MountVolume(nullptr, drive, container.c_str(), nullptr, FALSE, FALSE, &options, 0); });
    EXPECT_EQ(result, 1) << "the cached password opens it";
    RunAnswering([&] { DismountWithRetry(nullptr, drive, FALSE); });

    EXPECT_TRUE(WipePasswordCache());
    EXPECT_TRUE(IsPasswordCacheEmpty());
}

TEST_F(VolumeMount, OpenFileKeepsTheVolumeUntilForced)
{
    ASSERT_TRUE(MakeContainer(container.c_str(), "pw", "pw"));
    ASSERT_EQ(Mount(drive, "pw"), 1);
    std::string file = Root() + "open.txt";
    ASSERT_TRUE(WriteAll(file.c_str(), "kept"));

    // Another process holds the file open: cmd waits on its input while its
    // output goes to the file.
    SECURITY_ATTRIBUTES sa = {sizeof(sa), nullptr, TRUE};
    HANDLE readEnd, writeEnd;
    ASSERT_TRUE(CreatePipe(&readEnd, &writeEnd, &sa, 0));
    SetHandleInformation(writeEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA si = {sizeof(si)};
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = readEnd;
    si.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    si.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION pi = {};
    std::string command = "cmd.exe /c more >> " + file;
    ASSERT_TRUE(CreateProcessA(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi));
    CloseHandle(readEnd);
    Sleep(1500);  // let cmd open its output

    QdskStandinCounters c;
    int result = -1;
    std::vector<Box> boxes = RunAnswering([&] { result = DismountWithRetry(nullptr, drive, FALSE); }, {IDNO});
    EXPECT_EQ(result, 0);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, u"确定要退出吗？");
    EXPECT_EQ(boxes[0].defaultId, IDNO);
    QdskStandinGetCounters(&c);
    EXPECT_EQ(c.dismountRequests, 10);
    EXPECT_EQ(c.forcedDismountRequests, 0);
    EXPECT_TRUE(GetLogicalDrives() & (1u << drive)) << "still mounted";

    boxes = RunAnswering([&] { result = DismountWithRetry(nullptr, drive, FALSE); }, {IDYES});
    EXPECT_EQ(result, 1);
    ASSERT_EQ(boxes.size(), 1u);
    QdskStandinGetCounters(&c);
    EXPECT_EQ(c.dismountRequests, 21) << "ten attempts, then one forced";
    EXPECT_EQ(c.forcedDismountRequests, 1);
    EXPECT_FALSE(GetLogicalDrives() & (1u << drive));

    CloseHandle(writeEnd);
    WaitForSingleObject(pi.hProcess, 10000);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
}

// The user hears that the volume is nearly full while the files still fit;
// files beyond its size keep the volume mounted, the container untouched.
TEST_F(VolumeMount, ViewTooBigForTheVolumeStaysMounted)
{
    ASSERT_TRUE(MakeContainer(container.c_str(), "pw", "pw", 4096));
    WIN32_FILE_ATTRIBUTE_DATA before, after;
    ASSERT_TRUE(GetFileAttributesExA(container.c_str(), GetFileExInfoStandard, &before));
    ASSERT_EQ(Mount(drive, "pw"), 1);
    std::string big(3900, 'b');
    ASSERT_TRUE(WriteAll((Root() + "big.bin").c_str(), big));
    // The next request warns, once.
    std::vector<Box> boxes = RunAnswering([&] { IsContainerMounted(container.c_str()); });
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].icon, 'W');
    EXPECT_NE(boxes[0].text.find(std::u16string(1, char16_t('A' + drive)) + u":"), std::u16string::npos);
    EXPECT_TRUE(RunAnswering([&] { IsContainerMounted(container.c_str()); }).empty());

    std::string more(8192, 'm');
    ASSERT_TRUE(WriteAll((Root() + "more.bin").c_str(), more));
    int result = -1;
    boxes = RunAnswering([&] { result = DismountWithRetry(nullptr, drive, FALSE); });
    EXPECT_EQ(result, 0);
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].text, Text(GetString("ERR_VOLUME_TOO_FULL")));
    EXPECT_EQ(boxes[1].text, Text(GetString("UNMOUNT_FAILED")));
    EXPECT_EQ(boxes[1].icon, 'E');
    EXPECT_TRUE(GetLogicalDrives() & (1u << drive));
    EXPECT_EQ(ReadAll((Root() + "more.bin").c_str()), more) << "nothing lost";
    ASSERT_TRUE(GetFileAttributesExA(container.c_str(), GetFileExInfoStandard, &after));
    EXPECT_EQ(CompareFileTime(&after.ftLastWriteTime, &before.ftLastWriteTime), 0) << "container untouched";

    ASSERT_TRUE(DeleteFileA((Root() + "more.bin").c_str()));
    boxes = RunAnswering([&] { result = DismountWithRetry(nullptr, drive, FALSE); });
    EXPECT_EQ(result, 1);
    EXPECT_TRUE(boxes.empty());
    // Mounted again, still nearly full: the warning comes at once.
    ASSERT_EQ(Mount(drive, "pw", TRUE, &boxes), 1);
    EXPECT_EQ(boxes.size(), 1u);
    EXPECT_EQ(ReadAll((Root() + "big.bin").c_str()), big);
    RunAnswering([&] { EXPECT_EQ(DismountWithRetry(nullptr, drive, FALSE), 1); });
}

TEST_F(VolumeMount, FirstFreeDriveWithEveryLetterTaken)
{
    std::vector<int> defined;
    for (int d = 3; d <= 25; ++d) {
        if (!IsDriveFree(d))
            continue;
        WCHAR name[3] = {WCHAR(L'A' + d), L':', 0};
        ASSERT_TRUE(DefineDosDeviceW(DDD_RAW_TARGET_PATH, name, L"\\Device\\VgTestTaken"));
        defined.push_back(d);
    }
    EXPECT_EQ(FirstFreeDrive(), -1);
    for (int d : defined) {
        WCHAR name[3] = {WCHAR(L'A' + d), L':', 0};
        DefineDosDeviceW(DDD_RAW_TARGET_PATH | DDD_REMOVE_DEFINITION | DDD_EXACT_MATCH_ON_REMOVE, name,
                         L"\\Device\\VgTestTaken");
    }
    EXPECT_EQ(FirstFreeDrive(), drive);
    EXPECT_FALSE(IsDriveFree(2));
    EXPECT_FALSE(IsDriveFree(26));
}

}  // namespace
