// The header rewrite of a password change. Every header written is complete
// and valid for the new password and flushed before the next, so a process
// killed at any point leaves each location holding the old header or a new
// one.
#include "volume/password_change.h"

#include <shlwapi.h>
#include <winioctl.h>

#include "Mount/language.h"
#include "Mount/msgbox.h"
#include "crypto/crypto_context.h"
#include "crypto/random_pool.h"
#include "crypto/random_pool_win32.h"
#include "volume/driver_control.h"
#include "volume/header_pass_builder.h"
#include "volume/volume_errors.h"
#include "volume/volume_header.h"

BOOL KeepContainerTimeStamps = TRUE;
BOOL BuildHeadersAhead = TRUE;

namespace {

const WCHAR *W(const char16_t *s) { return reinterpret_cast<const WCHAR *>(s); }

const uint64_t kBackupAreaSize = 131072;
const uint64_t kSecondHeaderOffset = 65536;
const uint64_t kEndHeaderDistance = 1536;

void Warn(HWND owner, const char16_t *text, const WCHAR *title)
{
    if (!SilentMode)
        MessageBoxW(owner, W(text), title, MB_ICONWARNING);
}

bool SeekTo(HANDLE file, uint64_t offset)
{
    LARGE_INTEGER to;
    to.QuadPart = static_cast<LONGLONG>(offset);
    return SetFilePointerEx(file, to, nullptr, FILE_BEGIN) != 0;
}

// Reads 512 bytes; a short read leaves zeros behind what was read.
bool ReadHeaderAt(HANDLE file, uint64_t offset, uint8_t *header)
{
    ZeroMemory(header, VOLUME_HEADER_SIZE);
    if (!SeekTo(file, offset))
        return false;
    DWORD read = 0;
    ReadFile(file, header, VOLUME_HEADER_SIZE, &read, nullptr);
    return true;
}

bool WriteHeaderAt(HANDLE file, uint64_t offset, const uint8_t *header)
{
    if (!SeekTo(file, offset))
        return false;
    DWORD written = 0;
    if (!WriteFile(file, header, VOLUME_HEADER_SIZE, &written, nullptr) || written != VOLUME_HEADER_SIZE)
        return false;
    FlushFileBuffers(file);
    return true;
}

bool IsDevicePath(const char *path)
{
    char upper[8] = {};
    lstrcpynA(upper, path, sizeof(upper));
    CharUpperA(upper);
    return lstrcmpA(upper, "\\DEVICE") == 0;
}

// The container size; 0 with result set on failure.
uint64_t ContainerSize(HANDLE file, bool device, const char *devicePath, int *result)
{
    if (!device) {
        LARGE_INTEGER size;
        if (!GetFileSizeEx(file, &size)) {
            *result = 1;
            return 0;
        }
        return static_cast<uint64_t>(size.QuadPart);
    }
    uint8_t info[32] = {};
    uint64_t size = 0;
    if (GetPartitionInfo(devicePath, info)) {
        CopyMemory(&size, info + 8, sizeof(size));  // PartitionLength
    } else {
        DISK_GEOMETRY geometry = {};
        DWORD returned = 0;
        if (!DeviceIoControl(file, IOCTL_DISK_GET_DRIVE_GEOMETRY, nullptr, 0, &geometry, sizeof(geometry),
                             &returned, nullptr)) {
            *result = 1;
            return 0;
        }
        size = static_cast<uint64_t>(geometry.Cylinders.QuadPart) * geometry.TracksPerCylinder *
               geometry.SectorsPerTrack * geometry.BytesPerSector;
    }
    if (size == 0)
        *result = 7;
    return size;
}

}  // namespace

int ChangeVolumePassword(const char *containerPath, const QdskPassword *oldPassword,
                         const QdskPassword *newPassword, int prf, HWND owner)
{
    if (!oldPassword || !newPassword || oldPassword->ByteCount == 0 || newPassword->ByteCount == 0)
        return -1;

    char path[MAX_PATH];
    if (lstrcmpA(containerPath, "Floppy (A:)") == 0)
        lstrcpyA(path, "\\Device\\Floppy0");
    else if (lstrcmpA(containerPath, "Floppy (B:)") == 0)
        lstrcpyA(path, "\\Device\\Floppy1");
    else
        lstrcpynA(path, containerPath, MAX_PATH);
    const bool device = IsDevicePath(path);

    int result = 0;
    HANDLE file = INVALID_HANDLE_VALUE;
    char dosName[32] = {};
    bool dosNameDefined = false;
    bool poolStarted = false;
    bool timesTaken = false;
    FILETIME created = {}, accessed = {}, written = {};
    uint8_t header[VOLUME_HEADER_SIZE] = {};
    QdskCryptoContext *context = nullptr;
    HeaderPassBuilder *builder = nullptr;
    DWORD lastError = 0;
    bool primaryDone = false, backupFailed = false;

    do {
        char openPath[MAX_PATH + 8];
        if (device) {
            wnsprintfA(dosName, sizeof(dosName), "QDSK%lu", GetCurrentProcessId());
            if (!DefineDosDeviceA(DDD_RAW_TARGET_PATH, dosName, path)) {
                result = 1;
                break;
            }
            dosNameDefined = true;
            wnsprintfA(openPath, sizeof(openPath), "\\\\.\\%s", dosName);
        } else {
            lstrcpynA(openPath, path, sizeof(openPath));
        }
        file = CreateFileA(openPath, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            result = 1;
            break;
        }
        uint64_t size = ContainerSize(file, device, path, &result);
        if (result)
            break;
        if (StartRandomPool(ShowErrorKey, ShowLastWindowsError) != 0) {
            result = 1;
            break;
        }
        poolStarted = true;

        if (!device && KeepContainerTimeStamps) {
            if (GetFileTime(file, &created, &accessed, &written))
                timesTaken = true;
            else
                Warn(owner, u"警告：无法获得加密卷时间戳！", L"qdsk");
        }

        // The header: at byte 0, at 64 KiB (containers of 128 KiB and more),
        // and 1536 bytes before the end.
        uint64_t locations[3] = {0, kSecondHeaderOffset, size >= kEndHeaderDistance ? size - kEndHeaderDistance : 0};
        int found = -1;
        result = 3;
        for (int i = 0; i < 3; ++i) {
            if (i == 1 && size < kBackupAreaSize)
                continue;
            if (i == 2 && size < kEndHeaderDistance)
                continue;
            if (!ReadHeaderAt(file, locations[i], header)) {
                result = 1;
                break;
            }
            result = OpenVolumeHeader(false, header, oldPassword, &context, nullptr);
            if (result == VOLUME_WEAK_KEY)
                result = 0;
            if (result == VOLUME_WRONG_PASSWORD)
                continue;
            if (result == 0)
                found = i;
            break;
        }
        if (result != 0 || found < 0 || !context)
            break;
        if (context->flags & HEADER_FLAG_SYSTEM_DRIVE) {
            result = 31;
            break;
        }
        if (prf)
            context->kdfPrf = prf;
        SetMixHash(context->kdfPrf);

        uint64_t offset = locations[found];
        // The backup lies (size - 128 KiB) behind the header: a container
        // too small for one, or a header whose backup would lie past the
        // end, has none, and nothing is written outside the container.
        const bool hasBackup = !context->oldFormat && size >= kBackupAreaSize &&
                               offset <= size - kBackupAreaSize - VOLUME_HEADER_SIZE &&
                               offset + (size - kBackupAreaSize) <= size - VOLUME_HEADER_SIZE;
        // The headers are written in order, 100 at the header and then, where
        // there is one, 100 at the backup; the next headers are built (their
        // salts drawn, their keys derived) while one is written and flushed.
        const int total = PASSWORD_CHANGE_PASSES * (hasBackup ? 2 : 1);
        const HeaderPassJob job = {context, newPassword, found == 0 ? 0 : context->hiddenSize, total};
        builder = BuildHeadersAhead ? StartHeaderPassBuilder(job) : nullptr;
        for (int pass = 0; pass < total; ++pass) {
            if (pass == PASSWORD_CHANGE_PASSES) {
                offset += size - kBackupAreaSize;
                primaryDone = true;
            }
            result = builder ? NextBuiltHeader(builder, header) : BuildHeaderPass(job, pass, header);
            if (result != 0)
                break;
            if (!WriteHeaderAt(file, offset, header)) {
                result = 1;
                break;
            }
        }
        if (result != 0 && primaryDone) {
            // The header already needs the new password; only its backup
            // still holds the old one. That is what the user is told.
            backupFailed = true;
            result = 0;
        }
    } while (false);

    lastError = GetLastError();
    StopHeaderPassBuilder(builder);  // before the context and the pool it builds from go
    SecureZeroMemory(header, sizeof(header));
    ReleaseCryptoContext(context);
    if (timesTaken && !SetFileTime(file, &created, &accessed, &written))
        Warn(owner, u"警告：恢复加密卷时间戳失败(文件修改/访问的日期/时间)！", L"QDSK");
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
    if (dosNameDefined)
        DefineDosDeviceA(DDD_RAW_TARGET_PATH | DDD_REMOVE_DEFINITION | DDD_EXACT_MATCH_ON_REMOVE, dosName, path);
    if (poolStarted)
        StopRandomPool();
    SetLastError(lastError);

    if (backupFailed && !SilentMode)
        MessageBoxW(owner, GetString("BACKUP_HEADER_FAILED"), GetString("VGRD"), MB_ICONWARNING);
    if (result != 0) {
        bool quietDenied = device && result == 1 && lastError == ERROR_ACCESS_DENIED && IsUacEnabled();
        if (!quietDenied)
            ShowVolumeError(owner, result);
    }
    return result;
}
