#include "standin/qdsk/volume_storage.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
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

namespace {

constexpr int MountFailed = 24, FilesOpen = 6;
// Room left over on the container's disk beyond the new copy.
constexpr uint64_t SpareBytes = 1 << 20;

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
std::string LockFile(const std::string &view) { return view + ".lock"; }

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

std::string Hex(const uint8_t *data, size_t n)
{
    static const char digits[] = "0123456789abcdef";
    std::string s;
    for (size_t i = 0; i < n; ++i)
        s += digits[data[i] >> 4], s += digits[data[i] & 15];
    return s;
}

bool Unhex(const char *text, uint8_t *out, size_t n)
{
    auto digit = [](char c) { return c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1; };
    for (size_t i = 0; i < n; ++i) {
        int hi = digit(text[2 * i]), lo = hi < 0 ? -1 : digit(text[2 * i + 1]);
        if (hi < 0 || lo < 0)
            return false;
        out[i] = uint8_t(hi << 4 | lo);
    }
    return true;
}

// A regular file or folder that is ours, reached without a symbolic link,
// that nobody else may write.
bool Ours(const struct stat &st, bool folder)
{
    return (folder ? S_ISDIR(st.st_mode) : S_ISREG(st.st_mode)) && st.st_uid == geteuid() && !(st.st_mode & 022);
}

struct OwnerRecordData {
    std::string container;
    int drive = -1;
    bool readOnly = false;
    uint32_t crc = 0;
    uint64_t length = 0;
    std::vector<ContainerIdentity> identities;
};

// Owner record: the container's path; "drive readOnly crc length"; then
// one line per container file the view may be saved into: "device inode
// size modified modifiedNs salt".
bool ParseOwner(const std::string &record, OwnerRecordData &o)
{
    int fd = open(record.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    struct stat st;
    if (fd < 0)
        return false;
    FILE *f = fstat(fd, &st) == 0 && Ours(st, false) ? fdopen(fd, "r") : nullptr;
    if (!f) {
        close(fd);
        return false;
    }
    char line[PATH_MAX + 2];
    bool ok = fgets(line, sizeof line, f) != nullptr;
    if (ok) {
        line[strcspn(line, "\n")] = 0;
        o.container = line;
        unsigned crc = 0;
        unsigned long long length = 0;
        int readOnly = 0;
        ok = fscanf(f, "%d %d %u %llu\n", &o.drive, &readOnly, &crc, &length) == 4;
        o.readOnly = readOnly != 0;
        o.crc = crc;
        o.length = length;
        unsigned long long device, inode, size;
        long long modified, modifiedNs;
        char salt[129];
        while (ok && fscanf(f, "%llu %llu %llu %lld %lld %128s\n", &device, &inode, &size, &modified, &modifiedNs,
                            salt) == 6) {
            ContainerIdentity id;
            id.device = device, id.inode = inode, id.size = size, id.modified = modified, id.modifiedNs = modifiedNs;
            ok = strlen(salt) == 128 && Unhex(salt, id.salt, 64);
            o.identities.push_back(id);
        }
    }
    fclose(f);
    return ok;
}

bool WriteOwner(const std::string &view, const OwnerRecordData &o)
{
    std::string record = OwnerRecord(view), temp = record + ".new";
    int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return false;
    char line[512];
    std::string text = o.container + "\n";
    snprintf(line, sizeof line, "%d %d %u %llu\n", o.drive, o.readOnly ? 1 : 0, unsigned(o.crc),
             (unsigned long long)o.length);
    text += line;
    for (const ContainerIdentity &id : o.identities) {
        snprintf(line, sizeof line, "%llu %llu %llu %lld %lld %s\n", (unsigned long long)id.device,
                 (unsigned long long)id.inode, (unsigned long long)id.size, (long long)id.modified,
                 (long long)id.modifiedNs, Hex(id.salt, 64).c_str());
        text += line;
    }
    bool ok = WriteAt(fd, 0, reinterpret_cast<const uint8_t *>(text.data()), text.size()) == 0;
    ok = fsync(fd) == 0 && ok;
    ok = close(fd) == 0 && ok;
    ok = ok && rename(temp.c_str(), record.c_str()) == 0;
    if (!ok)
        unlink(temp.c_str());
    return ok;
}

// The container files the view may be saved into from now on.
bool RecordIdentities(const std::string &view, std::vector<ContainerIdentity> identities)
{
    OwnerRecordData o;
    if (!ParseOwner(OwnerRecord(view), o))
        return false;
    o.identities = std::move(identities);
    return WriteOwner(view, o);
}

bool IdentityOf(int fd, ContainerIdentity &id)
{
    struct stat st;
    if (fstat(fd, &st) != 0 || !ReadAt(fd, 0, id.salt, sizeof id.salt))
        return false;
    id.device = st.st_dev, id.inode = st.st_ino, id.size = uint64_t(st.st_size);
    id.modified = st.st_mtim.tv_sec, id.modifiedNs = st.st_mtim.tv_nsec;
    id.changed = st.st_ctim.tv_sec, id.changedNs = st.st_ctim.tv_nsec;
    return true;
}

}  // namespace

int LockContainer(const std::string &container, HeldContainer &held)
{
    held.fd = open(container.c_str(), O_RDONLY | O_CLOEXEC);
    if (held.fd < 0)
        return 23;
    // Another mount anywhere holds it: refused. A file system without
    // locks cannot tell, and is mounted as before.
    if (flock(held.fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
        ReleaseContainer(held);
        return 21;
    }
    if (!IdentityOf(held.fd, held.identity)) {
        ReleaseContainer(held);
        return 23;
    }
    return 0;
}

void ReleaseContainer(HeldContainer &held)
{
    if (held.fd >= 0)
        close(held.fd);
    held = HeldContainer();
}

bool ReadIdentity(const HeldContainer &held, const std::string &container, ContainerIdentity &identity)
{
    struct stat st;
    return held.fd >= 0 && stat(container.c_str(), &st) == 0 && IdentityOf(held.fd, identity) &&
           identity.device == uint64_t(st.st_dev) && identity.inode == uint64_t(st.st_ino);
}

bool SameContainer(const ContainerIdentity &a, const ContainerIdentity &b)
{
    bool changeKnown = (a.changed || a.changedNs) && (b.changed || b.changedNs);
    return a.device == b.device && a.inode == b.inode && a.size == b.size && a.modified == b.modified &&
           a.modifiedNs == b.modifiedNs && (!changeKnown || (a.changed == b.changed && a.changedNs == b.changedNs)) &&
           memcmp(a.salt, b.salt, sizeof a.salt) == 0;
}

int RestoreView(const HeldContainer &held, QdskCryptoContext *key, const std::string &view)
{
    if (held.fd < 0)
        return MountFailed;
    enum { Unknown, Fresh, Frame, Foreign } kind = Unknown;
    ViewUnpacker unpacker(view);
    bool read = key->dataSize >= 512 && ReadArea(held.fd, key, [&](const uint8_t *data, size_t n) {
                    if (kind == Unknown)
                        kind = IsFreshMark(data) ? Fresh : ViewFrameLength(data) ? Frame : Foreign;
                    if (kind != Frame)
                        return false;
                    return unpacker.Feed(data, n) && !unpacker.Done();
                });
    if (!read)
        return MountFailed;
    if (kind == Fresh)
        return 0;
    if (unpacker.NoSpace())
        return VOLUME_RESTORE_NO_SPACE;
    // A damaged frame is as unreadable as a foreign file system: it is
    // refused rather than taken for an empty volume.
    if (kind != Frame || !unpacker.Finish())
        return VOLUME_CONTENTS_UNREADABLE;
    return 0;
}

int SaveView(const std::string &container, HeldContainer &held, QdskCryptoContext *key, const std::string &view,
             uint32_t *savedCrc, uint64_t *savedLength)
{
    ViewListing listing;
    if (!ListView(view, listing))
        return MountFailed;
    if (listing.frameLength > key->dataSize)
        return VOLUME_VIEW_TOO_LARGE;
    uint32_t crc = 0;
    if (!StreamViewPayload(view, listing, [](const uint8_t *, size_t) { return true; }, crc))
        return FilesOpen;

    // Only into the file this mount read: a container that was replaced
    // (a backup put back, another volume copied over it) or changed by
    // someone else would otherwise be overwritten with a data area its
    // header cannot open.
    ContainerIdentity now;
    if (!ReadIdentity(held, container, now) || !SameContainer(now, held.identity))
        return VOLUME_CONTAINER_CHANGED;
    int in = held.fd;
    // The new copy needs as much room as the container: say so before
    // writing anything.
    std::string folder = Folder(container);
    struct statvfs fs;
    if (statvfs(folder.c_str(), &fs) == 0 && uint64_t(fs.f_bavail) * fs.f_frsize < now.size + SpareBytes)
        return VOLUME_SAVE_NO_SPACE;
    struct stat st;
    if (fstat(in, &st) != 0)
        return VOLUME_SAVE_NOT_WRITABLE;
    std::string copy = container + ".qdsk-new";
    int out = open(copy.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (out < 0)
        return SaveErrorCode(errno);
    // The new file is locked before it gets the container's name, so that
    // the lock never lapses.
    flock(out, LOCK_EX | LOCK_NB);
    int result = WriteCopy(in, out, now.size, key, view, listing, crc);
    if (result == 0) {
        fchmod(out, st.st_mode & 07777);
        if (fchown(out, st.st_uid, st.st_gid) != 0) {
            // Another owner cannot be given as an ordinary user; the mode
            // is kept all the same.
        }
        if (fsync(out) != 0)
            result = SaveErrorCode(errno);
    }
    // The owner record names the new file before it takes the container's
    // place: a view orphaned in between can go into either.
    ContainerIdentity next;
    if (result == 0 && (!IdentityOf(out, next) || !RecordIdentities(view, {held.identity, next})))
        result = MountFailed;
    if (result == 0 && rename(copy.c_str(), container.c_str()) != 0)
        result = SaveErrorCode(errno);
    if (result != 0) {
        close(out);
        unlink(copy.c_str());
        RecordIdentities(view, {held.identity});
        return result;
    }
    // The rename itself reaches the disk with the folder.
    int dir = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        fsync(dir);
        close(dir);
    }
    close(held.fd);
    held.fd = out;
    IdentityOf(out, held.identity);  // the rename changed its status time
    RecordIdentities(view, {held.identity});
    if (savedCrc)
        *savedCrc = crc;
    if (savedLength)
        *savedLength = listing.frameLength;
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

std::vector<std::string> PrivateFolders()
{
    std::vector<std::string> folders;
    for (const std::string &runtime : RuntimeFolders()) {
        std::string folder = runtime + "/qdsk-" + std::to_string(geteuid());
        if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
            continue;
        // Planted by someone else (another owner, open to others, a link
        // to elsewhere): not ours, never read or written.
        struct stat st;
        if (lstat(folder.c_str(), &st) != 0 || !Ours(st, true) || (st.st_mode & 077))
            continue;
        // Descriptors name views by their real path: so must we, or the
        // open-file check would miss them.
        char real[PATH_MAX];
        if (realpath(folder.c_str(), real))
            folders.push_back(real);
    }
    return folders;
}

std::string CreateView(const std::string &container, const ContainerIdentity &identity, int drive, int &viewLock)
{
    viewLock = -1;
    std::vector<std::string> folders = PrivateFolders();
    if (folders.empty())
        return std::string();
    std::string pattern = folders[0] + "/view-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back(0);
    if (!mkdtemp(name.data()))  // mode 0700
        return std::string();
    std::string view(name.data());
    OwnerRecordData o;
    o.container = container;
    o.drive = drive;
    o.identities.push_back(identity);
    // The lock lives beside the view: a descriptor under it would count as
    // a file open on the drive.
    viewLock = open(LockFile(view).c_str(), O_RDONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (viewLock < 0 || flock(viewLock, LOCK_EX | LOCK_NB) != 0 || !WriteOwner(view, o)) {
        if (viewLock >= 0)
            close(viewLock);
        viewLock = -1;
        unlink(LockFile(view).c_str());
        rmdir(view.c_str());
        return std::string();
    }
    return view;
}

bool RecordReadOnlyFingerprint(const std::string &view, uint32_t crc, uint64_t length)
{
    OwnerRecordData o;
    if (!ParseOwner(OwnerRecord(view), o))
        return false;
    o.readOnly = true, o.crc = crc, o.length = length;
    return WriteOwner(view, o);
}

void DiscardView(const std::string &view, int &viewLock)
{
    // The record goes first: a view without one is never adopted.
    unlink(OwnerRecord(view).c_str());
    WipeTree(view);
    unlink(LockFile(view).c_str());
    if (viewLock >= 0)
        close(viewLock);
    viewLock = -1;
}

std::vector<OrphanedView> FindOrphanedViews()
{
    std::vector<OrphanedView> found;
    for (const std::string &folder : PrivateFolders()) {
        DIR *d = opendir(folder.c_str());
        if (!d)
            continue;
        while (dirent *e = readdir(d)) {
            char tail[8];
            int end = 0;
            if (sscanf(e->d_name, "view-%6[A-Za-z0-9]%n", tail, &end) != 1 || e->d_name[end] != 0)
                continue;
            OrphanedView o;
            o.view = folder + "/" + e->d_name;
            struct stat st;
            if (lstat(o.view.c_str(), &st) != 0 || !Ours(st, true))
                continue;
            // Its owner holds the lock while it lives.
            o.lock = open(LockFile(o.view).c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
            if (o.lock < 0)
                continue;
            if (fstat(o.lock, &st) != 0 || !Ours(st, false)) {
                close(o.lock);
                continue;
            }
            OwnerRecordData record;
            if (flock(o.lock, LOCK_EX | LOCK_NB) != 0 || !ParseOwner(OwnerRecord(o.view), record)) {
                close(o.lock);
                continue;
            }
            o.container = record.container;
            o.drive = record.drive;
            o.readOnly = record.readOnly;
            o.crc = record.crc;
            o.length = record.length;
            o.identities = record.identities;
            found.push_back(o);
        }
        closedir(d);
    }
    return found;
}

void ReleaseOrphan(OrphanedView &orphan)
{
    if (orphan.lock >= 0)
        close(orphan.lock);
    orphan.lock = -1;
}

bool OrphanBelongsTo(const OrphanedView &orphan, const ContainerIdentity &identity)
{
    for (const ContainerIdentity &id : orphan.identities)
        if (SameContainer(id, identity))
            return true;
    return false;
}

std::string ResolveContainer(const std::string &unixPath)
{
    char resolved[PATH_MAX];
    return !unixPath.empty() && realpath(unixPath.c_str(), resolved) ? std::string(resolved) : std::string();
}
