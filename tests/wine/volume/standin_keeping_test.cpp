// The driver stand-in keeps every byte written to a volume: one scenario per
// way of losing it (read-only container, unreadable data area, killed
// process, no space, symbolic link, large container in an older mode; too
// many files for the volume is VolumeMount.ViewTooBigForTheVolumeStaysMounted).
#include "volume_support.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include "standin/qdsk/view_archive.h"
#include "volume/driver_seam.h"
#include "volume/volume_error_table.h"

using namespace volume_test;

namespace {

class QdskKeeping : public VolumeTest {
protected:
    std::string On(int drive, const char *name) { return std::string(1, char('A' + drive)) + ":\\" + name; }
    int Dismount(int drive)
    {
        int result = -1;
        RunAnswering([&] { result = DismountVolume(nullptr, drive, FALSE); });
        return result;
    }
};

std::string UnixOf(const std::string &dos)
{
    WCHAR wide[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, dos.c_str(), -1, wide, MAX_PATH);
    char *p = wine_get_unix_file_name(wide);
    std::string s = p ? p : "";
    HeapFree(GetProcessHeap(), 0, p);
    return s;
}

// Past the sharing rules of a mount that holds the file exclusively.
std::string ReadUnix(const std::string &path)
{
    std::string s;
    if (FILE *f = fopen(path.c_str(), "rb")) {
        char buffer[65536];
        while (size_t n = fread(buffer, 1, sizeof buffer, f))
            s.append(buffer, n);
        fclose(f);
    }
    return s;
}

uint64_t PeakMemoryKiB()
{
    FILE *f = fopen("/proc/self/status", "r");
    char line[256];
    unsigned long long kib = 0;
    while (f && fgets(line, sizeof line, f))
        if (sscanf(line, "VmHWM: %llu kB", &kib) == 1)
            break;
    if (f)
        fclose(f);
    return kib;
}

TEST_F(QdskKeeping, ReadOnlyContainerGivesReadOnlyDrive)
{
    ASSERT_EQ(ConnectDriver(), 0u);
    ASSERT_TRUE(MakeContainer(container.c_str(), "pw", "pw"));
    int drive = FirstFreeDrive();
    ASSERT_EQ(Mount(drive, "pw"), 1);
    ASSERT_TRUE(WriteAll(On(drive, "kept.txt").c_str(), "written while writable"));
    ASSERT_EQ(Dismount(drive), 0);

    // The container can only be read: the drive is read-only, writes fail
    // where they are made, and the files are there.
    MountOptions options = {};
    options.ReadOnly = 1;
    QdskPassword pw = Password("pw");
    int result = -1;
    RunAnswering([&] { result = MountVolume(nullptr, drive, container.c_str(), &pw, FALSE, FALSE, &options, TRUE); });
    ASSERT_EQ(result, 1);
    EXPECT_EQ(ReadAll(On(drive, "kept.txt").c_str()), "written while writable");
    char view[1024];
    QdskStandinViewFolder(drive, view, sizeof view);
    struct stat st;
    ASSERT_EQ(stat((std::string(view) + "/kept.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0222, 0u) << "the view's files are read-only";
    if (!WriteAll(On(drive, "kept.txt").c_str(), "overwritten")) {
        EXPECT_EQ(ReadAll(On(drive, "kept.txt").c_str()), "written while writable");
        EXPECT_EQ(Dismount(drive), 0);
        return;
    }
    // A process with every right (root) gets past the file modes: what it
    // wrote is not thrown away, the dismount refuses and says why.
    EXPECT_EQ(Dismount(drive), VOLUME_SAVE_NOT_WRITABLE);
    EXPECT_TRUE(GetLogicalDrives() & (1u << drive));
    EXPECT_EQ(ReadAll(On(drive, "kept.txt").c_str()), "overwritten");
    QdskStandinReset();
    EXPECT_EQ(stat(view, &st), 0) << "the reset keeps the view it could not save";
    WipeTree(view);
    unlink((std::string(view) + ".owner").c_str());
    unlink((std::string(view) + ".lock").c_str());
}

TEST_F(QdskKeeping, UnreadableDataAreaIsRefusedAndUntouched)
{
    ASSERT_EQ(ConnectDriver(), 0u);
    // A data area without the stand-in's frame or the fresh mark, as a file
    // system made elsewhere would be.
    ASSERT_TRUE(MakeContainer(container.c_str(), "pw", "pw", 1 << 20, MODE_XTS, 1, false));
    std::string before = ReadAll(container.c_str());
    std::vector<Box> boxes;
    int drive = FirstFreeDrive();
    EXPECT_EQ(Mount(drive, "pw", TRUE, &boxes), 0);
    ASSERT_FALSE(boxes.empty());
    EXPECT_EQ(boxes.back().text, Text(GetString("ERR_VOLUME_CONTENTS_UNREADABLE")));
    EXPECT_FALSE(GetLogicalDrives() & (1u << drive));
    QdskStandinReset();
    EXPECT_EQ(ReadAll(container.c_str()), before) << "not a byte of the container changed";
}

TEST_F(QdskKeeping, KilledProcessLosesNothing)
{
    ASSERT_TRUE(MakeContainer(container.c_str(), "pw", "pw"));
    std::string ready = folder + "ready.txt";
    Dl_info self = {};
    ASSERT_NE(dladdr(reinterpret_cast<void *>(&RunStandinChild), &self), 0);
    WCHAR line[1024];
    WCHAR *dos = wine_get_dos_file_name(self.dli_fname);
    ASSERT_NE(dos, nullptr);
    wsprintfW(line, L"\"%s\" --standin-child \"%hs\"", dos, container.c_str());
    HeapFree(GetProcessHeap(), 0, dos);
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    ASSERT_TRUE(CreateProcessW(nullptr, line, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    CloseHandle(pi.hThread);
    std::string view;
    for (int i = 0; i < 600 && view.empty(); ++i) {
        Sleep(100);
        view = ReadAll(ready.c_str());
    }
    ASSERT_FALSE(view.empty()) << "the child mounted and wrote";
    int pid = 0, drive = -1;
    if (sscanf(view.c_str(), "%d %d", &drive, &pid) != 2 || pid <= 0) {
        TerminateProcess(pi.hProcess, 1);
        FAIL() << view;
    }
    // While the other process has it mounted (with shared access), this one
    // may not, even when it asks for shared access too: two views of one
    // container would overwrite each other's saves.
    EXPECT_EQ(ConnectDriver(), 0u);
    std::vector<Box> boxes;
    EXPECT_EQ(Mount(FirstFreeDrive(), "pw", TRUE, &boxes, {IDYES}), 0);
    EXPECT_EQ(boxes.size(), 2u);
    if (boxes.size() == 2) {
        EXPECT_EQ(boxes[1].text, u"您试图要加载的加密卷已经载入。") << "after the question whether to share";
    }
    ASSERT_EQ(kill(pid, SIGKILL), 0);
    EXPECT_EQ(WaitForSingleObject(pi.hProcess, 20000), WAIT_OBJECT_0);
    CloseHandle(pi.hProcess);

    // The program started again: opening the driver frees the dead
    // process's drive letter, the volume mounts on it, what the killed
    // process wrote is there and its left-over view is gone.
    EXPECT_EQ(ConnectDriver(), 0u);
    int again = FirstFreeDrive();
    EXPECT_EQ(again, drive) << "the dead process's drive is free again";
    ASSERT_EQ(Mount(again, "pw"), 1);
    EXPECT_EQ(ReadAll(On(again, "docs\\note.txt").c_str()), "written before the kill");
    EXPECT_EQ(ReadAll(On(again, "second.bin").c_str()), std::string(70000, 's'));
    EXPECT_EQ(Dismount(again), 0);
    DeleteFileA(ready.c_str());
}

// A file that another Wine process holds open on the drive: the plain
// dismount refuses with 6 and leaves everything as it was; the forced one
// saves what the file held at that moment before the view goes.
TEST_F(QdskKeeping, FileHeldByAnotherProcessStopsThePlainDismount)
{
    ASSERT_EQ(ConnectDriver(), 0u);
    ASSERT_TRUE(MakeContainer(container.c_str(), "pw", "pw"));
    int drive = FirstFreeDrive();
    ASSERT_EQ(Mount(drive, "pw"), 1);
    HANDLE child = StartChild("hold", On(drive, "held.txt"));
    ASSERT_NE(child, nullptr);
    ASSERT_TRUE(ChildReady(child));
    char view[1024];
    QdskStandinViewFolder(drive, view, sizeof view);

    EXPECT_EQ(Dismount(drive), 6);
    EXPECT_TRUE(GetLogicalDrives() & (1u << drive)) << "the drive stays";
    EXPECT_TRUE(ReadAll(On(drive, "held.txt").c_str()).empty()) << "held without sharing";
    struct stat st;
    ASSERT_EQ(stat((std::string(view) + "/held.txt").c_str(), &st), 0) << "nothing is wiped";
    EXPECT_EQ(st.st_size, 24);

    int forced = -1;
    RunAnswering([&] { forced = DismountVolume(nullptr, drive, TRUE); });
    EXPECT_EQ(forced, 0);
    TerminateProcess(child, 0);
    WaitForSingleObject(child, 20000);
    CloseHandle(child);
    ASSERT_EQ(Mount(drive, "pw"), 1);
    EXPECT_EQ(ReadAll(On(drive, "held.txt").c_str()), "held by another process.") << "saved as it was";
    EXPECT_EQ(Dismount(drive), 0);
}

// A process killed a while after its last write, with its left-over view
// lost as well (a power cut takes the tmpfs with it): the checkpoint made
// while it was mounted brings the files back.
TEST_F(QdskKeeping, CheckpointKeepsWorkWhenTheViewIsLost)
{
    ASSERT_TRUE(MakeContainer(container.c_str(), "pw", "pw"));
    HANDLE child = StartChild("checkpoint", container);
    ASSERT_NE(child, nullptr);
    bool ready = ChildReady(child);
    TerminateProcess(child, 9);
    WaitForSingleObject(child, 20000);
    CloseHandle(child);
    ASSERT_TRUE(ready);
    std::string view = ReadAll((folder + "view.txt").c_str());
    DeleteFileA((folder + "view.txt").c_str());
    ASSERT_FALSE(view.empty()) << "the child saw a checkpoint";
    WipeTree(view);
    for (const char *tail : {".owner", ".lock"})
        unlink((view + tail).c_str());

    ASSERT_EQ(ConnectDriver(), 0u);
    int drive = FirstFreeDrive();
    ASSERT_EQ(Mount(drive, "pw"), 1);
    EXPECT_EQ(ReadAll(On(drive, "docs\\note.txt").c_str()), "written before the kill");
    EXPECT_EQ(ReadAll(On(drive, "second.bin").c_str()), std::string(70000, 's'));
    EXPECT_EQ(Dismount(drive), 0);
}

struct Writer {
    HANDLE file;
    volatile LONG records;
    volatile LONG stop;
};

DWORD WINAPI WriteRecords(LPVOID param)
{
    Writer *w = static_cast<Writer *>(param);
    while (!w->stop) {
        char record[32];
        int n = wsprintfA(record, "record %08ld........\n", w->records);
        DWORD written = 0;
        if (!WriteFile(w->file, record, DWORD(n), &written, nullptr) || written != DWORD(n))
            break;
        InterlockedIncrement(&w->records);
    }
    return 0;
}

std::string Records(LONG count)
{
    std::string s;
    for (LONG i = 0; i < count; ++i) {
        char record[32];
        wsprintfA(record, "record %08ld........\n", i);
        s += record;
    }
    return s;
}

// A program appending to a file during a forced dismount: either the
// dismount fails with files open, or what it had written is in the
// container; never zeros. A file hard-linked from the drive to a file
// elsewhere on the same tmpfs is unlinked at the wipe, not zeroed.
TEST_F(QdskKeeping, DismountKeepsWritesAndLinkedFiles)
{
    ASSERT_EQ(ConnectDriver(), 0u);
    ASSERT_TRUE(MakeContainer(container.c_str(), "pw", "pw", 4 << 20));
    int drive = FirstFreeDrive();
    ASSERT_EQ(Mount(drive, "pw"), 1);
    char view[1024];
    QdskStandinViewFolder(drive, view, sizeof view);
    std::string elsewhere = std::string(view) + "-linked-elsewhere";
    ASSERT_TRUE(WriteAll(("Z:" + elsewhere).c_str(), "kept outside the volume"));
    ASSERT_EQ(link(elsewhere.c_str(), (std::string(view) + "/linked.txt").c_str()), 0);

    Writer w = {CreateFileA(On(drive, "log.txt").c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            CREATE_ALWAYS, 0, nullptr),
                0, 0};
    ASSERT_NE(w.file, INVALID_HANDLE_VALUE);
    HANDLE thread = CreateThread(nullptr, 0, WriteRecords, &w, 0, nullptr);
    while (w.records < 2000)
        Sleep(10);
    LONG before = w.records;
    int forced = -1;
    RunAnswering([&] { forced = DismountVolume(nullptr, drive, TRUE); });
    w.stop = 1;
    WaitForSingleObject(thread, 10000);
    CloseHandle(thread);
    CloseHandle(w.file);
    LONG total = w.records;
    if (forced == 6) {
        EXPECT_TRUE(GetLogicalDrives() & (1u << drive)) << "the drive is back";
        EXPECT_EQ(Dismount(drive), 0) << "once the writer has stopped";
    } else {
        EXPECT_EQ(forced, 0);
    }
    EXPECT_EQ(ReadUnix(elsewhere), "kept outside the volume");
    unlink(elsewhere.c_str());

    ASSERT_EQ(Mount(drive, "pw"), 1);
    std::string log = ReadAll(On(drive, "log.txt").c_str());
    EXPECT_EQ(log.find('\0'), std::string::npos) << "no zeroed writes";
    EXPECT_EQ(log.size() % 24, 0u);
    LONG kept = LONG(log.size() / 24);
    EXPECT_GE(kept, before) << "everything written before the dismount";
    if (forced == 6) {
        EXPECT_EQ(kept, total);
    }
    EXPECT_TRUE(log == Records(kept));
    EXPECT_EQ(ReadAll(On(drive, "linked.txt").c_str()), "kept outside the volume");
    EXPECT_EQ(Dismount(drive), 0);
}

TEST_F(QdskKeeping, SavingWithoutSpaceKeepsTheDriveUntilThereIsRoom)
{
    // The container on a small file system of its own.
    std::string tiny = folder.substr(0, folder.size() - 1) + "-tiny";
    ASSERT_TRUE(CreateDirectoryA(tiny.c_str(), nullptr));
    std::string mountPoint = UnixOf(tiny);
    if (system(("mount -t tmpfs -o size=2m tmpfs '" + mountPoint + "' 2>/dev/null").c_str()) != 0) {
        RemoveDirectoryA(tiny.c_str());
        GTEST_SKIP() << "mounting a tiny tmpfs needs root";
    }
    container = tiny + "\\vdisk.dat";
    ASSERT_EQ(ConnectDriver(), 0u);
    ASSERT_TRUE(MakeContainer(container.c_str(), "pw", "pw"));
    int drive = FirstFreeDrive();
    ASSERT_EQ(Mount(drive, "pw"), 1);
    ASSERT_TRUE(WriteAll(On(drive, "work.txt").c_str(), "a session's work"));

    // 1.25 MiB container, 0.75 MiB free: no room for the new copy.
    std::vector<Box> boxes = RunAnswering([&] { EXPECT_EQ(DismountWithRetry(nullptr, drive, FALSE), 0); });
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].text, Text(GetString("ERR_VOLUME_SAVE_NO_SPACE"))) << "the cause, then that the drive stays";
    EXPECT_NE(boxes[0].text.find(u"空间不足"), std::u16string::npos);
    EXPECT_TRUE(GetLogicalDrives() & (1u << drive));
    EXPECT_EQ(ReadAll(On(drive, "work.txt").c_str()), "a session's work");
    EXPECT_EQ(Dismount(drive), VOLUME_SAVE_NO_SPACE);
    WIN32_FIND_DATAA found;
    HANDLE h = FindFirstFileA((tiny + "\\*.qdsk-new").c_str(), &found);
    EXPECT_EQ(h, INVALID_HANDLE_VALUE) << "no half-written copy is left";
    if (h != INVALID_HANDLE_VALUE)
        FindClose(h);

    // With room, a later dismount saves everything.
    ASSERT_EQ(system(("mount -o remount,size=8m '" + mountPoint + "'").c_str()), 0);
    EXPECT_EQ(Dismount(drive), 0);
    ASSERT_EQ(Mount(drive, "pw"), 1);
    EXPECT_EQ(ReadAll(On(drive, "work.txt").c_str()), "a session's work");
    EXPECT_EQ(Dismount(drive), 0);
    DeleteFileA(container.c_str());
    system(("umount '" + mountPoint + "'").c_str());
    RemoveDirectoryA(tiny.c_str());
}

// A backup of the container put back while the volume is mounted: the
// session's files are not saved over it (their area would be encrypted
// under a key its header may not hold), the user is told, and both the
// backup and the session's files survive.
TEST_F(QdskKeeping, ContainerReplacedWhileMountedIsNotOverwritten)
{
    ASSERT_EQ(ConnectDriver(), 0u);
    ASSERT_TRUE(MakeContainer(container.c_str(), "pw", "pw"));
    int drive = FirstFreeDrive();
    ASSERT_EQ(Mount(drive, "pw"), 1);
    ASSERT_TRUE(WriteAll(On(drive, "first.txt").c_str(), "first session"));
    ASSERT_EQ(Dismount(drive), 0);
    std::string backup = folder + "backup.dat";
    ASSERT_TRUE(CopyFileA(container.c_str(), backup.c_str(), FALSE));
    std::string saved = ReadAll(backup.c_str());

    ASSERT_EQ(Mount(drive, "pw"), 1);
    ASSERT_TRUE(WriteAll(On(drive, "second.txt").c_str(), "second session"));
    // Copied over it in place, as cp does (Windows programs cannot: the
    // mount holds the file without delete sharing).
    Sleep(20);
    int fd = open(UnixOf(container).c_str(), O_WRONLY | O_TRUNC);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(write(fd, saved.data(), saved.size()), ssize_t(saved.size()));
    close(fd);
    std::vector<Box> boxes = RunAnswering([&] { EXPECT_EQ(DismountWithRetry(nullptr, drive, FALSE), 0); });
    ASSERT_FALSE(boxes.empty());
    EXPECT_EQ(boxes[0].text, Text(GetString("ERR_VOLUME_CONTAINER_CHANGED")));
    EXPECT_EQ(Dismount(drive), VOLUME_CONTAINER_CHANGED);
    EXPECT_TRUE(ReadUnix(UnixOf(container)) == saved) << "the backup put back is untouched";
    EXPECT_EQ(ReadAll(On(drive, "second.txt").c_str()), "second session") << "the session's files stay";

    // Another container moved into its place: refused all the same. (The
    // exclusive mount keeps Windows programs out; Unix ones are not.)
    std::string other = folder + "other.dat";
    ASSERT_TRUE(MakeContainer(other.c_str(), "pw", "pw"));
    std::string otherBytes = ReadAll(other.c_str());
    ASSERT_EQ(rename(UnixOf(other).c_str(), UnixOf(container).c_str()), 0);
    EXPECT_EQ(Dismount(drive), VOLUME_CONTAINER_CHANGED);
    EXPECT_TRUE(ReadUnix(UnixOf(container)) == otherBytes);
    char view[1024];
    QdskStandinViewFolder(drive, view, sizeof view);
    QdskStandinReset();
    EXPECT_EQ(ReadAll(("Z:" + std::string(view) + "/second.txt").c_str()), "second session")
        << "kept when the process lets go";
    WipeTree(view);
    for (const char *tail : {".owner", ".lock"})
        unlink((std::string(view) + tail).c_str());
    DeleteFileA(backup.c_str());
}

TEST_F(QdskKeeping, SymlinkedContainerIsWrittenThrough)
{
    std::string target = folder + "real.dat";
    ASSERT_TRUE(MakeContainer(target.c_str(), "pw", "pw"));
    std::string realUnix = UnixOf(target);
    std::string link = UnixOf(container);
    ASSERT_EQ(symlink(realUnix.c_str(), link.c_str()), 0);
    ASSERT_EQ(ConnectDriver(), 0u);
    int drive = FirstFreeDrive();
    ASSERT_EQ(Mount(drive, "pw"), 1);
    ASSERT_TRUE(WriteAll(On(drive, "through.txt").c_str(), "via the link"));
    // Its time and the hidden flag survive the dismount as well.
    FILETIME written = {0x12345670, 0x01C00000};
    HANDLE f = CreateFileA(On(drive, "through.txt").c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(SetFileTime(f, nullptr, nullptr, &written));
    CloseHandle(f);
    bool hidden = SetFileAttributesA(On(drive, "through.txt").c_str(), FILE_ATTRIBUTE_HIDDEN) &&
                  (GetFileAttributesA(On(drive, "through.txt").c_str()) & FILE_ATTRIBUTE_HIDDEN);
    EXPECT_EQ(Dismount(drive), 0);
    struct stat st;
    ASSERT_EQ(lstat(link.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode)) << "the link stays a link";
    ASSERT_EQ(Mount(drive, "pw"), 1);
    EXPECT_EQ(ReadAll(On(drive, "through.txt").c_str()), "via the link");
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    ASSERT_TRUE(GetFileAttributesExA(On(drive, "through.txt").c_str(), GetFileExInfoStandard, &data));
    EXPECT_EQ(data.ftLastWriteTime.dwLowDateTime, written.dwLowDateTime);
    EXPECT_EQ(data.ftLastWriteTime.dwHighDateTime, written.dwHighDateTime);
    if (hidden) {
        EXPECT_TRUE(data.dwFileAttributes & FILE_ATTRIBUTE_HIDDEN);
    }
    EXPECT_EQ(Dismount(drive), 0);
    unlink(link.c_str());
    DeleteFileA(target.c_str());
}

// 256 MiB in an older mode (Serpent, CBC): the area is streamed, so memory
// grows by far less than the files written, let alone the container.
TEST_F(QdskKeeping, LargeOlderModeContainerStreams)
{
    ASSERT_EQ(ConnectDriver(), 0u);
    ASSERT_TRUE(MakeContainer(container.c_str(), "pw", "pw", 256ull << 20, MODE_CBC, 2));
    std::string payload(24 << 20, 0);
    for (size_t i = 0; i < payload.size(); i += 4096)
        payload[i] = char(i >> 12);
    int drive = FirstFreeDrive();
    ASSERT_EQ(Mount(drive, "pw"), 1);
    ASSERT_TRUE(WriteAll(On(drive, "large.bin").c_str(), payload));
    uint64_t before = PeakMemoryKiB();
    EXPECT_EQ(Dismount(drive), 0);
    ASSERT_EQ(Mount(drive, "pw"), 1);
    uint64_t after = PeakMemoryKiB();
    EXPECT_LT(after - before, 12u * 1024) << "peak grew by " << (after - before) << " KiB";
    EXPECT_TRUE(ReadAll(On(drive, "large.bin").c_str()) == payload);
    EXPECT_EQ(Dismount(drive), 0);
}

}  // namespace

// The second process of KilledProcessLosesNothing: mounts the container,
// writes, says where, and waits to be killed.
int RunStandinChild(const char *container)
{
    char mode[32] = "";
    GetEnvironmentVariableA("VG_STANDIN_CHILD", mode, sizeof mode);
    if (!lstrcmpA(mode, "hold")) {
        // Holds the file open without sharing, as an editor would.
        HANDLE f = CreateFileA(container, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD n = 0;
        if (f == INVALID_HANDLE_VALUE || !WriteFile(f, "held by another process.", 24, &n, nullptr))
            return 5;
        SetEvent(CreateEventA(nullptr, TRUE, FALSE, "vg-standin-child-ready"));
        Sleep(INFINITE);
    }
    SetPreferredLanguage("zh-cn");
    if (LoadLanguage() != 1 || !InitCrypto() || !OpenRandomPool() || ConnectDriver() != 0)
        return 2;
    PrivacyHandOver = [](HWND, int) {};
    bool checkpoint = !lstrcmpA(mode, "checkpoint");
    if (checkpoint)
        QdskStandinSetCheckpointTimes(1000, 600000);
    QdskPassword pw = Password("pw");
    MountOptions options = {};
    int drive = FirstFreeDrive();
    if (MountVolume(nullptr, drive, container, &pw, FALSE, TRUE, &options, TRUE) != 2)
        return 3;
    std::string root = std::string(1, char('A' + drive)) + ":\\";
    CreateDirectoryA((root + "docs").c_str(), nullptr);
    if (!WriteAll((root + "docs\\note.txt").c_str(), "written before the kill") ||
        !WriteAll((root + "second.bin").c_str(), std::string(70000, 's')))
        return 4;
    if (checkpoint) {
        // Until the quiet time has passed and the files were saved while
        // mounted; then the view is what the parent gets to delete.
        QdskStandinCounters counters = {};
        for (int i = 0; i < 300 && counters.checkpoints == 0; ++i) {
            Sleep(100);
            QdskStandinGetCounters(&counters);
        }
        char view[1024];
        QdskStandinViewFolder(drive, view, sizeof view);
        std::string ready = container;
        WriteAll((ready.substr(0, ready.rfind('\\') + 1) + "view.txt").c_str(), counters.checkpoints ? view : "");
        SetEvent(CreateEventA(nullptr, TRUE, FALSE, "vg-standin-child-ready"));
        Sleep(INFINITE);
    }
    std::string ready = container;
    ready = ready.substr(0, ready.rfind('\\') + 1) + "ready.txt";
    char text[64];
    wsprintfA(text, "%d %d", drive, int(getpid()));
    WriteAll(ready.c_str(), text);
    Sleep(INFINITE);
    return 0;
}
