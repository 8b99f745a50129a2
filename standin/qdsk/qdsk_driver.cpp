// An in-process emulation of the volume driver and its kernel service for
// the Wine build, behind the same seam the Windows build sends to the real
// device and service manager.
//
// A mounted volume is a folder in a private runtime folder (mode 0700, on
// tmpfs where there is one), visible to every Wine process as a drive: a
// dosdevices link for file access plus a raw DOS device for the drive
// listing. The files live between mounts in the container's data area,
// packed and encrypted under the volume's master key; a dismount writes a
// new copy of the container beside it and renames it into place, so the
// container is never half written.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <dirent.h>
#include <cerrno>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "standin/qdsk/qdsk_standin.h"
#include "standin/qdsk/view_archive.h"
#include "crypto/cipher_tables.h"
#include "crypto/crypto_init.h"
#include "crypto/modes.h"
#include "volume/driver_seam.h"
#include "volume/volume_header.h"

#include <shlwapi.h>

namespace {

constexpr uint64_t HeaderAreaSize = 131072;
constexpr int CacheSlots = 8;
constexpr DWORD DefaultVersion = QDSK_DRIVER_VERSION;

struct Volume {
    bool used;
    uint16_t listedPath[QDSK_PATH_UNITS];
    HANDLE file;             // held open as the driver holds its container
    std::string container;   // Unix path
    std::string view;        // Unix path of the mounted view
    QdskCryptoContext *key;  // the volume's master key
    bool readOnly;
};

struct State {
    bool loaded;
    DWORD version = DefaultVersion;
    int references;
    bool serviceEntry;
    bool serviceMarked;
    WCHAR binaryPath[520];
    bool denyManager;
    DWORD unloadBlocked;
    QdskPassword *cache;  // CacheSlots records, locked in memory
    int cacheCount;
    Volume volumes[26];
    QdskStandinCounters counters;
};

std::recursive_mutex s_lock;
State s_state;
char s_device, s_manager, s_service;

HANDLE DeviceHandle() { return reinterpret_cast<HANDLE>(&s_device); }
SC_HANDLE ManagerHandle() { return reinterpret_cast<SC_HANDLE>(&s_manager); }
SC_HANDLE ServiceHandle() { return reinterpret_cast<SC_HANDLE>(&s_service); }

BOOL Fail(DWORD error)
{
    SetLastError(error);
    return FALSE;
}

QdskPassword *Cache()
{
    if (!s_state.cache) {
        void *p = VirtualAlloc(nullptr, sizeof(QdskPassword) * CacheSlots, MEM_COMMIT, PAGE_READWRITE);
        if (p)
            VirtualLock(p, sizeof(QdskPassword) * CacheSlots);
        s_state.cache = static_cast<QdskPassword *>(p);
    }
    return s_state.cache;
}

void WipeCache()
{
    if (s_state.cache)
        SecureZeroMemory(s_state.cache, sizeof(QdskPassword) * CacheSlots);
    s_state.cacheCount = 0;
}

void Remember(const QdskPassword *password)
{
    QdskPassword *cache = Cache();
    if (!cache)
        return;
    for (int i = 0; i < s_state.cacheCount; ++i)
        if (!memcmp(&cache[i], password, sizeof(QdskPassword)))
            return;
    int slot = s_state.cacheCount < CacheSlots ? s_state.cacheCount++ : CacheSlots - 1;
    memcpy(&cache[slot], password, sizeof(QdskPassword));
}

std::string UnixPath(const WCHAR *dosPath)
{
    char *p = wine_get_unix_file_name(dosPath);
    if (!p)
        return std::string();
    std::string s(p);
    HeapFree(GetProcessHeap(), 0, p);
    return s;
}

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

std::string RuntimeFolder()
{
    struct stat st;
    if (const char *runtime = getenv("XDG_RUNTIME_DIR"); runtime && *runtime && stat(runtime, &st) == 0)
        return runtime;
    if (stat("/dev/shm", &st) == 0 && S_ISDIR(st.st_mode) && access("/dev/shm", W_OK) == 0)
        return "/dev/shm";
    return "/tmp";
}

// Views of processes that ended without dismounting hold plain files: wipe
// them before they can linger.
void WipeOrphanedViews(const std::string &runtime)
{
    DIR *d = opendir(runtime.c_str());
    if (!d)
        return;
    std::vector<std::string> orphans;
    while (dirent *e = readdir(d)) {
        int pid = 0;
        if (sscanf(e->d_name, "qdsk-view-%d-", &pid) != 1 || pid <= 0)
            continue;
        if (kill(pid, 0) != 0 && errno == ESRCH)
            orphans.push_back(runtime + "/" + e->d_name);
    }
    closedir(d);
    for (const std::string &o : orphans)
        WipeTree(o);
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

bool FilesOpenUnder(const std::string &view)
{
    int server = FindWineserver();
    if (server > 0 && ProcessHasOpenUnder(server, view))
        return true;
    return ProcessHasOpenUnder(getpid(), view);
}

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

bool WriteAt(int fd, uint64_t offset, const uint8_t *buffer, size_t length)
{
    size_t done = 0;
    while (done < length) {
        ssize_t n = pwrite(fd, buffer + done, length - done, off_t(offset + done));
        if (n <= 0)
            return false;
        done += size_t(n);
    }
    return true;
}

// XTS volumes number their data units from the start of the container;
// other modes treat the area as one buffer from its start.
bool CryptArea(QdskCryptoContext *key, uint8_t *buffer, size_t length, uint64_t areaOffset, bool encrypt)
{
    if (key->modeId == MODE_XTS) {
        uint64_t unit = (key->areaStart + areaOffset) / 512;
        return encrypt ? XtsEncrypt(key->algorithm, key->primarySchedules, key->secondarySchedules, buffer, length,
                                    unit)
                       : XtsDecrypt(key->algorithm, key->primarySchedules, key->secondarySchedules, buffer, length,
                                    unit);
    }
    if (areaOffset != 0)
        return false;
    return encrypt ? EncryptVolumeBuffer(buffer, length, key) : DecryptVolumeBuffer(buffer, length, key);
}

size_t RoundUp(size_t n) { return (n + 511) / 512 * 512; }

// The files kept in the data area, unpacked into view. A data area that
// holds no frame (a fresh container) gives an empty volume.
bool RestoreView(const std::string &container, QdskCryptoContext *key, const std::string &view)
{
    int fd = open(container.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    bool ok = true;
    uint64_t areaBytes = key->dataSize;
    ViewBytes area;
    if (key->modeId == MODE_XTS) {
        area.resize(512);
        if (areaBytes >= 512 && ReadAt(fd, key->areaStart, area.data(), 512) &&
            CryptArea(key, area.data(), 512, 0, false)) {
            uint64_t length = ViewFrameLength(area.data());
            if (length && length <= areaBytes) {
                area.resize(RoundUp(length));
                ok = ReadAt(fd, key->areaStart, area.data(), area.size()) &&
                     CryptArea(key, area.data(), area.size(), 0, false) && UnpackView(area.data(), length, view);
            }
        }
    } else {
        area.resize(areaBytes);
        if (ReadAt(fd, key->areaStart, area.data(), area.size()) &&
            CryptArea(key, area.data(), area.size(), 0, false)) {
            uint64_t length = ViewFrameLength(area.data());
            if (length && length <= areaBytes)
                ok = UnpackView(area.data(), length, view);
        }
    }
    SecureZeroMemory(area.data(), area.size());
    close(fd);
    return ok;
}

// Packs the view into the data area of a fresh copy of the container and
// renames the copy into place. Returns a volume result code.
int PersistView(Volume &v)
{
    ViewBytes frame;
    if (!PackView(v.view, frame))
        return 24;
    int result = 0;
    if (frame.size() > v.key->dataSize) {
        result = 7;  // the view outgrew the volume: keep it mounted
    } else {
        size_t length = v.key->modeId == MODE_XTS ? RoundUp(frame.size()) : size_t(v.key->dataSize);
        if (length > v.key->dataSize)
            length = size_t(v.key->dataSize);
        ViewBytes area(length, 0);
        memcpy(area.data(), frame.data(), frame.size());
        std::string copy = v.container + ".qdsk-new";
        int in = open(v.container.c_str(), O_RDONLY | O_CLOEXEC);
        int out = in < 0 ? -1 : open(copy.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        bool ok = in >= 0 && out >= 0 && CryptArea(v.key, area.data(), area.size(), 0, true);
        struct stat st;
        if (ok && fstat(in, &st) == 0)
            fchmod(out, st.st_mode & 07777);
        // Every byte outside the written part of the area (the headers
        // above all) is copied unchanged.
        std::vector<uint8_t> chunk(1 << 20);
        for (uint64_t offset = 0; ok;) {
            ssize_t n = pread(in, chunk.data(), chunk.size(), off_t(offset));
            if (n < 0)
                ok = false;
            if (n <= 0)
                break;
            ok = WriteAt(out, offset, chunk.data(), size_t(n));
            offset += uint64_t(n);
        }
        ok = ok && WriteAt(out, v.key->areaStart, area.data(), area.size());
        ok = ok && fsync(out) == 0;
        if (out >= 0)
            ok = close(out) == 0 && ok;
        if (in >= 0)
            close(in);
        ok = ok && rename(copy.c_str(), v.container.c_str()) == 0;
        if (!ok) {
            unlink(copy.c_str());
            result = 24;
        }
        SecureZeroMemory(area.data(), area.size());
    }
    SecureZeroMemory(frame.data(), frame.size());
    return result;
}

void RemoveDrive(int drive, Volume &v)
{
    WCHAR name[3] = {WCHAR(L'A' + drive), L':', 0};
    WCHAR target[64];
    wsprintfW(target, L"\\Device\\QdskVolume%c", L'A' + drive);
    DefineDosDeviceW(DDD_RAW_TARGET_PATH | DDD_REMOVE_DEFINITION | DDD_EXACT_MATCH_ON_REMOVE, name, target);
    unlink(DosDeviceLink(drive).c_str());
    WipeTree(v.view);
    if (v.file != INVALID_HANDLE_VALUE && v.file)
        CloseHandle(v.file);
    ReleaseCryptoContext(v.key);
    v = Volume();
}

// Result code of a dismount; force skips the open-file check.
int Dismount(int drive, bool force)
{
    Volume &v = s_state.volumes[drive];
    if (!force && FilesOpenUnder(v.view))
        return 6;
    if (!v.readOnly) {
        int result = PersistView(v);
        if (result != 0)
            return result;
    }
    RemoveDrive(drive, v);
    return 0;
}

bool DriveTaken(int drive)
{
    if (s_state.volumes[drive].used || (GetLogicalDrives() & (1u << drive)))
        return true;
    struct stat st;
    std::string link = DosDeviceLink(drive);
    if (lstat(link.c_str(), &st) != 0)
        return false;
    // A link left by an emulation that ended without dismounting.
    char target[4096];
    ssize_t n = readlink(link.c_str(), target, sizeof(target) - 1);
    if (n > 0) {
        target[n] = 0;
        if (strstr(target, "/qdsk-view-") && stat(target, &st) != 0) {
            unlink(link.c_str());
            return false;
        }
    }
    return true;
}

void Listed(const uint16_t *volumePath, uint16_t *listed)
{
    static const uint16_t device[] = {'\\', 'D', 'e', 'v', 'i', 'c', 'e', '\\'};
    int at = 0;
    if (memcmp(volumePath, device, sizeof(device)) != 0) {
        const char *prefix = "\\??\\";
        for (; prefix[at]; ++at)
            listed[at] = uint16_t(prefix[at]);
    }
    for (int i = 0; at < QDSK_PATH_UNITS - 1 && volumePath[i]; ++i)
        listed[at++] = volumePath[i];
    listed[at] = 0;
}

bool SamePath(const uint16_t *a, const uint16_t *b)
{
    for (int i = 0; i < QDSK_PATH_UNITS; ++i) {
        if (a[i] != b[i])
            return false;
        if (!a[i])
            return true;
    }
    return true;
}

// Tries the password (or, for ByteCount 0, each cached one) on the header.
int OpenHeader(const uint8_t *header, const QdskPassword *password, QdskCryptoContext **key,
               const QdskPassword **used)
{
    if (password->ByteCount != 0) {
        *used = password;
        return OpenVolumeHeader(false, header, password, key, nullptr);
    }
    QdskPassword *cache = Cache();
    for (int i = 0; cache && i < s_state.cacheCount; ++i) {
        int result = OpenVolumeHeader(false, header, &cache[i], key, nullptr);
        if (result != VOLUME_WRONG_PASSWORD) {
            *used = &cache[i];
            return result;
        }
    }
    return VOLUME_WRONG_PASSWORD;
}

// Fails the request (FALSE, last error) only where the driver's request
// itself fails: a sharing violation on the container.
BOOL Mount(QdskMountRequest *req)
{
    s_state.counters.mountRequests++;
    s_state.counters.lastMount = *req;
    SecureZeroMemory(&s_state.counters.lastMount.MountPassword, sizeof(QdskPassword));
    SecureZeroMemory(&s_state.counters.lastMount.HiddenVolumeGuardPassword, sizeof(QdskPassword));
    req->DirtyFilesystem = 0;
    req->ReadOnlyFallback = 0;

    uint16_t listed[QDSK_PATH_UNITS];
    req->VolumePath[QDSK_PATH_UNITS - 1] = 0;
    Listed(req->VolumePath, listed);
    for (const Volume &v : s_state.volumes)
        if (v.used && SamePath(v.listedPath, listed)) {
            req->ResultCode = 21;
            return TRUE;
        }
    int drive = req->DriveNumber;
    if (drive < 0 || drive > 25 || DriveTaken(drive)) {
        req->ResultCode = 22;
        return TRUE;
    }
    if (req->MountPassword.ByteCount > QDSK_MAX_PASSWORD) {
        req->ResultCode = 30;
        return TRUE;
    }

    // "UNC\server\share\file" is opened as "\\server\share\file"; device
    // paths are not emulated.
    WCHAR path[QDSK_PATH_UNITS + 2];
    const WCHAR *given = reinterpret_cast<const WCHAR *>(req->VolumePath);
    if (!StrCmpNIW(given, L"\\Device\\", 8)) {
        req->ResultCode = 23;
        return TRUE;
    }
    if (!StrCmpNW(given, L"UNC\\", 4))
        wsprintfW(path, L"\\%s", given + 3);
    else
        lstrcpynW(path, given, QDSK_PATH_UNITS);

    DWORD share = req->OpenExclusive ? 0 : FILE_SHARE_READ | FILE_SHARE_WRITE;
    bool readOnly = req->ReadOnly != 0;
    HANDLE file = CreateFileW(path, GENERIC_READ | (readOnly ? 0 : GENERIC_WRITE), share, nullptr, OPEN_EXISTING,
                              0, nullptr);
    if (file == INVALID_HANDLE_VALUE && !readOnly && GetLastError() == ERROR_ACCESS_DENIED) {
        file = CreateFileW(path, GENERIC_READ, share, nullptr, OPEN_EXISTING, 0, nullptr);
        if (file != INVALID_HANDLE_VALUE)
            readOnly = true, req->ReadOnlyFallback = 1;
    }
    if (file == INVALID_HANDLE_VALUE) {
        if (GetLastError() == ERROR_SHARING_VIOLATION)
            return Fail(ERROR_SHARING_VIOLATION);
        req->ResultCode = 23;
        return TRUE;
    }

    std::string container = UnixPath(path);
    LARGE_INTEGER size = {};
    uint8_t header[VOLUME_HEADER_SIZE];
    int fd = container.empty() ? -1 : open(container.c_str(), O_RDONLY | O_CLOEXEC);
    bool read = fd >= 0 && GetFileSizeEx(file, &size) && uint64_t(size.QuadPart) >= 2 * HeaderAreaSize &&
                ReadAt(fd, req->TryBackupHeader ? uint64_t(size.QuadPart) - HeaderAreaSize : 0, header,
                       sizeof(header));
    if (fd >= 0)
        close(fd);
    if (!read) {
        CloseHandle(file);
        req->ResultCode = fd < 0 ? 23 : 9;
        return TRUE;
    }

    QdskCryptoContext *key = nullptr;
    const QdskPassword *used = nullptr;
    int result = OpenHeader(header, &req->MountPassword, &key, &used);
    SecureZeroMemory(header, sizeof(header));
    if (result == VOLUME_OK && key->areaStart + key->dataSize > uint64_t(size.QuadPart))
        result = 7;
    if (result != VOLUME_OK) {
        ReleaseCryptoContext(key);
        CloseHandle(file);
        req->ResultCode = result;
        return TRUE;
    }
    if (req->RememberPassword && req->MountPassword.ByteCount != 0)
        Remember(&req->MountPassword);

    std::string runtime = RuntimeFolder();
    WipeOrphanedViews(runtime);
    std::string pattern = runtime + "/qdsk-view-" + std::to_string(getpid()) + "-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back(0);
    bool ok = mkdtemp(name.data()) != nullptr;  // mode 0700
    std::string view = ok ? std::string(name.data()) : std::string();
    ok = ok && RestoreView(container, key, view);
    ok = ok && symlink(view.c_str(), DosDeviceLink(drive).c_str()) == 0;
    if (ok) {
        WCHAR dosName[3] = {WCHAR(L'A' + drive), L':', 0};
        WCHAR target[64];
        wsprintfW(target, L"\\Device\\QdskVolume%c", L'A' + drive);
        if (!DefineDosDeviceW(DDD_RAW_TARGET_PATH, dosName, target)) {
            unlink(DosDeviceLink(drive).c_str());
            ok = false;
        }
    }
    if (!ok) {
        if (!view.empty())
            WipeTree(view);
        ReleaseCryptoContext(key);
        CloseHandle(file);
        req->ResultCode = 24;
        return TRUE;
    }
    Volume &v = s_state.volumes[drive];
    v.used = true;
    memcpy(v.listedPath, listed, sizeof(listed));
    v.file = file;
    v.container = container;
    v.view = view;
    v.key = key;
    v.readOnly = readOnly;
    req->ResultCode = 0;
    return TRUE;
}

DWORD MountedMask()
{
    DWORD mask = 0;
    for (int d = 0; d < 26; ++d)
        if (s_state.volumes[d].used)
            mask |= 1u << d;
    return mask;
}

void DismountEverything()
{
    for (int d = 0; d < 26; ++d)
        if (s_state.volumes[d].used && Dismount(d, true) != 0)
            RemoveDrive(d, s_state.volumes[d]);
}

// A process that ends with volumes mounted takes its emulated driver with
// it: the volumes are dismounted, their files kept.
struct EndOfProcess {
    ~EndOfProcess()
    {
        std::lock_guard<std::recursive_mutex> guard(s_lock);
        DismountEverything();
        WipeCache();
    }
} s_endOfProcess;

}  // namespace

HANDLE QdskOpenDevice(void)
{
    std::lock_guard<std::recursive_mutex> guard(s_lock);
    if (!s_state.loaded) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    s_state.references++;
    return DeviceHandle();
}

void QdskCloseDevice(HANDLE device)
{
    std::lock_guard<std::recursive_mutex> guard(s_lock);
    if (device == DeviceHandle() && s_state.references > 0)
        s_state.references--;
}

BOOL QdskControl(HANDLE device, DWORD code, void *in, DWORD inSize, void *out, DWORD outSize, DWORD *returned)
{
    std::lock_guard<std::recursive_mutex> guard(s_lock);
    if (returned)
        *returned = 0;
    if (device != DeviceHandle() || !s_state.loaded)
        return Fail(ERROR_INVALID_HANDLE);
    auto answer = [&](const void *data, DWORD size) -> BOOL {
        if (!out || outSize < size)
            return Fail(ERROR_INSUFFICIENT_BUFFER);
        memcpy(out, data, size);
        if (returned)
            *returned = size;
        return TRUE;
    };
    switch (code) {
    case IOCTL_QDSK_VERSION:
        return answer(&s_state.version, sizeof(DWORD));
    case IOCTL_QDSK_MOUNT: {
        if (!in || inSize != sizeof(QdskMountRequest) || !out || outSize != sizeof(QdskMountRequest))
            return Fail(ERROR_INVALID_PARAMETER);
        QdskMountRequest *req = static_cast<QdskMountRequest *>(HeapAlloc(GetProcessHeap(), 0, sizeof(*req)));
        if (!req)
            return Fail(ERROR_NOT_ENOUGH_MEMORY);
        memcpy(req, in, sizeof(*req));
        BOOL ok = Mount(req);
        DWORD error = GetLastError();
        SecureZeroMemory(&req->MountPassword, sizeof(QdskPassword));
        SecureZeroMemory(&req->HiddenVolumeGuardPassword, sizeof(QdskPassword));
        if (ok)
            answer(req, sizeof(*req));
        SecureZeroMemory(req, sizeof(*req));
        HeapFree(GetProcessHeap(), 0, req);
        SetLastError(error);
        return ok;
    }
    case IOCTL_QDSK_DISMOUNT:
    case IOCTL_QDSK_DISMOUNT_ALL: {
        if (!in || inSize != sizeof(QdskDismountRequest) || !out || outSize != sizeof(QdskDismountRequest))
            return Fail(ERROR_INVALID_PARAMETER);
        QdskDismountRequest req;
        memcpy(&req, in, sizeof(req));
        s_state.counters.dismountRequests++;
        if (req.ForceDismount)
            s_state.counters.forcedDismountRequests++;
        req.ResultCode = 0;
        if (code == IOCTL_QDSK_DISMOUNT) {
            if (req.DriveNumber < 0 || req.DriveNumber > 25 || !s_state.volumes[req.DriveNumber].used)
                return Fail(ERROR_INVALID_DRIVE);
            req.ResultCode = Dismount(req.DriveNumber, req.ForceDismount != 0);
        } else {
            for (int d = 0; d < 26; ++d)
                if (s_state.volumes[d].used) {
                    int r = Dismount(d, req.ForceDismount != 0);
                    if (r != 0 && req.ResultCode == 0)
                        req.ResultCode = r;
                }
        }
        return answer(&req, sizeof(req));
    }
    case IOCTL_QDSK_LIST_MOUNTED: {
        if (!out || outSize != sizeof(QdskMountedList))
            return Fail(ERROR_INVALID_PARAMETER);
        QdskMountedList *list = static_cast<QdskMountedList *>(out);
        memset(list, 0, sizeof(*list));
        for (int d = 0; d < 26; ++d)
            if (s_state.volumes[d].used) {
                list->DriveMask |= 1u << d;
                memcpy(list->VolumePath[d], s_state.volumes[d].listedPath, sizeof(list->VolumePath[d]));
            }
        if (returned)
            *returned = sizeof(*list);
        return TRUE;
    }
    case IOCTL_QDSK_REFCOUNT: {
        DWORD count = DWORD(s_state.references);
        return answer(&count, sizeof(count));
    }
    case IOCTL_QDSK_UNLOAD_BLOCKED:
        return answer(&s_state.unloadBlocked, sizeof(DWORD));
    case IOCTL_QDSK_ANY_MOUNTED: {
        DWORD any = MountedMask() != 0;
        return answer(&any, sizeof(any));
    }
    case IOCTL_QDSK_CACHE_STATUS:
        return s_state.cacheCount > 0 ? TRUE : Fail(ERROR_NOT_FOUND);
    case IOCTL_QDSK_CACHE_WIPE:
        WipeCache();
        return TRUE;
    default:
        // Partition queries and the legacy list are not emulated.
        return Fail(ERROR_INVALID_FUNCTION);
    }
}

SC_HANDLE QdskOpenManager(void)
{
    std::lock_guard<std::recursive_mutex> guard(s_lock);
    if (s_state.denyManager) {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    return ManagerHandle();
}

static SC_HANDLE OpenServiceEntry(SC_HANDLE manager)
{
    std::lock_guard<std::recursive_mutex> guard(s_lock);
    if (manager != ManagerHandle()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if (!s_state.serviceEntry) {
        SetLastError(ERROR_SERVICE_DOES_NOT_EXIST);
        return nullptr;
    }
    return ServiceHandle();
}

SC_HANDLE QdskOpenServiceW(SC_HANDLE manager) { return OpenServiceEntry(manager); }
SC_HANDLE QdskOpenServiceA(SC_HANDLE manager) { return OpenServiceEntry(manager); }

SC_HANDLE QdskCreateService(SC_HANDLE manager, const WCHAR *binaryPath)
{
    std::lock_guard<std::recursive_mutex> guard(s_lock);
    if (manager != ManagerHandle()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if (s_state.serviceEntry) {
        SetLastError(s_state.serviceMarked ? ERROR_SERVICE_MARKED_FOR_DELETE : ERROR_SERVICE_EXISTS);
        return nullptr;
    }
    s_state.serviceEntry = true;
    s_state.serviceMarked = false;
    lstrcpynW(s_state.binaryPath, binaryPath, ARRAYSIZE(s_state.binaryPath));
    return ServiceHandle();
}

BOOL QdskStartService(SC_HANDLE service)
{
    std::lock_guard<std::recursive_mutex> guard(s_lock);
    if (service != ServiceHandle() || !s_state.serviceEntry)
        return Fail(ERROR_INVALID_HANDLE);
    if (s_state.loaded)
        return Fail(ERROR_SERVICE_ALREADY_RUNNING);
    // The kernel loads the driver from the service's file.
    if (GetFileAttributesW(s_state.binaryPath) == INVALID_FILE_ATTRIBUTES)
        return Fail(ERROR_FILE_NOT_FOUND);
    if (!InitCrypto())
        return Fail(ERROR_DLL_INIT_FAILED);
    s_state.loaded = true;
    s_state.version = DefaultVersion;
    s_state.counters.serviceStarts++;
    return TRUE;
}

BOOL QdskStopService(SC_HANDLE service, SERVICE_STATUS *status)
{
    std::lock_guard<std::recursive_mutex> guard(s_lock);
    if (service != ServiceHandle() || !s_state.serviceEntry)
        return Fail(ERROR_INVALID_HANDLE);
    if (!s_state.loaded)
        return Fail(ERROR_SERVICE_NOT_ACTIVE);
    // The driver refuses to go while volumes are mounted or its device is
    // open.
    if (MountedMask() == 0 && s_state.references == 0) {
        s_state.loaded = false;
        WipeCache();
        if (s_state.serviceMarked)
            s_state.serviceEntry = false;
    }
    return QdskQueryService(service, status);
}

BOOL QdskQueryService(SC_HANDLE service, SERVICE_STATUS *status)
{
    std::lock_guard<std::recursive_mutex> guard(s_lock);
    if (service != ServiceHandle())
        return Fail(ERROR_INVALID_HANDLE);
    memset(status, 0, sizeof(*status));
    status->dwServiceType = SERVICE_KERNEL_DRIVER;
    status->dwCurrentState = s_state.loaded ? SERVICE_RUNNING : SERVICE_STOPPED;
    return TRUE;
}

BOOL QdskDeleteService(SC_HANDLE service)
{
    std::lock_guard<std::recursive_mutex> guard(s_lock);
    if (service != ServiceHandle() || !s_state.serviceEntry)
        return Fail(ERROR_INVALID_HANDLE);
    if (s_state.loaded)
        s_state.serviceMarked = true;  // goes when the driver stops
    else
        s_state.serviceEntry = false;
    return TRUE;
}

void QdskCloseService(SC_HANDLE) {}

void QdskStandinReset(void)
{
    std::lock_guard<std::recursive_mutex> guard(s_lock);
    DismountEverything();
    WipeCache();
    s_state.loaded = false;
    s_state.version = DefaultVersion;
    s_state.references = 0;
    s_state.serviceEntry = false;
    s_state.serviceMarked = false;
    s_state.denyManager = false;
    s_state.unloadBlocked = 0;
    s_state.counters = QdskStandinCounters();
}

void QdskStandinLoadVersion(DWORD version)
{
    std::lock_guard<std::recursive_mutex> guard(s_lock);
    InitCrypto();
    s_state.loaded = true;
    s_state.version = version;
    s_state.serviceEntry = true;
    s_state.serviceMarked = true;
}

void QdskStandinDenyManager(BOOL deny)
{
    std::lock_guard<std::recursive_mutex> guard(s_lock);
    s_state.denyManager = deny != FALSE;
}

void QdskStandinSetUnloadBlocked(DWORD blocked)
{
    std::lock_guard<std::recursive_mutex> guard(s_lock);
    s_state.unloadBlocked = blocked;
}

void QdskStandinAddForeignReferences(int count)
{
    std::lock_guard<std::recursive_mutex> guard(s_lock);
    s_state.references += count;
}

BOOL QdskStandinIsLoaded(void)
{
    std::lock_guard<std::recursive_mutex> guard(s_lock);
    return s_state.loaded;
}

void QdskStandinGetCounters(QdskStandinCounters *counters)
{
    std::lock_guard<std::recursive_mutex> guard(s_lock);
    *counters = s_state.counters;
}

void QdskStandinViewFolder(int drive, char *out, size_t size)
{
    std::lock_guard<std::recursive_mutex> guard(s_lock);
    out[0] = 0;
    if (drive >= 0 && drive < 26 && s_state.volumes[drive].used)
        lstrcpynA(out, s_state.volumes[drive].view.c_str(), int(size));
}
