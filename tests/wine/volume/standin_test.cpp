// The driver stand-in on its own: the packed view, the open-file check and
// the requests' records.
#include "volume_support.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include "crypto/crc32.h"
#include "crypto/modes.h"
#include "standin/qdsk/view_archive.h"
#include "volume/driver_seam.h"

using namespace volume_test;

namespace {

class QdskStandin : public VolumeTest {};

std::string ResolveUnix(const std::string &dos)
{
    WCHAR wide[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, dos.c_str(), -1, wide, MAX_PATH);
    char *p = wine_get_unix_file_name(wide);
    char real[4096];
    std::string s = p && realpath(p, real) ? real : "";
    HeapFree(GetProcessHeap(), 0, p);
    return s;
}

std::string UnixFolder(const std::string &name)
{
    char pattern[256];
    snprintf(pattern, sizeof(pattern), "/tmp/vg-standin-%s-XXXXXX", name.c_str());
    return mkdtemp(pattern) ? std::string(pattern) : std::string();
}

// The frame of the tree under dir, packed in one piece.
std::vector<uint8_t> Pack(const std::string &dir)
{
    ViewListing listing;
    std::vector<uint8_t> frame(VIEW_FRAME_HEADER);
    uint32_t crc = 0;
    bool ok = ListView(dir, listing) && StreamViewPayload(dir, listing,
                                                          [&](const uint8_t *d, size_t n) {
                                                              frame.insert(frame.end(), d, d + n);
                                                              return true;
                                                          },
                                                          crc);
    EXPECT_TRUE(ok);
    BuildViewFrameHeader(listing, crc, frame.data());
    EXPECT_EQ(listing.frameLength, frame.size());
    return frame;
}

// Feeds the frame (and some bytes behind it, as the area holds) in pieces
// of the given size.
bool Unpack(const std::vector<uint8_t> &frame, const std::string &dir, size_t piece)
{
    std::vector<uint8_t> area = frame;
    area.resize(frame.size() + 100, 0xEE);
    ViewUnpacker unpacker(dir);
    for (size_t at = 0; at < area.size() && !unpacker.Done(); at += piece)
        if (!unpacker.Feed(area.data() + at, (piece < area.size() - at ? piece : area.size() - at)))
            break;
    return unpacker.Finish();
}

TEST_F(QdskStandin, ViewFrameRoundTripInPiecesAndDamage)
{
    std::string from = UnixFolder("from"), to = UnixFolder("to");
    ASSERT_FALSE(from.empty());
    ASSERT_EQ(mkdir((from + "/sub").c_str(), 0755), 0);
    std::string big(200000, 'b');
    for (size_t i = 0; i < big.size(); i += 7)
        big[i] = char(i);
    ASSERT_TRUE(WriteAll(("Z:" + from + "/sub/big.bin").c_str(), big));
    ASSERT_TRUE(WriteAll(("Z:" + from + "/empty").c_str(), ""));
    // Times and the DOS attributes (where the file system keeps them) go
    // along with the files.
    bool attributes = setxattr((from + "/empty").c_str(), "user.DOSATTRIB", "0x2", 3, 0) == 0;
    ASSERT_EQ(chmod((from + "/empty").c_str(), 0444), 0);
    struct timespec times[2] = {{0, UTIME_OMIT}, {1000000000, 123456789}};
    ASSERT_EQ(utimensat(AT_FDCWD, (from + "/sub/big.bin").c_str(), times, 0), 0);
    times[1].tv_sec = 1100000000;
    ASSERT_EQ(utimensat(AT_FDCWD, (from + "/sub").c_str(), times, 0), 0);

    std::vector<uint8_t> frame = Pack(from);
    EXPECT_EQ(ViewFrameLength(frame.data()), frame.size());
    // Pieces that split headers, paths and file data anywhere.
    ASSERT_TRUE(Unpack(frame, to, 7));
    EXPECT_EQ(ReadAll(("Z:" + to + "/sub/big.bin").c_str()), big);
    struct stat st;
    ASSERT_EQ(stat((to + "/empty").c_str(), &st), 0);
    EXPECT_EQ(st.st_size, 0);
    ASSERT_EQ(stat((to + "/sub/big.bin").c_str(), &st), 0);
    EXPECT_EQ(st.st_mtim.tv_sec, 1000000000);
    EXPECT_EQ(st.st_mtim.tv_nsec, 123456789);
    ASSERT_EQ(stat((to + "/sub").c_str(), &st), 0);
    EXPECT_EQ(st.st_mtim.tv_sec, 1100000000) << "a folder's time is set after its contents";
    char kept[8] = {};
    if (attributes) {
        EXPECT_EQ(getxattr((to + "/empty").c_str(), "user.DOSATTRIB", kept, sizeof kept), 3);
        EXPECT_STREQ(kept, "0x2");
    }

    // A frame of the first format (no times, no attributes) still unpacks.
    std::vector<uint8_t> old = {'Q', 'D', 'S', 'K', 'V', 'I', 'E', 'W', 1, 0, 0, 0, 1, 0, 0, 0};
    std::vector<uint8_t> entry = {2, 5, 0, 0x80, 1, 0, 0, 3, 0, 0, 0, 0, 0, 0, 0, 'a', '.', 't', 'x', 't', 'a', 'b', 'c'};
    uint32_t oldCrc = Crc32(entry.data(), entry.size());
    for (int i = 0; i < 8; ++i)
        old.push_back(uint8_t(i == 0 ? entry.size() : 0));
    for (int i = 0; i < 4; ++i)
        old.push_back(uint8_t(oldCrc >> (8 * i)));
    old.insert(old.end(), 4, 0);
    old.insert(old.end(), entry.begin(), entry.end());
    std::string fourth = UnixFolder("fourth");
    EXPECT_TRUE(Unpack(old, fourth, 5));
    EXPECT_EQ(ReadAll(("Z:" + fourth + "/a.txt").c_str()), "abc");
    WipeTree(fourth);

    // A flipped payload byte fails the CRC; random bytes are no frame.
    std::vector<uint8_t> damaged = frame;
    damaged[frame.size() - 10] ^= 1;
    std::string third = UnixFolder("third");
    EXPECT_FALSE(Unpack(damaged, third, 4096));
    std::vector<uint8_t> noise(64, 0x5A);
    EXPECT_EQ(ViewFrameLength(noise.data()), 0u);

    // The wipe also takes read-only files and folders.
    ASSERT_EQ(chmod((from + "/sub").c_str(), 0500), 0);
    WipeTree(from);
    WipeTree(to);
    WipeTree(third);
    EXPECT_NE(stat(from.c_str(), &st), 0);
    EXPECT_NE(stat(to.c_str(), &st), 0);
}

TEST_F(QdskStandin, FramePathsCannotLeaveTheView)
{
    std::string root = UnixFolder("escape");
    std::string inner = root + "/view";
    ASSERT_EQ(mkdir(inner.c_str(), 0700), 0);
    std::string src = UnixFolder("src");
    ASSERT_TRUE(WriteAll(("Z:" + src + "/xx.txt").c_str(), "x"));
    std::vector<uint8_t> frame = Pack(src);
    // Rename the entry "xx.txt" to "../x.t" and give the frame a matching
    // CRC: only the path check stands in the way.
    size_t at = VIEW_FRAME_HEADER + VIEW_ENTRY_HEADER;
    ASSERT_EQ(std::string(frame.begin() + at, frame.begin() + at + 6), "xx.txt");
    memcpy(&frame[at], "../x.t", 6);
    uint32_t crc = Crc32(frame.data() + 32, frame.size() - 32);
    for (int i = 0; i < 4; ++i)
        frame[24 + i] = uint8_t(crc >> (8 * i));
    EXPECT_FALSE(Unpack(frame, inner, 1000));
    struct stat st;
    EXPECT_NE(stat((root + "/x.t").c_str(), &st), 0);
    WipeTree(root);
    WipeTree(src);
}

// Every mode, encrypted piece by piece, gives what the whole area in one
// piece gives, and decrypts back.
TEST_F(QdskStandin, AreaCipherStreamsEveryMode)
{
    struct Case {
        int32_t mode, algorithm;
    } cases[] = {{MODE_XTS, 1}, {MODE_LRW, 1}, {MODE_LRW, 9}, {MODE_CBC, 2}, {MODE_CBC, 10},
                 {MODE_OUTER_CBC, 5}, {MODE_INNER_CBC, 13}};
    uint8_t keyArea[256];
    for (int i = 0; i < 256; ++i)
        keyArea[i] = uint8_t(i * 13 + 1);
    int tested = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "mode " << c.mode << " algorithm " << c.algorithm);
        QdskPassword pw = Password("pw");
        uint8_t header[VOLUME_HEADER_SIZE];
        QdskCryptoContext *key = nullptr;
        if (!IsModeAllowed(c.algorithm, c.mode))
            continue;
        ASSERT_EQ(BuildVolumeHeader(false, header, c.algorithm, c.mode, &pw, 1, keyArea, &key, 1 << 20, 0, 0,
                                    1 << 20, 0x0600, 0, false),
                  VOLUME_OK);
        std::vector<uint8_t> plain(6144);
        for (size_t i = 0; i < plain.size(); ++i)
            plain[i] = uint8_t(i * 7 + i / 256);
        std::vector<uint8_t> whole = plain;
        ASSERT_TRUE(EncryptVolumeBuffer(whole.data(), whole.size(), key));
        EXPECT_NE(whole, plain);
        ++tested;
        AreaCipher tail(key, true);
        std::vector<uint8_t> again = plain;
        ASSERT_TRUE(tail.Next(again.data(), 512));
        ASSERT_TRUE(tail.Next(again.data() + 512, again.size() - 512));
        EXPECT_EQ(again, whole);
        AreaCipher back(key, false);
        ASSERT_TRUE(back.Next(again.data(), 3072));
        ASSERT_TRUE(back.Next(again.data() + 3072, 3072));
        EXPECT_EQ(again, plain);
        ReleaseCryptoContext(key);
    }
    EXPECT_GE(tested, 5);
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

// What another owner would plant: a folder or file that is not ours, or
// that others may write.
void MakeForeign(const std::string &path)
{
    if (geteuid() != 0 || chown(path.c_str(), 12345, 12345) != 0)
        chmod(path.c_str(), 0777);
}

// An owner record for the view that names the container as it is now, so
// that only ownership can keep the view from being adopted.
bool PlantOwnerRecord(const std::string &view, const std::string &container)
{
    struct stat st;
    uint8_t salt[64];
    int fd = open(container.c_str(), O_RDONLY);
    bool ok = fd >= 0 && fstat(fd, &st) == 0 && pread(fd, salt, 64, 0) == 64;
    if (fd >= 0)
        close(fd);
    char line[512];
    std::string text = container + "\n3 0 0 0\n";
    snprintf(line, sizeof line, "%llu %llu %llu %lld %lld ", (unsigned long long)st.st_dev,
             (unsigned long long)st.st_ino, (unsigned long long)st.st_size, (long long)st.st_mtim.tv_sec,
             (long long)st.st_mtim.tv_nsec);
    text += line;
    for (uint8_t b : salt) {
        snprintf(line, sizeof line, "%02x", b);
        text += line;
    }
    text += "\n";
    return ok && WriteAll(("Z:" + view + ".owner").c_str(), text);
}

// Views are kept on tmpfs only, in a folder of the user's own (mode 0700,
// checked with lstat before anything in it is read). A view of another
// owner, planted to be saved into this user's container, is ignored; a view
// left by a process that is gone is never wiped unless it was saved into
// its own container.
TEST_F(QdskStandin, ViewIsPrivateOnTmpfsAndForeignViewsAreIgnored)
{
    std::string onDisk = UnixFolder("runtime");
    ASSERT_EQ(setenv("XDG_RUNTIME_DIR", onDisk.c_str(), 1), 0);
    char pattern[] = "/dev/shm/vg-standin-runtime-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    std::string runtime = pattern, mine = runtime + "/qdsk-" + std::to_string(geteuid());

    ASSERT_EQ(ConnectDriver(), 0u);
    ASSERT_TRUE(MakeContainer(container.c_str(), "pw", "pw"));
    int drive = FirstFreeDrive();
    ASSERT_EQ(Mount(drive, "pw"), 1);
    char view[1024];
    QdskStandinViewFolder(drive, view, sizeof(view));
    EXPECT_NE(std::string(view).rfind(onDisk, 0), 0u) << "a runtime folder on disk is not used: " << view;
    RunAnswering([&] { EXPECT_EQ(DismountWithRetry(nullptr, drive, FALSE), 1); });

    // The user's folder name taken by someone else before the first mount:
    // not used.
    ASSERT_EQ(setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1), 0);
    ASSERT_EQ(mkdir(mine.c_str(), 0700), 0);
    MakeForeign(mine);
    ASSERT_EQ(Mount(drive, "pw"), 1);
    QdskStandinViewFolder(drive, view, sizeof(view));
    EXPECT_NE(std::string(view).rfind(mine, 0), 0u) << view;
    RunAnswering([&] { EXPECT_EQ(DismountWithRetry(nullptr, drive, FALSE), 1); });
    ASSERT_EQ(rmdir(mine.c_str()), 0);

    ASSERT_EQ(Mount(drive, "pw"), 1);
    QdskStandinViewFolder(drive, view, sizeof(view));
    EXPECT_EQ(std::string(view).rfind(mine + "/view-", 0), 0u) << view;
    struct stat st;
    ASSERT_EQ(lstat(mine.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    ASSERT_EQ(stat(view, &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    RunAnswering([&] { EXPECT_EQ(DismountWithRetry(nullptr, drive, FALSE), 1); });

    // Left-over views, each with a file: one whose owner record (naming this
    // container as it is) is another owner's, one of ours for the same
    // container, one of another container, one without a record, and one
    // in the shared folder under the old naming.
    std::string unixContainer = ResolveUnix(container);
    std::string planted = mine + "/view-plant1", ours = mine + "/view-ours01", other = mine + "/view-other1",
                bare = mine + "/view-bare01", shared = runtime + "/qdsk-view-99999999-abcdef";
    for (const std::string &orphan : {planted, ours, other, bare, shared}) {
        ASSERT_EQ(mkdir(orphan.c_str(), 0700), 0);
        ASSERT_TRUE(WriteAll(("Z:" + orphan + "/" + orphan.substr(orphan.rfind('/') + 1) + ".txt").c_str(),
                             "left behind"));
    }
    for (const std::string &orphan : {planted, ours, shared}) {
        ASSERT_TRUE(PlantOwnerRecord(orphan, unixContainer));
        ASSERT_TRUE(WriteAll(("Z:" + orphan + ".lock").c_str(), ""));
    }
    ASSERT_TRUE(WriteAll(("Z:" + other + ".owner").c_str(), "/elsewhere/vdisk.dat\n3 0 0 0\n"));
    MakeForeign(planted + ".owner");

    ASSERT_EQ(Mount(drive, "pw"), 1);
    std::string root = std::string(1, char('A' + drive)) + ":\\";
    EXPECT_EQ(ReadAll((root + "view-ours01.txt").c_str()), "left behind") << "our own orphan is saved and shown";
    EXPECT_EQ(ReadAll((root + "view-plant1.txt").c_str()), "") << "another owner's view is not adopted";
    EXPECT_EQ(ReadAll((root + "qdsk-view-99999999-abcdef.txt").c_str()), "");
    EXPECT_NE(stat(ours.c_str(), &st), 0) << "the saved orphan is wiped";
    for (const std::string &kept : {planted, other, bare, shared})
        EXPECT_EQ(ReadAll(("Z:" + kept + "/" + kept.substr(kept.rfind('/') + 1) + ".txt").c_str()), "left behind");
    RunAnswering([&] { EXPECT_EQ(DismountWithRetry(nullptr, drive, FALSE), 1); });
    unsetenv("XDG_RUNTIME_DIR");
    for (const std::string &kept : {planted, other, bare, shared}) {
        WipeTree(kept);
        unlink((kept + ".owner").c_str());
        unlink((kept + ".lock").c_str());
    }
    rmdir(mine.c_str());
    rmdir(runtime.c_str());
    rmdir(onDisk.c_str());
}

}  // namespace
