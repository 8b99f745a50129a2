#include "standin/qdsk/volume_storage.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "crypto/secure_memory.h"
#include "standin/qdsk/area_cipher.h"
#include "standin/qdsk/fresh_mark.h"
#include "standin/qdsk/view_archive.h"
#include "standin/qdsk/wine_drives.h"
#include "volume/volume_error_table.h"

namespace {

constexpr int MountFailed = 24, FilesOpen = 6;
// Room left over on the container's disk beyond the new copy.
constexpr uint64_t SpareBytes = 1 << 20;

bool ReadAt(int fd, uint64_t offset, uint8_t *buffer, size_t length)
{
    size_t done = 0;
    while (done < length) {
        ssize_t n = pread(fd, buffer + done, length - done, off_t(offset + done));
        if (n <= 0)
            return false;
        done += size_t(n);
    }
    return true;
}

// errno of the first failed write, 0 when all went.
int WriteAt(int fd, uint64_t offset, const uint8_t *buffer, size_t length)
{
    size_t done = 0;
    while (done < length) {
        ssize_t n = pwrite(fd, buffer + done, length - done, off_t(offset + done));
        if (n <= 0)
            return n < 0 ? errno : ENOSPC;
        done += size_t(n);
    }
    return 0;
}

int SaveErrorCode(int error)
{
    return error == ENOSPC || error == EDQUOT || error == EFBIG ? VOLUME_SAVE_NO_SPACE : VOLUME_SAVE_NOT_WRITABLE;
}

std::string OwnerRecord(const std::string &view) { return view + ".owner"; }

std::string Folder(const std::string &path)
{
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

// The area's plain bytes from its start, in pieces, to sink until it has
// had enough. False when the container cannot be read or decrypted.
template <class Sink> bool ReadArea(int fd, QdskCryptoContext *key, Sink sink)
{
    std::vector<uint8_t> chunk(AREA_CHUNK);
    AreaCipher cipher(key, false);
    bool ok = true, more = true;
    for (uint64_t offset = 0; ok && more && offset < key->dataSize; offset += chunk.size()) {
        size_t n = key->dataSize - offset < chunk.size() ? size_t(key->dataSize - offset) : chunk.size();
        ok = ReadAt(fd, key->areaStart + offset, chunk.data(), n) && cipher.Next(chunk.data(), n);
        if (ok)
            more = sink(chunk.data(), n);
    }
    BurnMemory(chunk.data(), chunk.size());
    return ok;
}

// Writes the new container copy: everything of the old one, with the
// packed view encrypted over the start of the data area. Returns a result
// code.
int WriteCopy(int in, int out, uint64_t size, QdskCryptoContext *key, const std::string &view,
              const ViewListing &listing, uint32_t crc)
{
    std::vector<uint8_t> chunk(AREA_CHUNK);
    int error = 0;
    // Headers and everything else outside the frame, unchanged.
    for (uint64_t offset = 0; !error && offset < size;) {
        size_t n = size - offset < chunk.size() ? size_t(size - offset) : chunk.size();
        if (!ReadAt(in, offset, chunk.data(), n))
            return MountFailed;
        error = WriteAt(out, offset, chunk.data(), n);
        offset += n;
    }
    if (error)
        return SaveErrorCode(error);

    // The frame, encrypted piece by piece; its last piece is padded to a
    // whole data unit.
    AreaCipher cipher(key, true);
    size_t filled = 0;
    uint64_t written = 0;
    auto flush = [&](size_t n) {
        if (!cipher.Next(chunk.data(), n))
            return false;
        error = WriteAt(out, key->areaStart + written, chunk.data(), n);
        written += n;
        filled = 0;
        return error == 0;
    };
    auto sink = [&](const uint8_t *data, size_t length) {
        while (length > 0) {
            size_t n = chunk.size() - filled < length ? chunk.size() - filled : length;
            memcpy(chunk.data() + filled, data, n);
            filled += n, data += n, length -= n;
            if (filled == chunk.size() && !flush(filled))
                return false;
        }
        return true;
    };
    uint8_t header[VIEW_FRAME_HEADER];
    BuildViewFrameHeader(listing, crc, header);
    uint32_t again = 0;
    bool ok = sink(header, sizeof header) && StreamViewPayload(view, listing, sink, again);
    if (ok && filled > 0) {
        size_t padded = (filled + 511) / 512 * 512;
        if (written + padded > key->dataSize)
            padded = size_t(key->dataSize - written);
        memset(chunk.data() + filled, 0, padded - filled);
        ok = flush(padded);
    }
    BurnMemory(chunk.data(), chunk.size());
    if (error)
        return SaveErrorCode(error);
    if (!ok)
        return FilesOpen;  // a file changed or vanished while it was packed
    return again == crc ? 0 : FilesOpen;
}

// Whether the process still runs: a zombie (ended, not yet reaped by its
// parent) does not.
bool ProcessRuns(int pid)
{
    if (kill(pid, 0) != 0 && errno == ESRCH)
        return false;
    char path[64], text[512] = {};
    snprintf(path, sizeof path, "/proc/%d/stat", pid);
    FILE *f = fopen(path, "r");
    if (!f)
        return false;
    size_t n = fread(text, 1, sizeof text - 1, f);
    fclose(f);
    const char *end = strrchr(text, ')');  // the name may hold anything
    return !(n > 0 && end && end[1] == ' ' && end[2] == 'Z');
}

bool ParseOwner(const std::string &record, std::string &container, OrphanedView &o)
{
    FILE *f = fopen(record.c_str(), "r");
    if (!f)
        return false;
    char line[PATH_MAX + 2];
    bool ok = fgets(line, sizeof line, f) != nullptr;
    if (ok) {
        line[strcspn(line, "\n")] = 0;
        container = line;
        unsigned crc = 0;
        unsigned long long length = 0;
        int readOnly = 0;
        ok = fscanf(f, "%d %d %u %llu", &o.drive, &readOnly, &crc, &length) >= 2;
        o.readOnly = readOnly != 0;
        o.crc = crc;
        o.length = length;
    }
    fclose(f);
    return ok;
}

bool WriteOwner(const std::string &view, const std::string &container, int drive, bool readOnly, uint32_t crc,
                uint64_t length)
{
    std::string record = OwnerRecord(view), temp = record + ".new";
    int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    char text[PATH_MAX + 128];
    int n = snprintf(text, sizeof text, "%s\n%d %d %u %llu\n", container.c_str(), drive, readOnly ? 1 : 0,
                     unsigned(crc), (unsigned long long)length);
    bool ok = n > 0 && size_t(n) < sizeof text && WriteAt(fd, 0, reinterpret_cast<uint8_t *>(text), size_t(n)) == 0;
    ok = close(fd) == 0 && ok;
    ok = ok && rename(temp.c_str(), record.c_str()) == 0;
    if (!ok)
        unlink(temp.c_str());
    return ok;
}

}  // namespace

int RestoreView(const std::string &container, QdskCryptoContext *key, const std::string &view)
{
    int fd = open(container.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return MountFailed;
    enum { Unknown, Fresh, Frame, Foreign } kind = Unknown;
    ViewUnpacker unpacker(view);
    bool read = key->dataSize >= 512 && ReadArea(fd, key, [&](const uint8_t *data, size_t n) {
                    if (kind == Unknown)
                        kind = IsFreshMark(data) ? Fresh : ViewFrameLength(data) ? Frame : Foreign;
                    if (kind != Frame)
                        return false;
                    return unpacker.Feed(data, n) && !unpacker.Done();
                });
    close(fd);
    if (!read)
        return MountFailed;
    if (kind == Fresh)
        return 0;
    // A damaged frame is as unreadable as a foreign file system: it is
    // refused rather than taken for an empty volume.
    if (kind != Frame || !unpacker.Finish())
        return VOLUME_CONTENTS_UNREADABLE;
    return 0;
}

int SaveView(const std::string &container, QdskCryptoContext *key, const std::string &view)
{
    ViewListing listing;
    if (!ListView(view, listing))
        return MountFailed;
    if (listing.frameLength > key->dataSize)
        return VOLUME_VIEW_TOO_LARGE;
    uint32_t crc = 0;
    if (!StreamViewPayload(view, listing, [](const uint8_t *, size_t) { return true; }, crc))
        return FilesOpen;

    int in = open(container.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat st;
    if (in < 0 || fstat(in, &st) != 0) {
        if (in >= 0)
            close(in);
        return VOLUME_SAVE_NOT_WRITABLE;
    }
    // The new copy needs as much room as the container: say so before
    // writing anything.
    std::string folder = Folder(container);
    struct statvfs fs;
    if (statvfs(folder.c_str(), &fs) == 0 &&
        uint64_t(fs.f_bavail) * fs.f_frsize < uint64_t(st.st_size) + SpareBytes) {
        close(in);
        return VOLUME_SAVE_NO_SPACE;
    }
    std::string copy = container + ".qdsk-new";
    int out = open(copy.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (out < 0) {
        int error = errno;
        close(in);
        return SaveErrorCode(error);
    }
    int result = WriteCopy(in, out, uint64_t(st.st_size), key, view, listing, crc);
    if (result == 0) {
        fchmod(out, st.st_mode & 07777);
        if (fchown(out, st.st_uid, st.st_gid) != 0) {
            // Another owner cannot be given as an ordinary user; the mode
            // is kept all the same.
        }
        if (fsync(out) != 0)
            result = SaveErrorCode(errno);
    }
    if (close(out) != 0 && result == 0)
        result = SaveErrorCode(errno);
    close(in);
    if (result == 0 && rename(copy.c_str(), container.c_str()) != 0)
        result = SaveErrorCode(errno);
    if (result != 0) {
        unlink(copy.c_str());
        return result;
    }
    // The rename itself reaches the disk with the folder.
    int dir = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        fsync(dir);
        close(dir);
    }
    return 0;
}

bool ViewPackedSize(const std::string &view, uint64_t &bytes)
{
    ViewListing listing;
    if (!ListView(view, listing))
        return false;
    bytes = listing.frameLength;
    return true;
}

void MakeViewReadOnly(const std::string &view)
{
    ViewListing listing;
    ListView(view, listing);
    // Deepest entries first, so that folders are closed last.
    for (auto e = listing.entries.rbegin(); e != listing.entries.rend(); ++e)
        chmod((view + "/" + e->rel).c_str(), e->folder ? 0500 : 0400);
    chmod(view.c_str(), 0500);
}

std::string CreateView(const std::string &container, int drive)
{
    std::vector<std::string> runtime = RuntimeFolders();
    if (runtime.empty())
        return std::string();
    std::string pattern = runtime[0] + "/qdsk-view-" + std::to_string(getpid()) + "-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back(0);
    if (!mkdtemp(name.data()))  // mode 0700
        return std::string();
    std::string view(name.data());
    if (!WriteOwner(view, container, drive, false, 0, 0)) {
        rmdir(view.c_str());
        return std::string();
    }
    return view;
}

bool RecordReadOnlyFingerprint(const std::string &view, uint32_t crc, uint64_t length)
{
    std::string container;
    OrphanedView o = {};
    return ParseOwner(OwnerRecord(view), container, o) && WriteOwner(view, container, o.drive, true, crc, length);
}

void DiscardView(const std::string &view)
{
    WipeTree(view);
    unlink(OwnerRecord(view).c_str());
}

namespace {

// Every view of container in the runtime folders, with the pid in its name.
std::vector<std::pair<OrphanedView, int>> ViewsOf(const std::string &container)
{
    std::vector<std::pair<OrphanedView, int>> found;
    for (const std::string &runtime : RuntimeFolders()) {
        DIR *d = opendir(runtime.c_str());
        if (!d)
            continue;
        while (dirent *e = readdir(d)) {
            int pid = 0, end = 0;
            if (sscanf(e->d_name, "qdsk-view-%d-%*6[A-Za-z0-9]%n", &pid, &end) != 1 || pid <= 0 ||
                e->d_name[end] != 0)
                continue;
            OrphanedView o = {};
            o.view = runtime + "/" + e->d_name;
            std::string owner;
            if (ParseOwner(OwnerRecord(o.view), owner, o) && owner == container)
                found.push_back({o, pid});
        }
        closedir(d);
    }
    return found;
}

}  // namespace

std::vector<OrphanedView> FindOrphanedViews(const std::string &container)
{
    std::vector<OrphanedView> found;
    for (const auto &v : ViewsOf(container))
        if (!ProcessRuns(v.second))
            found.push_back(v.first);
    return found;
}

bool MountedElsewhere(const std::string &container)
{
    for (const auto &v : ViewsOf(container))
        if (v.second != getpid() && ProcessRuns(v.second))
            return true;
    return false;
}

std::string ResolveContainer(const std::string &unixPath)
{
    char resolved[PATH_MAX];
    return !unixPath.empty() && realpath(unixPath.c_str(), resolved) ? std::string(resolved) : std::string();
}
