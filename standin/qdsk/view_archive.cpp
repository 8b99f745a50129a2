#include "standin/qdsk/view_archive.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "crypto/crc32.h"
#include "crypto/secure_memory.h"

namespace {

const char Magic[8] = {'Q', 'D', 'S', 'K', 'V', 'I', 'E', 'W'};
constexpr uint8_t EntryFolder = 1, EntryFile = 2;
constexpr uint32_t Format = 2;
constexpr size_t OldEntryHeader = 15;  // format 1
const char DosAttributes[] = "user.DOSATTRIB";
constexpr size_t FileChunk = 65536;

void Put(uint8_t *out, uint64_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out[i] = uint8_t(value >> (8 * i));
}

uint64_t Get(const uint8_t *p, int bytes)
{
    uint64_t v = 0;
    for (int i = 0; i < bytes; ++i)
        v |= uint64_t(p[i]) << (8 * i);
    return v;
}

bool ListTree(const std::string &root, const std::string &rel, ViewListing &listing)
{
    std::string dir = rel.empty() ? root : root + "/" + rel;
    DIR *d = opendir(dir.c_str());
    if (!d)
        return false;
    bool ok = true;
    while (dirent *e = readdir(d)) {
        if (!strcmp(e->d_name, ".") || !strcmp(e->d_name, ".."))
            continue;
        std::string childRel = rel.empty() ? e->d_name : rel + "/" + e->d_name;
        struct stat st;
        if (lstat((root + "/" + childRel).c_str(), &st) != 0 || childRel.size() > 0xFFFF) {
            ok = false;
            break;
        }
        if (!S_ISDIR(st.st_mode) && !S_ISREG(st.st_mode))
            continue;
        bool folder = S_ISDIR(st.st_mode);
        ViewEntry entry = {folder,           childRel, uint32_t(st.st_mode & 07777), folder ? 0 : uint64_t(st.st_size),
                           st.st_mtim.tv_sec, uint32_t(st.st_mtim.tv_nsec), std::string()};
        char attributes[255];
        ssize_t n = lgetxattr((root + "/" + childRel).c_str(), DosAttributes, attributes, sizeof attributes);
        if (n > 0)
            entry.attributes.assign(attributes, size_t(n));
        listing.frameLength += VIEW_ENTRY_HEADER + childRel.size() + entry.attributes.size() + entry.size;
        listing.entries.push_back(entry);
        if (folder && !ListTree(root, childRel, listing)) {
            ok = false;
            break;
        }
    }
    closedir(d);
    return ok;
}

bool SafeRelative(const std::string &rel)
{
    if (rel.empty() || rel[0] == '/' || rel.find('\0') != std::string::npos)
        return false;
    size_t start = 0;
    while (start <= rel.size()) {
        size_t end = rel.find('/', start);
        if (end == std::string::npos)
            end = rel.size();
        std::string part = rel.substr(start, end - start);
        if (part.empty() || part == "." || part == "..")
            return false;
        start = end + 1;
    }
    return true;
}

}  // namespace

bool ListView(const std::string &dir, ViewListing &listing)
{
    listing = ViewListing();
    listing.frameLength = VIEW_FRAME_HEADER;
    return ListTree(dir, "", listing);
}

bool StreamViewPayload(const std::string &dir, const ViewListing &listing, const ViewSink &sink, uint32_t &crc)
{
    uint32_t chain = 0xFFFFFFFFu;
    auto emit = [&](const uint8_t *data, size_t length) {
        chain = Crc32Chain(chain, data, length);
        return sink(data, length);
    };
    std::vector<uint8_t> buffer(FileChunk);
    bool ok = true;
    for (const ViewEntry &e : listing.entries) {
        uint8_t head[VIEW_ENTRY_HEADER];
        Put(head, e.folder ? EntryFolder : EntryFile, 1);
        Put(head + 1, e.rel.size(), 2);
        Put(head + 3, e.mode, 4);
        Put(head + 7, e.size, 8);
        Put(head + 15, uint64_t(e.modified), 8);
        Put(head + 23, e.modifiedNs, 4);
        Put(head + 27, e.attributes.size(), 1);
        ok = emit(head, sizeof head) && emit(reinterpret_cast<const uint8_t *>(e.rel.data()), e.rel.size()) &&
             emit(reinterpret_cast<const uint8_t *>(e.attributes.data()), e.attributes.size());
        if (!ok || e.folder)
            continue;
        int fd = open((dir + "/" + e.rel).c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
        ok = fd >= 0;
        uint64_t done = 0;
        while (ok && done < e.size) {
            size_t want = e.size - done < FileChunk ? size_t(e.size - done) : FileChunk;
            ssize_t n = read(fd, buffer.data(), want);
            ok = n > 0 && emit(buffer.data(), size_t(n));
            done += n > 0 ? uint64_t(n) : 0;
        }
        // A file that grew since it was listed would be cut short.
        ok = ok && read(fd, buffer.data(), 1) == 0;
        if (fd >= 0)
            close(fd);
        if (!ok)
            break;
    }
    BurnMemory(buffer.data(), buffer.size());
    crc = chain ^ 0xFFFFFFFFu;
    return ok;
}

void BuildViewFrameHeader(const ViewListing &listing, uint32_t crc, uint8_t *header)
{
    memcpy(header, Magic, 8);
    Put(header + 8, Format, 4);
    Put(header + 12, listing.entries.size(), 4);
    Put(header + 16, listing.frameLength - VIEW_FRAME_HEADER, 8);
    Put(header + 24, crc, 4);
    Put(header + 28, 0, 4);
}

bool ViewFingerprint(const std::string &dir, uint32_t &crc, uint64_t &length)
{
    ViewListing listing;
    if (!ListView(dir, listing) ||
        !StreamViewPayload(dir, listing, [](const uint8_t *, size_t) { return true; }, crc))
        return false;
    length = listing.frameLength;
    return true;
}

namespace {

uint64_t Mix(uint64_t state, const void *data, size_t length)
{
    // FNV-1a, 64 bits: enough to notice a change, not a secret.
    const uint8_t *p = static_cast<const uint8_t *>(data);
    for (size_t i = 0; i < length; ++i)
        state = (state ^ p[i]) * 0x100000001b3ull;
    return state;
}

bool StateOfTree(const std::string &dir, uint64_t &state)
{
    DIR *d = opendir(dir.c_str());
    if (!d)
        return false;
    bool ok = true;
    while (dirent *e = readdir(d)) {
        if (!strcmp(e->d_name, ".") || !strcmp(e->d_name, ".."))
            continue;
        std::string child = dir + "/" + e->d_name;
        struct stat st;
        if (lstat(child.c_str(), &st) != 0)
            continue;  // removed while looked at: the next look sees it
        // Order-free: entries are summed, each summary covering its name.
        uint64_t entry = Mix(0xcbf29ce484222325ull, child.data(), child.size());
        uint64_t fields[4] = {uint64_t(st.st_size), uint64_t(st.st_mode), uint64_t(st.st_mtim.tv_sec),
                              uint64_t(st.st_mtim.tv_nsec)};
        state += Mix(entry, fields, sizeof fields);
        if (S_ISDIR(st.st_mode) && !StateOfTree(child, state)) {
            ok = false;
            break;
        }
    }
    closedir(d);
    return ok;
}

}  // namespace

bool ViewState(const std::string &dir, uint64_t &state)
{
    state = 0;
    return StateOfTree(dir, state);
}

uint64_t ViewFrameLength(const uint8_t *head)
{
    if (memcmp(head, Magic, 8) != 0 || Get(head + 8, 4) < 1 || Get(head + 8, 4) > Format)
        return 0;
    uint64_t payload = Get(head + 16, 8);
    if (payload > (uint64_t(1) << 56))
        return 0;
    return VIEW_FRAME_HEADER + payload;
}

ViewUnpacker::~ViewUnpacker()
{
    if (fd_ >= 0)
        close(fd_);
}

// Moves bytes from data into pending_ until it holds want bytes.
#define FILL(want)                                                                  \
    do {                                                                            \
        size_t need = (want) - pending_.size();                                     \
        size_t n = length < need ? length : need;                                   \
        pending_.append(reinterpret_cast<const char *>(data), n);                   \
        data += n, length -= n;                                                     \
        if (pending_.size() < (want))                                               \
            return true;                                                            \
    } while (0)

bool ViewUnpacker::Take(const uint8_t *&data, size_t &length)
{
    if (!haveHeader_) {
        FILL(VIEW_FRAME_HEADER);
        const uint8_t *h = reinterpret_cast<const uint8_t *>(pending_.data());
        if (!ViewFrameLength(h))
            return false;
        version_ = uint32_t(Get(h + 8, 4));
        count_ = uint32_t(Get(h + 12, 4));
        payload_ = Get(h + 16, 8);
        expectedCrc_ = uint32_t(Get(h + 24, 4));
        crc_ = 0xFFFFFFFFu;
        haveHeader_ = true;
        pending_.clear();
        return true;
    }
    // Everything from here on is payload: never read past its end.
    if (uint64_t(length) > payload_ - consumed_)
        length = size_t(payload_ - consumed_);
    const uint8_t *start = data;
    size_t before = length;
    bool ok = true;
    if (!inEntry_) {
        if (seen_ == count_)
            return false;  // payload left over after the last entry
        size_t headerSize = version_ == 1 ? OldEntryHeader : VIEW_ENTRY_HEADER;
        if (pending_.size() < headerSize) {
            size_t need = headerSize - pending_.size(), n = length < need ? length : need;
            pending_.append(reinterpret_cast<const char *>(data), n);
            data += n, length -= n;
        }
        if (pending_.size() >= headerSize) {
            const uint8_t *h = reinterpret_cast<const uint8_t *>(pending_.data());
            type_ = h[0];
            pathLength_ = size_t(Get(h + 1, 2));
            mode_ = uint32_t(Get(h + 3, 4)) & 07777;
            remaining_ = Get(h + 7, 8);
            modified_ = version_ == 1 ? -1 : int64_t(Get(h + 15, 8));
            modifiedNs_ = version_ == 1 ? 0 : uint32_t(Get(h + 23, 4));
            attributesLength_ = version_ == 1 ? 0 : h[27];
            size_t whole = headerSize + pathLength_ + attributesLength_;
            size_t need = whole - pending_.size(), n = length < need ? length : need;
            pending_.append(reinterpret_cast<const char *>(data), n);
            data += n, length -= n;
            if (pending_.size() == whole) {
                std::string rel = pending_.substr(headerSize, pathLength_);
                std::string attributes = pending_.substr(headerSize + pathLength_);
                std::string path = dir_ + "/" + rel;
                pending_.clear();
                ++seen_;
                struct timespec times[2] = {{0, UTIME_OMIT}, {time_t(modified_), long(modifiedNs_)}};
                if (!SafeRelative(rel) || (type_ != EntryFolder && type_ != EntryFile) || modifiedNs_ >= 1000000000u) {
                    ok = false;
                } else if (type_ == EntryFolder) {
                    ok = remaining_ == 0 && mkdir(path.c_str(), (mode_ & 0700) | 0700) == 0;
                    if (ok && modified_ >= 0)
                        folderTimes_.push_back({path, times[1]});
                } else {
                    fd_ = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW,
                               (mode_ & 0777) | 0600);
                    ok = fd_ >= 0;
                    inEntry_ = ok && remaining_ > 0;
                    fileTime_ = times[1];
                    if (ok && !inEntry_) {
                        if (modified_ >= 0)
                            futimens(fd_, times);
                        close(fd_);
                        fd_ = -1;
                    }
                }
                // The hidden and system flags: lost where the file system
                // keeps no extended attributes, which loses no data.
                if (ok && !attributes.empty())
                    setxattr(path.c_str(), DosAttributes, attributes.data(), attributes.size(), 0);
            }
        }
    } else {
        size_t n = uint64_t(length) < remaining_ ? length : size_t(remaining_);
        size_t done = 0;
        while (ok && done < n) {
            ssize_t w = write(fd_, data + done, n - done);
            ok = w > 0;
            done += w > 0 ? size_t(w) : 0;
        }
        data += n, length -= n, remaining_ -= n;
        if (ok && remaining_ == 0) {
            struct timespec times[2] = {{0, UTIME_OMIT}, fileTime_};
            if (modified_ >= 0)
                futimens(fd_, times);
            ok = close(fd_) == 0;
            fd_ = -1;
            inEntry_ = false;
        }
    }
    crc_ = Crc32Chain(crc_, start, before - length);
    consumed_ += before - length;
    return ok;
}
#undef FILL

bool ViewUnpacker::Feed(const uint8_t *data, size_t length)
{
    while (!failed_ && length > 0 && !Done()) {
        errno = 0;
        failed_ = !Take(data, length);
        noSpace_ = failed_ && (errno == ENOSPC || errno == EDQUOT);
    }
    return !failed_;
}

bool ViewUnpacker::Finish()
{
    for (auto f = folderTimes_.rbegin(); f != folderTimes_.rend(); ++f) {
        struct timespec times[2] = {{0, UTIME_OMIT}, f->second};
        utimensat(AT_FDCWD, f->first.c_str(), times, AT_SYMLINK_NOFOLLOW);
    }
    folderTimes_.clear();
    return !failed_ && haveHeader_ && consumed_ == payload_ && seen_ == count_ && !inEntry_ &&
           (crc_ ^ 0xFFFFFFFFu) == expectedCrc_;
}

void WipeTree(const std::string &dir)
{
    // Read-only folders and files are made writable first, or their
    // contents would stay behind.
    chmod(dir.c_str(), 0700);
    DIR *d = opendir(dir.c_str());
    if (d) {
        static const uint8_t zeros[65536] = {};
        while (dirent *e = readdir(d)) {
            if (!strcmp(e->d_name, ".") || !strcmp(e->d_name, ".."))
                continue;
            std::string child = dir + "/" + e->d_name;
            struct stat st;
            if (lstat(child.c_str(), &st) != 0)
                continue;
            if (S_ISDIR(st.st_mode)) {
                WipeTree(child);
                continue;
            }
            // A file with other names (hard links) is only unlinked: its
            // bytes belong to those names as well.
            if (S_ISREG(st.st_mode) && st.st_nlink == 1) {
                chmod(child.c_str(), 0600);
                int fd = open(child.c_str(), O_WRONLY | O_CLOEXEC | O_NOFOLLOW);
                if (fd >= 0) {
                    for (off_t done = 0; done < st.st_size;) {
                        size_t n = size_t(st.st_size - done) < sizeof(zeros) ? size_t(st.st_size - done)
                                                                             : sizeof(zeros);
                        ssize_t w = write(fd, zeros, n);
                        if (w <= 0)
                            break;
                        done += w;
                    }
                    fsync(fd);
                    close(fd);
                }
            }
            unlink(child.c_str());
        }
        closedir(d);
    }
    rmdir(dir.c_str());
}

bool ProcessHasOpenUnder(int pid, const std::string &dir)
{
    std::string fdDir = "/proc/" + std::to_string(pid) + "/fd";
    DIR *d = opendir(fdDir.c_str());
    if (!d)
        return false;
    bool open = false;
    while (dirent *e = readdir(d)) {
        if (e->d_name[0] == '.')
            continue;
        char target[4096];
        ssize_t n = readlink((fdDir + "/" + e->d_name).c_str(), target, sizeof(target) - 1);
        if (n <= 0)
            continue;
        target[n] = 0;
        if (!strncmp(target, dir.c_str(), dir.size()) && (target[dir.size()] == 0 || target[dir.size()] == '/')) {
            open = true;
            break;
        }
    }
    closedir(d);
    return open;
}
