#include "standin/qdsk/wine_drives.h"

#include <dirent.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "standin/qdsk/view_archive.h"

#include <windows.h>

namespace {

constexpr long TmpfsMagic = 0x01021994;

std::string PrefixFolder()
{
    if (const char *prefix = getenv("WINEPREFIX"); prefix && *prefix)
        return prefix;
    const char *home = getenv("HOME");
    return std::string(home ? home : "") + "/.wine";
}

std::string DosDeviceLink(int drive)
{
    char name[4] = {char('a' + drive), ':', 0};
    return PrefixFolder() + "/dosdevices/" + name;
}

void DeviceNames(int drive, WCHAR *name, WCHAR *target)
{
    name[0] = WCHAR(L'A' + drive), name[1] = L':', name[2] = 0;
    wsprintfW(target, L"\\Device\\QdskVolume%c", L'A' + drive);
}

bool OnTmpfs(const std::string &folder)
{
    struct statfs fs;
    struct stat st;
    return !folder.empty() && stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) &&
           access(folder.c_str(), W_OK) == 0 && statfs(folder.c_str(), &fs) == 0 && long(fs.f_type) == TmpfsMagic;
}

// The wineserver of this prefix: its working folder is the server folder
// named after the prefix's device and inode ("<tmp>/.wine-<uid>/server-d-i"
// or, as Debian builds it, "<tmp>/wine-XXXXXX/server-d-i").
int FindWineserver()
{
    struct stat st;
    if (stat(PrefixFolder().c_str(), &st) != 0)
        return -1;
    char expected[128];
    snprintf(expected, sizeof(expected), "/server-%llx-%llx", (unsigned long long)st.st_dev,
             (unsigned long long)st.st_ino);
    size_t expectedLength = strlen(expected);
    DIR *d = opendir("/proc");
    if (!d)
        return -1;
    int found = -1;
    while (dirent *e = readdir(d)) {
        int pid = atoi(e->d_name);
        if (pid <= 0)
            continue;
        char path[64], cwd[512];
        snprintf(path, sizeof(path), "/proc/%d/cwd", pid);
        ssize_t n = readlink(path, cwd, sizeof(cwd) - 1);
        if (n <= 0 || size_t(n) < expectedLength)
            continue;
        cwd[n] = 0;
        if (strcmp(cwd + n - expectedLength, expected) != 0)
            continue;
        char comm[64] = {};
        snprintf(path, sizeof(path), "/proc/%d/comm", pid);
        if (FILE *f = fopen(path, "r")) {
            if (fgets(comm, sizeof(comm), f) && !strncmp(comm, "wineserver", 10))
                found = pid;
            fclose(f);
        }
        if (found > 0)
            break;
    }
    closedir(d);
    return found;
}

}  // namespace

std::vector<std::string> RuntimeFolders()
{
    std::vector<std::string> folders;
    if (const char *runtime = getenv("XDG_RUNTIME_DIR"); runtime && OnTmpfs(runtime))
        folders.push_back(runtime);
    if (OnTmpfs("/dev/shm") && (folders.empty() || folders[0] != "/dev/shm"))
        folders.push_back("/dev/shm");
    return folders;
}

bool AddDrive(int drive, const std::string &view)
{
    if (symlink(view.c_str(), DosDeviceLink(drive).c_str()) != 0)
        return false;
    WCHAR name[3], target[64];
    DeviceNames(drive, name, target);
    if (!DefineDosDeviceW(DDD_RAW_TARGET_PATH, name, target)) {
        unlink(DosDeviceLink(drive).c_str());
        return false;
    }
    return true;
}

bool DriveShows(int drive, const std::string &view)
{
    char pointed[4096];
    ssize_t n = readlink(DosDeviceLink(drive).c_str(), pointed, sizeof(pointed) - 1);
    if (n <= 0)
        return false;
    pointed[n] = 0;
    return view == pointed;
}

void RemoveDrive(int drive, const std::string &view)
{
    // The link first: from then on no program can open a file on the drive.
    if (DriveShows(drive, view))
        unlink(DosDeviceLink(drive).c_str());
    WCHAR name[3], target[64];
    DeviceNames(drive, name, target);
    DefineDosDeviceW(DDD_RAW_TARGET_PATH | DDD_REMOVE_DEFINITION | DDD_EXACT_MATCH_ON_REMOVE, name, target);
}

bool DriveTaken(int drive)
{
    // A link to a view that is gone (wiped by hand, or left by an emulation
    // whose view was recovered elsewhere) goes, with the DOS device that
    // showed it.
    std::string link = DosDeviceLink(drive);
    char target[4096];
    struct stat st;
    ssize_t n = readlink(link.c_str(), target, sizeof(target) - 1);
    if (n > 0) {
        target[n] = 0;
        if (strstr(target, "/qdsk-") && strstr(target, "/view-") && stat(target, &st) != 0)
            RemoveDrive(drive, target);
    }
    return (GetLogicalDrives() & (1u << drive)) || lstat(link.c_str(), &st) == 0;
}

bool FilesOpenUnder(const std::string &view)
{
    int server = FindWineserver();
    if (server > 0 && ProcessHasOpenUnder(server, view))
        return true;
    return ProcessHasOpenUnder(getpid(), view);
}
