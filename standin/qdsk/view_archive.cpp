#include "standin/qdsk/view_archive.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "crypto/crc32.h"

namespace {

const char Magic[8] = {'Q', 'D', 'S', 'K', 'V', 'I', 'E', 'W'};
constexpr uint8_t EntryFolder = 1, EntryFile = 2;

void Put(ViewBytes &out, uint64_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.push_back(uint8_t(value >> (8 * i)));
}

uint64_t Get(const uint8_t *p, int bytes)
{
    uint64_t v = 0;
    for (int i = 0; i < bytes; ++i)
        v |= uint64_t(p[i]) << (8 * i);
    return v;
}

bool ReadWhole(const std::string &path, ViewBytes &out, uint64_t size)
{
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    size_t start = out.size();
    out.resize(start + size);
    uint64_t done = 0;
    while (done < size) {
        ssize_t n = read(fd, out.data() + start + done, size - done);
        if (n <= 0)
            break;
        done += uint64_t(n);
    }
    close(fd);
    return done == size;
}

bool PackTree(const std::string &root, const std::string &rel, ViewBytes &payload, uint32_t &count)
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
        std::string child = root + "/" + childRel;
        struct stat st;
        if (lstat(child.c_str(), &st) != 0 || childRel.size() > 0xFFFF) {
            ok = false;
            break;
        }
        if (!S_ISDIR(st.st_mode) && !S_ISREG(st.st_mode))
            continue;  // links and devices have no place on the volume
        bool folder = S_ISDIR(st.st_mode);
        Put(payload, folder ? EntryFolder : EntryFile, 1);
        Put(payload, childRel.size(), 2);
        Put(payload, st.st_mode & 07777, 4);
        Put(payload, folder ? 0 : uint64_t(st.st_size), 8);
        payload.insert(payload.end(), childRel.begin(), childRel.end());
        ++count;
        if (folder ? !PackTree(root, childRel, payload, count)
                   : !ReadWhole(child, payload, uint64_t(st.st_size))) {
            ok = false;
            break;
        }
    }
    closedir(d);
    return ok;
}

bool SafeRelative(const std::string &rel)
{
    if (rel.empty() || rel[0] == '/')
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
    return rel.find('\0') == std::string::npos;
}

}  // namespace

bool PackView(const std::string &dir, ViewBytes &frame)
{
    ViewBytes payload;
    uint32_t count = 0;
    if (!PackTree(dir, "", payload, count))
        return false;
    frame.assign(Magic, Magic + 8);
    Put(frame, 1, 4);
    Put(frame, count, 4);
    Put(frame, payload.size(), 8);
    Put(frame, Crc32(payload.data(), payload.size()), 4);
    Put(frame, 0, 4);
    frame.insert(frame.end(), payload.begin(), payload.end());
    return true;
}

uint64_t ViewFrameLength(const uint8_t *head)
{
    if (memcmp(head, Magic, 8) != 0 || Get(head + 8, 4) != 1)
        return 0;
    uint64_t payload = Get(head + 16, 8);
    if (payload > (uint64_t(1) << 56))
        return 0;
    return VIEW_FRAME_HEADER + payload;
}

bool UnpackView(const uint8_t *frame, size_t length, const std::string &dir)
{
    if (length < VIEW_FRAME_HEADER || ViewFrameLength(frame) != length)
        return false;
    const uint8_t *p = frame + VIEW_FRAME_HEADER;
    const uint8_t *end = frame + length;
    if (Crc32(p, size_t(end - p)) != uint32_t(Get(frame + 24, 4)))
        return false;
    uint32_t count = uint32_t(Get(frame + 12, 4));
    for (uint32_t i = 0; i < count; ++i) {
        if (end - p < 15)
            return false;
        uint8_t type = p[0];
        size_t pathLength = size_t(Get(p + 1, 2));
        mode_t mode = mode_t(Get(p + 3, 4)) & 07777;
        uint64_t size = Get(p + 7, 8);
        p += 15;
        if (uint64_t(end - p) < pathLength)
            return false;
        std::string rel(reinterpret_cast<const char *>(p), pathLength);
        p += pathLength;
        if (!SafeRelative(rel))
            return false;
        std::string path = dir + "/" + rel;
        if (type == EntryFolder) {
            if (mkdir(path.c_str(), (mode & 0700) | 0700) != 0)
                return false;
        } else if (type == EntryFile) {
            if (uint64_t(end - p) < size)
                return false;
            int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, (mode & 0777) | 0600);
            if (fd < 0)
                return false;
            uint64_t done = 0;
            while (done < size) {
                ssize_t n = write(fd, p + done, size - done);
                if (n <= 0)
                    break;
                done += uint64_t(n);
            }
            close(fd);
            if (done != size)
                return false;
            p += size;
        } else {
            return false;
        }
    }
    return p == end;
}

void WipeTree(const std::string &dir)
{
    DIR *d = opendir(dir.c_str());
    if (d) {
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
            if (S_ISREG(st.st_mode)) {
                int fd = open(child.c_str(), O_WRONLY | O_CLOEXEC);
                if (fd >= 0) {
                    static const uint8_t zeros[65536] = {};
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
