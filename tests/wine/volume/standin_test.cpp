// The driver stand-in on its own: the packed view, the open-file check and
// the requests' records.
#include "volume_support.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "crypto/crc32.h"
#include "standin/qdsk/view_archive.h"
#include "volume/driver_seam.h"

using namespace volume_test;

namespace {

class QdskStandin : public VolumeTest {};

std::string UnixFolder(const std::string &name)
{
    char pattern[256];
    snprintf(pattern, sizeof(pattern), "/tmp/vg-standin-%s-XXXXXX", name.c_str());
    return mkdtemp(pattern) ? std::string(pattern) : std::string();
}

TEST_F(QdskStandin, ViewFrameRoundTripAndDamage)
{
    std::string from = UnixFolder("from"), to = UnixFolder("to");
    ASSERT_FALSE(from.empty());
    ASSERT_EQ(mkdir((from + "/sub").c_str(), 0755), 0);
    FILE *f = fopen((from + "/sub/a.txt").c_str(), "w");
    fputs("alpha", f);
    fclose(f);
    f = fopen((from + "/empty").c_str(), "w");
    fclose(f);

    ViewBytes frame;
    ASSERT_TRUE(PackView(from, frame));
    EXPECT_EQ(ViewFrameLength(frame.data()), frame.size());
    ASSERT_TRUE(UnpackView(frame.data(), frame.size(), to));
    EXPECT_EQ(ReadAll(("Z:" + to + "/sub/a.txt").c_str()), "alpha");
    struct stat st;
    EXPECT_EQ(stat((to + "/empty").c_str(), &st), 0);

    // A flipped payload byte fails the CRC; random bytes are no frame.
    ViewBytes damaged = frame;
    damaged.back() ^= 1;
    std::string third = UnixFolder("third");
    EXPECT_FALSE(UnpackView(damaged.data(), damaged.size(), third));
    std::vector<uint8_t> noise(64, 0x5A);
    EXPECT_EQ(ViewFrameLength(noise.data()), 0u);

    WipeTree(from);
    WipeTree(to);
    WipeTree(third);
    EXPECT_NE(stat(from.c_str(), &st), 0);
}

TEST_F(QdskStandin, FramePathsCannotLeaveTheView)
{
    std::string root = UnixFolder("escape");
    std::string inner = root + "/view";
    ASSERT_EQ(mkdir(inner.c_str(), 0700), 0);
    std::string src = UnixFolder("src");
    FILE *f = fopen((src + "/xx.txt").c_str(), "w");
    fputs("x", f);
    fclose(f);
    ViewBytes frame;
    ASSERT_TRUE(PackView(src, frame));
    // Rename the entry "xx.txt" to "../x.t" and give the frame a matching
    // CRC: only the path check stands in the way.
    size_t at = 32 + 15;
    ASSERT_EQ(std::string(frame.begin() + at, frame.begin() + at + 6), "xx.txt");
    memcpy(&frame[at], "../x.t", 6);
    uint32_t crc = Crc32(frame.data() + 32, frame.size() - 32);
    for (int i = 0; i < 4; ++i)
        frame[24 + i] = uint8_t(crc >> (8 * i));
    EXPECT_FALSE(UnpackView(frame.data(), frame.size(), inner));
    struct stat st;
    EXPECT_NE(stat((root + "/x.t").c_str(), &st), 0);
    WipeTree(root);
    WipeTree(src);
}

TEST_F(QdskStandin, OpenFileCheckSeesDescriptorsUnderTheFolder)
{
    std::string dir = UnixFolder("open");
    std::string other = dir + "-other";
    int fd = open((dir + "/held").c_str(), O_CREAT | O_WRONLY, 0600);
    ASSERT_GE(fd, 0);
    EXPECT_TRUE(ProcessHasOpenUnder(getpid(), dir));
    EXPECT_FALSE(ProcessHasOpenUnder(getpid(), dir + "/sub"));
    EXPECT_FALSE(ProcessHasOpenUnder(getpid(), other)) << "a sibling with the same prefix is not under it";
    close(fd);
    EXPECT_FALSE(ProcessHasOpenUnder(getpid(), dir));
    WipeTree(dir);
}

TEST_F(QdskStandin, RequestsCheckTheirRecords)
{
    ASSERT_EQ(ConnectDriver(), 0u);
    DWORD version = 0, returned = 0;
    EXPECT_FALSE(QdskControl(DriverHandle, IOCTL_QDSK_VERSION, &version, 4, &version, 2, &returned));
    EXPECT_TRUE(QdskControl(DriverHandle, IOCTL_QDSK_VERSION, &version, 4, &version, 4, &returned));
    EXPECT_EQ(returned, 4u);
    QdskMountRequest req = {};
    EXPECT_FALSE(QdskControl(DriverHandle, IOCTL_QDSK_MOUNT, &req, 100, &req, 100, &returned));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    QdskDismountRequest dis = {5, 0, 0, 0};
    EXPECT_FALSE(QdskControl(DriverHandle, IOCTL_QDSK_DISMOUNT, &dis, sizeof(dis), &dis, sizeof(dis), &returned))
        << "nothing mounted on F:";
    EXPECT_FALSE(QdskControl(DriverHandle, IOCTL_QDSK_LEGACY_LIST_MOUNTED, nullptr, 0, &req, 4, &returned));

    // A container whose data area cannot hold the header areas is refused
    // before anything is mounted; a device path is not emulated.
    ASSERT_TRUE(WriteAll(container.c_str(), std::string(1000, 'x')));
    req.DriveNumber = FirstFreeDrive();
    MultiByteToWideChar(CP_ACP, 0, container.c_str(), -1, reinterpret_cast<WCHAR *>(req.VolumePath), 260);
    req.MountPassword = Password("pw");
    ASSERT_TRUE(QdskControl(DriverHandle, IOCTL_QDSK_MOUNT, &req, sizeof(req), &req, sizeof(req), &returned));
    EXPECT_EQ(req.ResultCode, 9);
    EXPECT_EQ(req.MountPassword.ByteCount, 0u) << "the driver's answer carries no password";
    lstrcpyW(reinterpret_cast<WCHAR *>(req.VolumePath), L"\\Device\\Harddisk0\\Partition1");
    ASSERT_TRUE(QdskControl(DriverHandle, IOCTL_QDSK_MOUNT, &req, sizeof(req), &req, sizeof(req), &returned));
    EXPECT_EQ(req.ResultCode, 23);
}

TEST_F(QdskStandin, ViewIsPrivateAndOrphanedViewsAreWiped)
{
    std::string runtime = UnixFolder("runtime");
    ASSERT_EQ(setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1), 0);
    // A view left by a process that is gone (no such pid).
    std::string orphan = runtime + "/qdsk-view-99999999-abcdef";
    ASSERT_EQ(mkdir(orphan.c_str(), 0700), 0);
    FILE *f = fopen((orphan + "/left.txt").c_str(), "w");
    fputs("left behind", f);
    fclose(f);

    ASSERT_EQ(ConnectDriver(), 0u);
    ASSERT_TRUE(MakeContainer(container.c_str(), "pw", "pw"));
    int drive = FirstFreeDrive();
    ASSERT_EQ(Mount(drive, "pw"), 1);
    struct stat st;
    EXPECT_NE(stat(orphan.c_str(), &st), 0) << "the orphaned view is wiped";
    char view[1024];
    QdskStandinViewFolder(drive, view, sizeof(view));
    EXPECT_EQ(std::string(view).rfind(runtime + "/qdsk-view-", 0), 0u) << view;
    ASSERT_EQ(stat(view, &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    RunAnswering([&] { EXPECT_EQ(DismountWithRetry(nullptr, drive, FALSE), 1); });
    unsetenv("XDG_RUNTIME_DIR");
    rmdir(runtime.c_str());
}

}  // namespace
