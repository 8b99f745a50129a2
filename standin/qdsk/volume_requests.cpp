// The volume requests of the driver emulation: mount and dismount on top of
// the volume storage (volume_storage.h) and the Wine drives
// (wine_drives.h).
//
// A view is removed only after its files were saved into the container
// (or, for a read-only volume, when they are unchanged); when saving fails
// the volume stays mounted and the request says why. A dismount first takes
// the drive away from programs, so that nothing can be written between the
// open-file check and the wipe; a failed dismount gives the drive back. A
// view that outlives its process is saved by the next mount of its
// container before anything else happens, and its drive letter is freed as
// soon as anyone opens the driver. While mounted, a volume is saved a while
// after its files stop changing (checkpoints). The driver reports result
// codes only: the program shows them.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "standin/qdsk/driver_state.h"
#include "standin/qdsk/view_archive.h"
#include "standin/qdsk/volume_storage.h"
#include "standin/qdsk/wine_drives.h"
#include "volume/volume_error_table.h"
#include "volume/volume_errors.h"
#include "volume/volume_header.h"

#include <shlwapi.h>

namespace qdsk {
namespace {

constexpr uint64_t HeaderAreaSize = 131072;
// The share of the volume at which the user is warned, and below which a
// later crossing warns again.
constexpr int WarnPercent = 90, RearmPercent = 80;

std::string UnixPath(const WCHAR *dosPath)
{
    char *p = wine_get_unix_file_name(dosPath);
    if (!p)
        return std::string();
    std::string s(p);
    HeapFree(GetProcessHeap(), 0, p);
    return s;
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
    ReleaseContainer(v.held);
    if (v.viewLock >= 0)
        close(v.viewLock);  // from now on the view is an orphan
    v = Volume();
}

// Tries to save what the view holds and checks that nothing was written
// after that; a forced dismount saves again while files change. Programs
// can no longer open files on the drive.
int SaveForDismount(Volume &v, bool force)
{
    if (!force && FilesOpenUnder(v.view))
        return 6;
    for (int attempt = 0;; ++attempt) {
        uint32_t crc = 0, now = 0;
        uint64_t length = 0, nowLength = 0;
        int result = 0;
        if (v.readOnly) {
            // Nothing can be saved: the view goes only when it holds what
            // was mounted (a process with every right may still have
            // written).
            if (!ViewFingerprint(v.view, crc, length) || crc != v.readOnlyCrc || length != v.readOnlyLength)
                return VOLUME_SAVE_NOT_WRITABLE;
        } else {
            result = SaveView(v.container, v.held, v.key, v.view, &crc, &length);
        }
        // A file that a program still has open may have been written since:
        // what is wiped must be what was saved.
        if (result == 0 && (force || !FilesOpenUnder(v.view)) && ViewFingerprint(v.view, now, nowLength) &&
            now == crc && nowLength == length)
            return 0;
        if (result != 0 && result != 6)
            return result;
        if (!force || attempt >= 4)
            return 6;
    }
}


}  // namespace

// Result code of a dismount; force skips the open-file check. The view and
// the drive go only once the files are safe in the container; the drive is
// taken away first and given back when the dismount fails.
int Dismount(int drive, bool force)
{
    Volume &v = g_state.volumes[drive];
    RemoveDrive(drive, v.view);
    int result = SaveForDismount(v, force);
    if (result != 0) {
        if (!AddDrive(drive, v.view))
            Report("giving the drive back", drive, 24);
        return result;
    }
    DiscardView(v.view, v.viewLock);
    Forget(v);
    return 0;
}

// The drive letters of views whose owners ended are freed, so that the
// next mount can have them; the views stay until their containers are
// mounted again. Letters that still show views that are gone are freed
// too.
void FreeDrivesOfEndedOwners()
{
    for (OrphanedView &o : FindOrphanedViews()) {
        if (o.drive >= 0 && o.drive < 26 && !g_state.volumes[o.drive].used && DriveShows(o.drive, o.view))
            RemoveDrive(o.drive, o.view);
        ReleaseOrphan(o);
    }
    for (int d = 0; d < 26; ++d)
        if (!g_state.volumes[d].used)
            DriveTaken(d);
}

// Views of this container that a process left behind (killed, or ended
// while saving failed) are saved into it before the mount reads it, and
// only then wiped. A read-only view that is unchanged has nothing to save.
// Only views made from this very container file count; of those there can
// be one only, since every mount holds the container's lock: several are
// refused rather than saved one over the other.
static int RecoverOrphanedViews(const std::string &container, HeldContainer &held, QdskCryptoContext *key,
                                bool readOnly)
{
    std::vector<OrphanedView> all = FindOrphanedViews(), mine;
    for (OrphanedView &o : all) {
        if (o.container == container && OrphanBelongsTo(o, held.identity))
            mine.push_back(o);
        else
            ReleaseOrphan(o);
    }
    int result = 0;
    if (mine.size() > 1)
        result = VOLUME_ORPHANS_DISAGREE;
    for (size_t i = 0; result == 0 && i < mine.size(); ++i) {
        OrphanedView &o = mine[i];
        uint32_t crc = 0;
        uint64_t length = 0;
        bool unchanged = o.readOnly && ViewFingerprint(o.view, crc, length) && crc == o.crc && length == o.length;
        if (!unchanged)
            result = readOnly ? VOLUME_SAVE_NOT_WRITABLE : SaveView(container, held, key, o.view);
        if (result != 0)
            break;
        if (o.drive >= 0 && o.drive < 26 && !g_state.volumes[o.drive].used && DriveShows(o.drive, o.view))
            RemoveDrive(o.drive, o.view);
        DiscardView(o.view, o.lock);
    }
    for (OrphanedView &o : mine)
        ReleaseOrphan(o);
    return result;
}

// How full each writable volume is; the drives that just crossed the
// warning mark. Asked on every request, so the user hears of it while
// there is still room.
std::vector<std::pair<int, int>> CheckFilling()
{
    std::vector<std::pair<int, int>> warnings;
    for (int d = 0; d < 26; ++d) {
        Volume &v = g_state.volumes[d];
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
    for (const auto &w : warnings)
        ShowVolumeNearlyFull(w.first, w.second);
}

static void Listed(const uint16_t *volumePath, uint16_t *listed)
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

static bool SamePath(const uint16_t *a, const uint16_t *b)
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
static int OpenHeader(const uint8_t *header, const QdskPassword *password, QdskCryptoContext **key,
                      const QdskPassword **used)
{
    if (password->ByteCount != 0) {
        *used = password;
        return OpenVolumeHeader(false, header, password, key, nullptr);
    }
    QdskPassword *cache = Cache();
    for (int i = 0; cache && i < g_state.cacheCount; ++i) {
        int result = OpenVolumeHeader(false, header, &cache[i], key, nullptr);
        if (result != VOLUME_WRONG_PASSWORD) {
            *used = &cache[i];
            return result;
        }
    }
    return VOLUME_WRONG_PASSWORD;
}

BOOL Mount(QdskMountRequest *req)
{
    g_state.counters.mountRequests++;
    g_state.counters.lastMount = *req;
    SecureZeroMemory(&g_state.counters.lastMount.MountPassword, sizeof(QdskPassword));
    SecureZeroMemory(&g_state.counters.lastMount.HiddenVolumeGuardPassword, sizeof(QdskPassword));
    req->DirtyFilesystem = 0;
    req->ReadOnlyFallback = 0;

    uint16_t listed[QDSK_PATH_UNITS];
    req->VolumePath[QDSK_PATH_UNITS - 1] = 0;
    Listed(req->VolumePath, listed);
    for (const Volume &v : g_state.volumes)
        if (v.used && SamePath(v.listedPath, listed)) {
            req->ResultCode = 21;
            return TRUE;
        }
    int drive = req->DriveNumber;
    FreeDrivesOfEndedOwners();
    if (drive < 0 || drive > 25 || g_state.volumes[drive].used || DriveTaken(drive)) {
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

    // The lock is taken before anything else is read: whoever holds it
    // (another process, prefix or user) has the container mounted.
    std::string container = ResolveContainer(UnixPath(path));
    HeldContainer held;
    if (int locked = LockContainer(container, held); locked != 0) {
        CloseHandle(file);
        req->ResultCode = locked;
        return TRUE;
    }
    // Saving writes a new copy beside the container: where that cannot
    // work, the volume is mounted read-only from the start rather than
    // taking files it could not keep.
    if (!readOnly && access(container.substr(0, container.rfind('/') + 1).c_str(), W_OK) != 0)
        readOnly = true, req->ReadOnlyFallback = 1;
    LARGE_INTEGER size = {};
    uint8_t header[VOLUME_HEADER_SIZE];
    bool read = GetFileSizeEx(file, &size) && uint64_t(size.QuadPart) >= 2 * HeaderAreaSize &&
                ReadAt(held.fd, req->TryBackupHeader ? uint64_t(size.QuadPart) - HeaderAreaSize : 0, header,
                       sizeof(header));
    if (!read) {
        ReleaseContainer(held);
        CloseHandle(file);
        req->ResultCode = 9;
        return TRUE;
    }

    QdskCryptoContext *key = nullptr;
    const QdskPassword *used = nullptr;
    int result = OpenHeader(header, &req->MountPassword, &key, &used);
    SecureZeroMemory(header, sizeof(header));
    if (result == VOLUME_OK && key->areaStart + key->dataSize > uint64_t(size.QuadPart))
        result = 7;
    if (result == VOLUME_OK)
        result = RecoverOrphanedViews(container, held, key, readOnly);
    std::string view;
    int viewLock = -1;
    if (result == VOLUME_OK) {
        view = CreateView(container, held.identity, drive, viewLock);
        result = view.empty() ? 24 : RestoreView(held, key, view);
    }
    Volume &v = g_state.volumes[drive];
    if (result == VOLUME_OK && readOnly) {
        MakeViewReadOnly(view);
        if (!ViewFingerprint(view, v.readOnlyCrc, v.readOnlyLength) ||
            !RecordReadOnlyFingerprint(view, v.readOnlyCrc, v.readOnlyLength))
            result = 24;
    }
    if (result == VOLUME_OK && !AddDrive(drive, view))
        result = 24;
    if (result != VOLUME_OK) {
        if (!view.empty())
            DiscardView(view, viewLock);  // holds nothing but what the container holds
        v = Volume();
        ReleaseCryptoContext(key);
        ReleaseContainer(held);
        CloseHandle(file);
        req->ResultCode = result;
        return TRUE;
    }
    if (req->RememberPassword && req->MountPassword.ByteCount != 0)
        Remember(&req->MountPassword);
    v.used = true;
    memcpy(v.listedPath, listed, sizeof(listed));
    v.file = file;
    v.container = container;
    v.held = held;
    v.view = view;
    v.viewLock = viewLock;
    v.key = key;
    v.readOnly = readOnly;
    ViewState(view, v.seenState);
    v.savedState = v.seenState;
    v.changedAt = GetTickCount();
    v.unsavedSince = 0;
    StartCheckpoints();
    req->ResultCode = 0;
    return TRUE;
}

DWORD MountedMask()
{
    DWORD mask = 0;
    for (int d = 0; d < 26; ++d)
        if (g_state.volumes[d].used)
            mask |= 1u << d;
    return mask;
}

// Every volume dismounted by force. A volume whose files cannot be saved
// keeps its view and drive: the view becomes an orphan that the next mount
// of its container saves.
void DismountEverything(const char *why)
{
    for (int d = 0; d < 26; ++d) {
        Volume &v = g_state.volumes[d];
        if (!v.used)
            continue;
        if (int result = Dismount(d, true); result != 0) {
            Report(why, d, result);
            Forget(v);
        }
    }
}

}  // namespace qdsk
