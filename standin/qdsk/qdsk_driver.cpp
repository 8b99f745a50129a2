// An in-process emulation of the volume driver and its kernel service for
// the Wine build, behind the same seam the Windows build sends to the real
// device and service manager: the service-manager steps, the control
// requests, the password cache, and mount and dismount on top of the
// volume storage (volume_storage.h) and the Wine drives (wine_drives.h).
//
// A view is removed only after its files were saved into the container
// (or, for a read-only volume, when they are unchanged); when saving fails
// the volume stays mounted and the request says why. A view that outlives
// its process is saved by the next mount of its container before anything
// else happens.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "Mount/language.h"
#include "Mount/msgbox.h"
#include "crypto/cipher_tables.h"
#include "crypto/crypto_init.h"
#include "standin/qdsk/qdsk_standin.h"
#include "standin/qdsk/view_archive.h"
#include "standin/qdsk/volume_storage.h"
#include "standin/qdsk/wine_drives.h"
#include "volume/driver_seam.h"
#include "volume/volume_error_table.h"
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
    uint32_t readOnlyCrc;    // what a read-only view held when mounted
    uint64_t readOnlyLength;
    bool warnedFull;         // the nearly-full warning was given
};

// The share of the volume at which the user is warned, and below which a
// later crossing warns again.
constexpr int WarnPercent = 90, RearmPercent = 80;

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

// Diagnostics for paths that have no caller to answer (the end of the
// process, the reset).
void Report(const char *what, int drive, int code)
{
    char text[160];
    snprintf(text, sizeof text, "qdsk: %s of %c: failed with volume code %d; its files are kept\n", what,
             'A' + drive, code);
    OutputDebugStringA(text);
    fputs(text, stderr);
}

// Lets go of a volume whose view has been dealt with.
void Forget(Volume &v)
{
    if (v.file != INVALID_HANDLE_VALUE && v.file)
        CloseHandle(v.file);
    ReleaseCryptoContext(v.key);
    v = Volume();
}

// Result code of a dismount; force skips the open-file check. The view and
// the drive go only once the files are safe in the container.
int Dismount(int drive, bool force)
{
    Volume &v = s_state.volumes[drive];
    if (!force && FilesOpenUnder(v.view))
        return 6;
    if (v.readOnly) {
        // Nothing can be saved: the view goes only when it holds what was
        // mounted (a process with every right may still have written).
        uint32_t crc = 0;
        uint64_t length = 0;
        if (!ViewFingerprint(v.view, crc, length) || crc != v.readOnlyCrc || length != v.readOnlyLength)
            return VOLUME_SAVE_NOT_WRITABLE;
    } else if (int result = SaveView(v.container, v.key, v.view); result != 0) {
        return result;
    }
    RemoveDrive(drive, v.view);
    DiscardView(v.view);
    Forget(v);
    return 0;
}

// Views of this container that a process left behind (killed, or ended
// while saving failed) are saved into it before the mount reads it, and
// only then wiped. A read-only view that is unchanged has nothing to save.
int RecoverOrphanedViews(const std::string &container, QdskCryptoContext *key, bool readOnly)
{
    for (const OrphanedView &o : FindOrphanedViews(container)) {
        uint32_t crc = 0;
        uint64_t length = 0;
        bool unchanged = o.readOnly && ViewFingerprint(o.view, crc, length) && crc == o.crc && length == o.length;
        if (!unchanged) {
            int result = readOnly ? VOLUME_SAVE_NOT_WRITABLE : SaveView(container, key, o.view);
            if (result != 0)
                return result;
        }
        if (o.drive >= 0 && o.drive < 26 && !s_state.volumes[o.drive].used)
            RemoveDrive(o.drive, o.view);
        DiscardView(o.view);
    }
    return 0;
}

// How full each writable volume is; the drives that just crossed the
// warning mark. Asked on every request, so the user hears of it while
// there is still room.
std::vector<std::pair<int, int>> CheckFilling()
{
    std::vector<std::pair<int, int>> warnings;
    for (int d = 0; d < 26; ++d) {
        Volume &v = s_state.volumes[d];
        uint64_t bytes = 0;
        if (!v.used || v.readOnly || !v.key || !v.key->dataSize || !ViewPackedSize(v.view, bytes))
            continue;
        int percent = int(bytes * 100 / v.key->dataSize);
        if (percent >= WarnPercent && !v.warnedFull) {
            v.warnedFull = true;
            warnings.push_back({d, percent});
        } else if (percent < RearmPercent) {
            v.warnedFull = false;
        }
    }
    return warnings;
}

void WarnFilling(const std::vector<std::pair<int, int>> &warnings)
{
    for (const auto &w : warnings) {
        WCHAR text[1024];
        wnsprintfW(text, ARRAYSIZE(text), GetString("VOLUME_NEARLY_FULL"), WCHAR(L'A' + w.first), w.second);
        ShowWarning(text);
    }
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
    if (drive < 0 || drive > 25 || s_state.volumes[drive].used || DriveTaken(drive)) {
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

    std::string container = ResolveContainer(UnixPath(path));
    // Saving writes a new copy beside the container: where that cannot
    // work, the volume is mounted read-only from the start rather than
    // taking files it could not keep.
    if (!readOnly && !container.empty() &&
        access(container.substr(0, container.rfind('/') + 1).c_str(), W_OK) != 0)
        readOnly = true, req->ReadOnlyFallback = 1;
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
    if (result == VOLUME_OK)
        result = RecoverOrphanedViews(container, key, readOnly);
    std::string view;
    if (result == VOLUME_OK) {
        view = CreateView(container, drive);
        result = view.empty() ? 24 : RestoreView(container, key, view);
    }
    if (result == VOLUME_OK && readOnly) {
        Volume &v = s_state.volumes[drive];
        MakeViewReadOnly(view);
        if (!ViewFingerprint(view, v.readOnlyCrc, v.readOnlyLength) ||
            !RecordReadOnlyFingerprint(view, v.readOnlyCrc, v.readOnlyLength))
            result = 24;
    }
    if (result == VOLUME_OK && !AddDrive(drive, view))
        result = 24;
    if (result != VOLUME_OK) {
        if (!view.empty())
            DiscardView(view);  // holds nothing but what the container holds
        s_state.volumes[drive] = Volume();
        ReleaseCryptoContext(key);
        CloseHandle(file);
        req->ResultCode = result;
        return TRUE;
    }
    if (req->RememberPassword && req->MountPassword.ByteCount != 0)
        Remember(&req->MountPassword);
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

// Every volume dismounted by force. A volume whose files cannot be saved
// keeps its view and drive: the view becomes an orphan that the next mount
// of its container saves.
void DismountEverything(const char *why)
{
    for (int d = 0; d < 26; ++d) {
        Volume &v = s_state.volumes[d];
        if (!v.used)
            continue;
        if (int result = Dismount(d, true); result != 0) {
            Report(why, d, result);
            Forget(v);
        }
    }
}

// A process that ends with volumes mounted takes its emulated driver with
// it: the volumes are saved and dismounted where they can be.
struct EndOfProcess {
    ~EndOfProcess()
    {
        std::lock_guard<std::recursive_mutex> guard(s_lock);
        DismountEverything("saving at the end of the process");
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

static BOOL Control(HANDLE device, DWORD code, void *in, DWORD inSize, void *out, DWORD outSize,
                    DWORD *returned)
{
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

BOOL QdskControl(HANDLE device, DWORD code, void *in, DWORD inSize, void *out, DWORD outSize, DWORD *returned)
{
    BOOL ok;
    DWORD error;
    std::vector<std::pair<int, int>> warnings;
    {
        std::lock_guard<std::recursive_mutex> guard(s_lock);
        ok = Control(device, code, in, inSize, out, outSize, returned);
        error = GetLastError();
        if (device == DeviceHandle())
            warnings = CheckFilling();
    }
    // Shown outside the lock: the box waits for the user, other requests
    // need not.
    WarnFilling(warnings);
    SetLastError(error);
    return ok;
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
    DismountEverything("saving at the reset");
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
