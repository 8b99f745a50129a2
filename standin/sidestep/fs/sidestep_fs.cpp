// sidestep_fs: the file system half of the redirection minifilter's stand-in
// (a Linux program, not a Wine one). While the minifilter is loaded it serves
// the Wine prefix's C: drive: the drive's "dosdevices" link points at this
// file system's mount, and every access passes through to the real folder,
// except that a lookup of a file (or of a name that does not exist yet) by a
// program is first put to the Veilguard program as the minifilter's question,
// with the NT path of the file. A non-empty answer sends that path, and every
// later access to it (open, create, rename, delete, attributes, times), to the
// same path on the virtual disk.
//
// Under Wine the client program makes the lookups and the wineserver makes
// the open; while the wineserver waits in an open no Wine call can complete,
// so the question is asked only at lookups of programs other than the
// wineserver and the Veilguard program itself, and every other call is
// answered from the decisions kept (rules do not change while the minifilter
// is loaded). Opens themselves are never answered (see OpOpen), so the
// wineserver does not wait here at all when it opens or closes a file. This
// program makes no Wine call at all.
//
// When the Veilguard program goes away (its socket closes), asks for the
// drive back, or does not answer within the time limit, the link is pointed
// at the real folder again and the mount detached: C: works without this
// program from then on, and accesses already inside the mount are passed
// through until they end.
#define FUSE_USE_VERSION 31
#include <fuse.h>

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/time.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <unordered_map>

#include "sidestep_fs_wire.h"

namespace {

struct Settings {
    std::string driveC, mount, link, original, cDevice, rDevice, rRoot;
    pid_t program = 0;
    int timeoutMs = 5000;
    int socket = 3;
};

Settings g_settings;
int g_driveFd = -1;

std::mutex g_lock;  // everything below
std::condition_variable g_answered;
bool g_asking = true;  // the program answers questions
bool g_givenBack = false;
uint64_t g_nextId = 1;
std::unordered_map<uint64_t, std::pair<bool, std::u16string>> g_pending;  // id -> (done, target)
// Decisions by lower-cased path below the root: the virtual path, or empty
// when the access goes to the real folder.
std::unordered_map<std::string, std::string> g_decisions;
std::map<pid_t, bool> g_quiet;  // process -> never asked

// Held while the program's request to give C: back is carried out and
// answered. Giving back ends the mount, and with it the main thread's
// loop: the process must not end before the program has its answer, or
// the program waits out its time limit for it.
std::mutex g_stopping;

std::string Lower(const std::string &s)
{
    std::string out(s);
    for (char &c : out)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return out;
}

std::u16string Utf16(const std::string &s)
{
    std::u16string out;
    for (size_t i = 0; i < s.size();) {
        unsigned char c = s[i];
        uint32_t cp;
        int n;
        if (c < 0x80) { cp = c; n = 1; }
        else if ((c >> 5) == 6) { cp = c & 0x1F; n = 2; }
        else if ((c >> 4) == 14) { cp = c & 0x0F; n = 3; }
        else { cp = c & 0x07; n = 4; }
        for (int k = 1; k < n && i + k < s.size(); ++k)
            cp = (cp << 6) | (s[i + k] & 0x3F);
        i += n;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += char16_t(0xD800 + (cp >> 10));
            out += char16_t(0xDC00 + (cp & 0x3FF));
        } else {
            out += char16_t(cp);
        }
    }
    return out;
}

std::string Utf8(const std::u16string &s)
{
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        uint32_t cp = s[i];
        if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < s.size()) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            ++i;
        }
        if (cp < 0x80) out += char(cp);
        else if (cp < 0x800) { out += char(0xC0 | (cp >> 6)); out += char(0x80 | (cp & 0x3F)); }
        else if (cp < 0x10000) {
            out += char(0xE0 | (cp >> 12)); out += char(0x80 | ((cp >> 6) & 0x3F)); out += char(0x80 | (cp & 0x3F));
        } else {
            out += char(0xF0 | (cp >> 18)); out += char(0x80 | ((cp >> 12) & 0x3F));
            out += char(0x80 | ((cp >> 6) & 0x3F)); out += char(0x80 | (cp & 0x3F));
        }
    }
    return out;
}

// Points the drive's link at target, atomically, when it points at from
// (empty: whatever it points at).
bool Repoint(const std::string &from, const std::string &target)
{
    char now[4096];
    ssize_t n = readlink(g_settings.link.c_str(), now, sizeof now - 1);
    if (n < 0)
        return false;
    now[n] = 0;
    if (!from.empty() && from != now)
        return false;
    std::string temporary = g_settings.link + ".sidestep";
    unlink(temporary.c_str());
    if (symlink(target.c_str(), temporary.c_str()) != 0)
        return false;
    if (rename(temporary.c_str(), g_settings.link.c_str()) != 0) {
        unlink(temporary.c_str());
        return false;
    }
    return true;
}

bool IsMounted(const std::string &path)
{
    FILE *f = fopen("/proc/self/mounts", "r");
    if (!f)
        return false;
    char line[8192];
    bool found = false;
    while (!found && fgets(line, sizeof line, f)) {
        char *space = strchr(line, ' ');
        if (!space)
            continue;
        char *end = strchr(space + 1, ' ');
        if (end)
            *end = 0;
        found = path == space + 1;
    }
    fclose(f);
    return found;
}

// Gives C: back: the link at the real folder, the mount detached (it ends
// once nobody uses it any more). Once; the program is not asked again.
void GiveBack(const char *why)
{
    {
        std::lock_guard<std::mutex> guard(g_lock);
        g_asking = false;
        if (g_givenBack)
            return;
        g_givenBack = true;
    }
    g_answered.notify_all();
    Repoint(g_settings.mount, g_settings.original);
    if (umount2(g_settings.mount.c_str(), MNT_DETACH) != 0) {
        std::string command = "fusermount3 -u -z '" + g_settings.mount + "' 2>/dev/null";
        if (system(command.c_str()) != 0)
            fprintf(stderr, "sidestep_fs: could not detach %s\n", g_settings.mount.c_str());
    }
    fprintf(stderr, "sidestep_fs: C: given back (%s)\n", why);
}

bool Send(uint32_t kind, uint64_t id, const std::u16string &path)
{
    SidestepFsRecord record = {};
    record.kind = kind;
    record.id = id;
    size_t n = path.size() < SIDESTEP_FS_PATH_UNITS - 1 ? path.size() : SIDESTEP_FS_PATH_UNITS - 1;
    memcpy(record.path, path.data(), n * 2);
    return send(g_settings.socket, &record, sizeof record, MSG_NOSIGNAL) == sizeof record;
}

// The program's answers, its request to give the drive back, its end.
void ReadProgram()
{
    SidestepFsRecord record;
    while (ReceiveSidestepFsRecord(g_settings.socket, record)) {
        if (record.kind == SIDESTEP_FS_ANSWER) {
            std::lock_guard<std::mutex> guard(g_lock);
            auto it = g_pending.find(record.id);
            if (it != g_pending.end()) {
                it->second.first = true;
                it->second.second = std::u16string(reinterpret_cast<const char16_t *>(record.path));
            }
            g_answered.notify_all();
        } else if (record.kind == SIDESTEP_FS_STOP) {
            std::lock_guard<std::mutex> guard(g_stopping);
            GiveBack("unloaded");
            Send(SIDESTEP_FS_STOPPED, 0, u"");
        }
    }
    GiveBack("the program went away");
}

// Processes that are never asked: the wineserver (it makes the opens; while
// it waits here no Wine call completes), the Veilguard program itself (its
// own threads may hold what its workers need) and this program.
bool IsQuiet(pid_t pid)
{
    {
        std::lock_guard<std::mutex> guard(g_lock);
        auto it = g_quiet.find(pid);
        if (it != g_quiet.end())
            return it->second;
    }
    pid_t group = pid;
    char path[64], text[4096];
    snprintf(path, sizeof path, "/proc/%d/status", int(pid));
    FILE *f = fopen(path, "r");
    if (f) {
        while (fgets(text, sizeof text, f))
            if (strncmp(text, "Tgid:", 5) == 0)
                group = pid_t(atoi(text + 5));
        fclose(f);
    }
    bool quiet = group == g_settings.program || group == getpid();
    snprintf(path, sizeof path, "/proc/%d/comm", int(group));
    f = fopen(path, "r");
    if (f) {
        if (fgets(text, sizeof text, f))
            quiet = quiet || strncmp(text, "wineserver", 10) == 0;
        fclose(f);
    }
    std::lock_guard<std::mutex> guard(g_lock);
    if (g_quiet.size() > 4096)
        g_quiet.clear();
    g_quiet[pid] = quiet;
    return quiet;
}

// The folder on the virtual disk for a target below its root, with each
// existing part in the case it has there.
std::string VirtualPath(const std::string &below)
{
    std::string path = g_settings.rRoot;
    size_t start = 0;
    while (start <= below.size()) {
        size_t end = below.find('/', start);
        if (end == std::string::npos)
            end = below.size();
        std::string part = below.substr(start, end - start);
        start = end + 1;
        if (part.empty())
            continue;
        std::string exact = path + "/" + part;
        struct stat st;
        if (lstat(exact.c_str(), &st) != 0) {
            if (DIR *d = opendir(path.c_str())) {
                while (struct dirent *e = readdir(d))
                    if (strcasecmp(e->d_name, part.c_str()) == 0) {
                        part = e->d_name;
                        break;
                    }
                closedir(d);
            }
        }
        path += "/" + part;
    }
    return path;
}

// The kept decision for a path below the root ("" = real); asks when there is
// none and the caller may ask. Not asked, not kept: real.
std::string Decide(const std::string &below, bool mayAsk)
{
    std::string key = Lower(below);
    std::unique_lock<std::mutex> guard(g_lock);
    auto kept = g_decisions.find(key);
    if (kept != g_decisions.end())
        return kept->second;
    if (!mayAsk || !g_asking)
        return std::string();

    std::string nt = g_settings.cDevice + "\\" + below;
    for (char &c : nt)
        if (c == '/')
            c = '\\';
    std::u16string path = Utf16(nt);
    if (path.size() >= SIDESTEP_FS_PATH_UNITS)
        return std::string();
    uint64_t id = g_nextId++;
    g_pending[id] = {false, std::u16string()};
    guard.unlock();
    bool sent = Send(SIDESTEP_FS_ASK, id, path);
    guard.lock();
    bool done = sent && g_answered.wait_for(guard, std::chrono::milliseconds(g_settings.timeoutMs), [&] {
        return g_pending[id].first || !g_asking;
    }) && g_pending[id].first;
    std::u16string target = g_pending[id].second;
    g_pending.erase(id);
    if (!done) {
        bool hung = g_asking;
        guard.unlock();
        if (hung) {
            GiveBack("no answer in time");
            // The stand-in sees its file system go and unloads itself.
            shutdown(g_settings.socket, SHUT_RDWR);
        }
        return std::string();
    }
    std::string result;
    std::string t = Utf8(target);
    const std::string &device = g_settings.rDevice;
    if (!t.empty() && !g_settings.rRoot.empty() && t.size() > device.size() &&
        strncasecmp(t.c_str(), device.c_str(), device.size()) == 0 && t[device.size()] == '\\') {
        std::string rest = t.substr(device.size() + 1);
        for (char &c : rest)
            if (c == '\\')
                c = '/';
        guard.unlock();
        result = VirtualPath(rest);
        guard.lock();
    }
    g_decisions[key] = result;
    return result;
}

// Where a path of this file system is: the real folder (dirfd and a path
// relative to it) or an absolute path on the virtual disk.
struct Place {
    int dir;
    std::string path;
    bool redirected() const { return dir == AT_FDCWD; }
};

// The name a path below the real folder has there, each part matched
// without regard to case when it is not there as written (C: is
// case-insensitive for every program; answering a lookup in another case
// here spares Wine its own search through the folder, one round trip per
// call, for every access written in another case). Parts not found stay
// as they are.
std::string RealName(const std::string &below)
{
    std::string path;
    size_t start = 0;
    while (start < below.size()) {
        size_t end = below.find('/', start);
        if (end == std::string::npos)
            end = below.size();
        std::string part = below.substr(start, end - start);
        start = end + 1;
        std::string exact = path.empty() ? part : path + "/" + part;
        struct stat st;
        if (fstatat(g_driveFd, exact.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
            int fd = openat(g_driveFd, path.empty() ? "." : path.c_str(), O_RDONLY | O_DIRECTORY);
            if (DIR *d = fd >= 0 ? fdopendir(fd) : nullptr) {
                while (struct dirent *e = readdir(d))
                    if (strcasecmp(e->d_name, part.c_str()) == 0) {
                        part = e->d_name;
                        break;
                    }
                closedir(d);
            } else if (fd >= 0) {
                close(fd);
            }
        }
        path = path.empty() ? part : path + "/" + part;
    }
    return path;
}

Place Locate(const char *path, bool lookup)
{
    std::string below = path[0] == '/' ? path + 1 : path;
    if (below.empty())
        return {g_driveFd, "."};
    struct stat st;
    if (fstatat(g_driveFd, below.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 && errno == ENOENT)
        below = RealName(below);
    // Folders that exist on the real disk are the way to everything else.
    if (fstatat(g_driveFd, below.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode))
        return {g_driveFd, below};
    bool mayAsk = lookup && !IsQuiet(fuse_get_context()->pid);
    std::string target = Decide(below, mayAsk);
    if (!target.empty())
        return {AT_FDCWD, target};
    return {g_driveFd, below};
}

#define FAIL_IF(x) \
    if ((x) != 0)  \
        return -errno

int OpGetattr(const char *path, struct stat *st, fuse_file_info *fi)
{
    if (fi && fi->fh)
        return fstat(int(fi->fh), st) == 0 ? 0 : -errno;
    Place p = Locate(path, true);
    FAIL_IF(fstatat(p.dir, p.path.c_str(), st, AT_SYMLINK_NOFOLLOW));
    return 0;
}

int OpReadlink(const char *path, char *buffer, size_t size)
{
    Place p = Locate(path, false);
    ssize_t n = readlinkat(p.dir, p.path.c_str(), buffer, size - 1);
    if (n < 0)
        return -errno;
    buffer[n] = 0;
    return 0;
}

int OpMkdir(const char *path, mode_t mode)
{
    Place p = Locate(path, false);
    FAIL_IF(mkdirat(p.dir, p.path.c_str(), mode));
    return 0;
}

int OpUnlink(const char *path)
{
    Place p = Locate(path, false);
    FAIL_IF(unlinkat(p.dir, p.path.c_str(), 0));
    return 0;
}

int OpRmdir(const char *path)
{
    Place p = Locate(path, false);
    FAIL_IF(unlinkat(p.dir, p.path.c_str(), AT_REMOVEDIR));
    return 0;
}

int OpSymlink(const char *target, const char *path)
{
    Place p = Locate(path, false);
    FAIL_IF(symlinkat(target, p.dir, p.path.c_str()));
    return 0;
}

int OpRename(const char *from, const char *to, unsigned int flags)
{
    if (flags)
        return -EINVAL;
    Place a = Locate(from, false), b = Locate(to, false);
    FAIL_IF(renameat(a.dir, a.path.c_str(), b.dir, b.path.c_str()));
    return 0;
}

int OpLink(const char *from, const char *to)
{
    Place a = Locate(from, false), b = Locate(to, false);
    FAIL_IF(linkat(a.dir, a.path.c_str(), b.dir, b.path.c_str(), 0));
    return 0;
}

int OpChmod(const char *path, mode_t mode, fuse_file_info *fi)
{
    if (fi && fi->fh)
        return fchmod(int(fi->fh), mode) == 0 ? 0 : -errno;
    Place p = Locate(path, false);
    FAIL_IF(fchmodat(p.dir, p.path.c_str(), mode, 0));
    return 0;
}

int OpChown(const char *path, uid_t uid, gid_t gid, fuse_file_info *fi)
{
    if (fi && fi->fh)
        return fchown(int(fi->fh), uid, gid) == 0 ? 0 : -errno;
    Place p = Locate(path, false);
    FAIL_IF(fchownat(p.dir, p.path.c_str(), uid, gid, AT_SYMLINK_NOFOLLOW));
    return 0;
}

int OpTruncate(const char *path, off_t size, fuse_file_info *fi)
{
    if (fi && fi->fh)
        return ftruncate(int(fi->fh), size) == 0 ? 0 : -errno;
    Place p = Locate(path, false);
    int fd = openat(p.dir, p.path.c_str(), O_WRONLY);
    if (fd < 0)
        return -errno;
    int rc = ftruncate(fd, size) == 0 ? 0 : -errno;
    close(fd);
    return rc;
}

// Opens are not answered: the kernel then stops sending them (and their
// releases) at all, and the wineserver, which makes every open, never waits
// for this program to open a file. Reads and writes come with the path and
// open it for each call (the descriptor handle is 0); the kernel keeps the
// file's pages, and drops them when a change of size or time shows.
int OpOpen(const char *, fuse_file_info *) { return -ENOSYS; }

// The file at path, opened for one call.
int PathFd(const char *path, int flags)
{
    Place p = Locate(path, false);
    return openat(p.dir, p.path.c_str(), flags);
}

int OpCreate(const char *path, mode_t mode, fuse_file_info *fi)
{
    Place p = Locate(path, false);
    int fd = openat(p.dir, p.path.c_str(), fi->flags | O_CREAT, mode);
    if (fd < 0)
        return -errno;
    close(fd);
    fi->fh = 0;
    return 0;
}

int OpRead(const char *path, char *buffer, size_t size, off_t offset, fuse_file_info *fi)
{
    int fd = fi->fh ? int(fi->fh) : PathFd(path, O_RDONLY);
    if (fd < 0)
        return -errno;
    ssize_t n = pread(fd, buffer, size, offset);
    int rc = n < 0 ? -errno : int(n);
    if (!fi->fh)
        close(fd);
    return rc;
}

int OpWrite(const char *path, const char *buffer, size_t size, off_t offset, fuse_file_info *fi)
{
    int fd = fi->fh ? int(fi->fh) : PathFd(path, O_WRONLY);
    if (fd < 0)
        return -errno;
    ssize_t n = pwrite(fd, buffer, size, offset);
    int rc = n < 0 ? -errno : int(n);
    if (!fi->fh)
        close(fd);
    return rc;
}

int OpStatfs(const char *, struct statvfs *st) { return fstatvfs(g_driveFd, st) == 0 ? 0 : -errno; }

int OpRelease(const char *, fuse_file_info *fi)
{
    if (fi->fh)
        close(int(fi->fh));
    return 0;
}

int OpFsync(const char *path, int dataOnly, fuse_file_info *fi)
{
    int fd = fi->fh ? int(fi->fh) : PathFd(path, O_RDONLY);
    if (fd < 0)
        return -errno;
    int rc = (dataOnly ? fdatasync(fd) : fsync(fd)) == 0 ? 0 : -errno;
    if (!fi->fh)
        close(fd);
    return rc;
}

int OpAccess(const char *path, int mask)
{
    Place p = Locate(path, true);
    FAIL_IF(faccessat(p.dir, p.path.c_str(), mask, 0));
    return 0;
}

int OpUtimens(const char *path, const struct timespec tv[2], fuse_file_info *fi)
{
    if (fi && fi->fh)
        return futimens(int(fi->fh), tv) == 0 ? 0 : -errno;
    Place p = Locate(path, false);
    FAIL_IF(utimensat(p.dir, p.path.c_str(), tv, AT_SYMLINK_NOFOLLOW));
    return 0;
}

// A folder lists its real entries and, over them, the entries of the same
// folder on the virtual disk: a program sees the redirected copies, not the
// real files of the same names.
int OpReaddir(const char *path, void *buffer, fuse_fill_dir_t fill, off_t, fuse_file_info *, fuse_readdir_flags)
{
    Place p = Locate(path, true);
    std::set<std::string> seen;
    std::string below = path[0] == '/' ? path + 1 : path;
    if (!p.redirected() && !g_settings.rRoot.empty()) {
        std::string shadow = VirtualPath(below);
        if (DIR *d = opendir(shadow.c_str())) {
            while (struct dirent *e = readdir(d)) {
                if (!seen.insert(Lower(e->d_name)).second)
                    continue;
                // Listed only when an access to it would be redirected.
                std::string child = below.empty() ? e->d_name : below + "/" + e->d_name;
                bool dot = strcmp(e->d_name, ".") == 0 || strcmp(e->d_name, "..") == 0;
                if (dot || Locate(("/" + child).c_str(), true).redirected())
                    fill(buffer, e->d_name, nullptr, 0, fuse_fill_dir_flags(0));
                else
                    seen.erase(Lower(e->d_name));
            }
            closedir(d);
        }
    }
    int fd = openat(p.dir, p.path.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd < 0)
        return -errno;
    DIR *d = fdopendir(fd);
    if (!d) {
        close(fd);
        return -errno;
    }
    while (struct dirent *e = readdir(d))
        if (seen.insert(Lower(e->d_name)).second)
            fill(buffer, e->d_name, nullptr, 0, fuse_fill_dir_flags(0));
    closedir(d);
    return 0;
}

void *OpInit(fuse_conn_info *conn, fuse_config *config)
{
    // Without opens, a truncating open must reach this program as a change
    // of size.
    conn->want &= ~FUSE_CAP_ATOMIC_O_TRUNC;
    // A name not there yet must reach this program at every lookup: that
    // is where the decision for its creation is made. A name found may be
    // kept by the kernel for a second: the first lookup of it by a program
    // made and kept the decision, which every later call uses. (Only a
    // lookup by the wineserver or the Veilguard program itself decides
    // nothing; neither looks up another program's rule files first.)
    config->entry_timeout = 1.0;
    config->attr_timeout = 1.0;
    config->negative_timeout = 0;
    config->hard_remove = 1;
    config->use_ino = 0;
    return nullptr;
}

const char *Value(int argc, char **argv, const char *name)
{
    for (int i = 1; i + 1 < argc; ++i)
        if (strcmp(argv[i], name) == 0)
            return argv[i + 1];
    return "";
}

} // namespace

int main(int argc, char **argv)
{
    g_settings.driveC = Value(argc, argv, "--drive-c");
    g_settings.mount = Value(argc, argv, "--mount");
    g_settings.link = Value(argc, argv, "--link");
    g_settings.original = Value(argc, argv, "--original");
    g_settings.cDevice = Value(argc, argv, "--c-device");
    g_settings.rDevice = Value(argc, argv, "--r-device");
    g_settings.rRoot = Value(argc, argv, "--r-root");
    g_settings.program = pid_t(atoi(Value(argc, argv, "--program")));
    if (int t = atoi(Value(argc, argv, "--timeout-ms")))
        g_settings.timeoutMs = t;
    if (g_settings.driveC.empty() || g_settings.mount.empty() || g_settings.link.empty() ||
        g_settings.original.empty()) {
        fprintf(stderr, "usage: sidestep_fs --drive-c DIR --mount DIR --link DOSDEVICE --original TARGET "
                        "--c-device NT --r-device NT --r-root DIR --program PID [--timeout-ms N] (socket on fd 3)\n");
        return 2;
    }
    // Not the program's child once running: it does not have to wait for us.
    pid_t child = fork();
    if (child < 0)
        return 1;
    if (child > 0)
        _exit(0);
    setsid();
    signal(SIGPIPE, SIG_IGN);
    for (int fd = 4; fd < 1024; ++fd)
        close(fd);
    // A handle of 0 means "no descriptor": 0 is never one of ours.
    if (fcntl(0, F_GETFD) < 0)
        open("/dev/null", O_RDONLY);

    // What an earlier run may have left.
    Repoint(g_settings.mount, g_settings.original);
    if (IsMounted(g_settings.mount))
        umount2(g_settings.mount.c_str(), MNT_DETACH);
    mkdir(g_settings.mount.c_str(), 0755);

    g_driveFd = open(g_settings.driveC.c_str(), O_RDONLY | O_DIRECTORY);
    if (g_driveFd < 0)
        return 1;
    static fuse_operations ops = {};
    ops.getattr = OpGetattr;
    ops.readlink = OpReadlink;
    ops.mkdir = OpMkdir;
    ops.unlink = OpUnlink;
    ops.rmdir = OpRmdir;
    ops.symlink = OpSymlink;
    ops.rename = OpRename;
    ops.link = OpLink;
    ops.chmod = OpChmod;
    ops.chown = OpChown;
    ops.truncate = OpTruncate;
    ops.open = OpOpen;
    ops.read = OpRead;
    ops.write = OpWrite;
    ops.statfs = OpStatfs;
    ops.release = OpRelease;
    ops.fsync = OpFsync;
    ops.readdir = OpReaddir;
    ops.init = OpInit;
    ops.access = OpAccess;
    ops.create = OpCreate;
    ops.utimens = OpUtimens;
    char name[] = "sidestep_fs", dashO[] = "-o", options[] = "allow_other,fsname=sidestep,subtype=sidestep";
    char *fuseArgv[] = {name, dashO, options, nullptr};
    fuse_args args = FUSE_ARGS_INIT(3, fuseArgv);
    fuse *fs = fuse_new(&args, &ops, sizeof ops, nullptr);
    if (!fs || fuse_mount(fs, g_settings.mount.c_str()) != 0) {
        fprintf(stderr, "sidestep_fs: cannot mount %s\n", g_settings.mount.c_str());
        return 1;
    }
    if (!Repoint(g_settings.original, g_settings.mount)) {
        fprintf(stderr, "sidestep_fs: cannot point %s at the mount\n", g_settings.link.c_str());
        fuse_unmount(fs);
        return 1;
    }
    std::thread reader(ReadProgram);
    reader.detach();
    Send(SIDESTEP_FS_READY, 0, u"");
    fuse_loop_mt(fs, 0);
    GiveBack("the mount ended");
    // A stop on its way is answered first.
    std::lock_guard<std::mutex> answered(g_stopping);
    fuse_unmount(fs);
    fuse_destroy(fs);
    return 0;
}
