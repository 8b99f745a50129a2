// The volume requests of the driver emulation: mount and dismount on top of
// the volume storage (volume_storage.h) and the Wine drives
// (wine_drives.h).
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
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "standin/qdsk/driver_state.h"
#include "standin/qdsk/view_archive.h"
#include "standin/qdsk/volume_storage.h"
#include "standin/qdsk/wine_drives.h"
#include "Mount/language.h"
#include "Mount/msgbox.h"
#include "volume/volume_error_table.h"
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


}  // namespace

// Result code of a dismount; force skips the open-file check. The view and
// the drive go only once the files are safe in the container.
int Dismount(int drive, bool force)
{
    Volume &v = g_state.volumes[drive];
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
static int RecoverOrphanedViews(const std::string &container, QdskCryptoContext *key, bool readOnly)
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
        if (o.drive >= 0 && o.drive < 26 && !g_state.volumes[o.drive].used)
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
    for (const auto &w : warnings) {
        WCHAR text[1024];
        wnsprintfW(text, ARRAYSIZE(text), GetString("VOLUME_NEARLY_FULL"), WCHAR(L'A' + w.first), w.second);
        ShowWarning(text);
    }
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

    std::string container = ResolveContainer(UnixPath(path));
    if (!container.empty() && MountedElsewhere(container)) {
        CloseHandle(file);
        req->ResultCode = 21;
        return TRUE;
    }
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
        Volume &v = g_state.volumes[drive];
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
        g_state.volumes[drive] = Volume();
        ReleaseCryptoContext(key);
        CloseHandle(file);
        req->ResultCode = result;
        return TRUE;
    }
    if (req->RememberPassword && req->MountPassword.ByteCount != 0)
        Remember(&req->MountPassword);
    Volume &v = g_state.volumes[drive];
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
