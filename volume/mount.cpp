// Mount and dismount through the volume driver.
#include "volume/mount.h"

#include <dbt.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>

#include "Mount/app_state.h"
#include "Mount/language.h"
#include "Mount/msgbox.h"
#include "volume/driver_control.h"
#include "volume/driver_seam.h"
#include "volume/volume_error_table.h"
#include "volume/volume_errors.h"

volatile LONG IgnoreDeviceChange;
int WrongPasswordCount;
PrivacyHandOverFn PrivacyHandOver;

// The mounted list as the tray window last saw it.
static QdskMountedList s_mountedList;

static const WCHAR *W(const char16_t *s) { return reinterpret_cast<const WCHAR *>(s); }

static int Box(HWND owner, const WCHAR *text, UINT style)
{
    if (SilentMode)
        return 0;
    return MessageBoxW(owner, text, g_szProgramTitle, style);
}

static QdskMountedList *NewMountedList(void)
{
    return static_cast<QdskMountedList *>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(QdskMountedList)));
}

static bool SameUtf16(const uint16_t *a, const WCHAR *b)
{
    int i = 0;
    for (; i < QDSK_PATH_UNITS && b[i]; ++i)
        if (a[i] != b[i])
            return false;
    return i < QDSK_PATH_UNITS && a[i] == 0;
}

// "UNC\server\share\file" for "\\server\share\file"; other paths unchanged.
static void DriverFilePath(const char *path, char *out, int size)
{
    if (path[0] == '\\' && path[1] == '\\')
        wnsprintfA(out, size, "UNC%s", path + 1);
    else
        lstrcpynA(out, path, size);
}

static bool IsDevicePath(const char *path)
{
    char upper[8] = {};
    lstrcpynA(upper, path, sizeof(upper));
    CharUpperA(upper);
    return lstrcmpA(upper, "\\DEVICE") == 0;
}

BOOL IsContainerMounted(const char *containerPath)
{
    // The driver lists each volume by the path it was given with "\??\" in
    // front; a network path was given in its "UNC\" form, so the same form
    // is compared here.
    char narrow[QDSK_PATH_UNITS + 8];
    if (StrCmpNA(containerPath, "\\Device\\", 8) == 0) {
        lstrcpynA(narrow, containerPath, sizeof(narrow));
    } else {
        char file[QDSK_PATH_UNITS];
        DriverFilePath(containerPath, file, sizeof(file));
        wnsprintfA(narrow, sizeof(narrow), "\\??\\%s", file);
    }
    WCHAR wide[QDSK_PATH_UNITS + 8];
    if (!MultiByteToWideChar(CP_ACP, 0, narrow, -1, wide, ARRAYSIZE(wide)))
        return FALSE;
    QdskMountedList *list = NewMountedList();
    if (!list)
        return FALSE;
    ListMountedVolumes(list);
    BOOL mounted = FALSE;
    for (int drive = 0; drive < 26 && !mounted; ++drive)
        if (list->VolumePath[drive][0] && SameUtf16(list->VolumePath[drive], wide))
            mounted = TRUE;
    HeapFree(GetProcessHeap(), 0, list);
    return mounted;
}

int FirstFreeDrive(void)
{
    DWORD used = GetLogicalDrives();
    for (int drive = 3; drive <= 25; ++drive)
        if (!(used & (1u << drive)))
            return drive;
    return -1;
}

BOOL IsDriveFree(int drive)
{
    if (drive < 0 || drive > 25)
        return FALSE;
    return (GetLogicalDrives() & (1u << drive)) == 0;
}

static void FillMountRequest(QdskMountRequest *req, int drive, const QdskPassword *password, BOOL cachePassword,
                             const MountOptions *options)
{
    req->DriveNumber = drive;
    req->RememberPassword = cachePassword ? 1 : 0;
    req->ResultCode = 0;
    if (password)
        CopyMemory(&req->MountPassword, password, sizeof(QdskPassword));
    else
        SecureZeroMemory(&req->MountPassword, sizeof(QdskPassword));
    req->HiddenVolumeGuard = 0;
    if (options && options->HiddenVolumeGuard && !options->ReadOnly) {
        req->HiddenVolumeGuard = 1;
        CopyMemory(&req->HiddenVolumeGuardPassword, &options->ProtectedHidVolPassword, sizeof(QdskPassword));
    }
    req->ReadOnly = options ? options->ReadOnly : 0;
    req->Removable = options ? options->Removable : 0;
    req->KeepFileTimes = options ? options->KeepFileTimes : 0;
    req->RegisterWithMountManager = (g_dwOsMajor == 5 && g_dwOsMinor == 0) ? 0 : 1;
}

// Fills VolumePath, HostSectorSize and (for a read-only host) ReadOnly.
static void FormVolumePath(QdskMountRequest *req, const char *containerPath, bool *devicePath)
{
    char path[QDSK_PATH_UNITS + 8];
    if (lstrcmpA(containerPath, "Floppy (A:)") == 0)
        lstrcpyA(path, "\\Device\\Floppy0");
    else if (lstrcmpA(containerPath, "Floppy (B:)") == 0)
        lstrcpyA(path, "\\Device\\Floppy1");
    else
        lstrcpynA(path, containerPath, QDSK_PATH_UNITS);
    *devicePath = IsDevicePath(path);
    if (!*devicePath) {
        char file[QDSK_PATH_UNITS];
        DriverFilePath(path, file, sizeof(file));
        char volume[MAX_PATH];
        if (GetVolumePathNameA(containerPath, volume, 259)) {
            DWORD sectorsPerCluster, bytesPerSector, freeClusters, clusters;
            if (GetDiskFreeSpaceA(volume, &sectorsPerCluster, &bytesPerSector, &freeClusters, &clusters))
                req->HostSectorSize = bytesPerSector;
            DWORD flags = 0;
            if (!req->ReadOnly && GetVolumeInformationA(volume, nullptr, 0, nullptr, nullptr, &flags, nullptr, 0))
                req->ReadOnly = (flags & FILE_READ_ONLY_VOLUME) ? 1 : 0;
        }
        lstrcpynA(path, file, QDSK_PATH_UNITS);
    }
    ZeroMemory(req->VolumePath, sizeof(req->VolumePath));
    MultiByteToWideChar(CP_ACP, 0, path, -1, reinterpret_cast<WCHAR *>(req->VolumePath), QDSK_PATH_UNITS);
    req->VolumePath[QDSK_PATH_UNITS - 1] = 0;
}

static const char16_t DirtyQuestion[] =
    u"警告：加密卷%s上的文件系统上次卸载时没有完全完成，因此包含错误。使用冲突的文件系统会造成数据丢失或者损坏。\n\n"
    u"提示：在拔出或者关闭一个加密卷所在的设备（如USB盘或者移动硬盘）时，您应当首先卸载该加密卷。  \n\n"
    u"您希望让Windows来尝试检测和修复文件系统中可能存在的错误吗？";
static const char16_t ReadOnlyFileNotice[] =
    u"由于没有对加密卷%s的写权限，它被加载为只读状态。\n\n请确认文件容器的权限是否允许您写入。";
static const char16_t ReadOnlyDeviceNotice[] =
    u"由于没有对加密卷%s的写权限，它被加载为只读状态。\n\n"
    u"请确认没有其它应用程序（如杀毒软件）正在访问文件容器所在的分区/设备。";

// Whether the path, in the form the driver gets it and with the "\??\" the
// driver lists it under, fits the records' path fields.
static bool FitsDriverRecords(const char *containerPath)
{
    if (lstrlenA(containerPath) >= QDSK_PATH_UNITS)
        return false;
    char file[QDSK_PATH_UNITS + 8];
    DriverFilePath(containerPath, file, sizeof(file));
    int units = MultiByteToWideChar(CP_ACP, 0, file, -1, nullptr, 0);  // with the terminator
    return units > 0 && units + 4 <= QDSK_PATH_UNITS;
}

int MountVolume(HWND owner, int drive, const char *containerPath, const QdskPassword *password,
                BOOL cachePassword, BOOL sharedAccess, const MountOptions *options, BOOL reportWrongPassword)
{
    if (!FitsDriverRecords(containerPath)) {
        // Cut short, the path would name another file (or none).
        ShowVolumeError(owner, VOLUME_PATH_TOO_LONG);
        return 0;
    }
    if (IsContainerMounted(containerPath)) {
        Box(nullptr, W(u"磁盘文件已经加载!"), MB_ICONINFORMATION);
        return -1;
    }
    if (!IsDriveFree(drive)) {
        Box(nullptr, W(u"盘符已经被占用，不能使用该盘符加载!"), MB_ICONINFORMATION);
        return -1;
    }
    if (!password && IsPasswordCacheEmpty())
        return 0;

    QdskMountRequest req = {};
    req.OpenExclusive = sharedAccess ? 0 : 1;
    req.TryBackupHeader = options ? options->TryBackupHeader : 0;
    req.Recovery = options ? options->Recovery : 0;
    bool devicePath = false;

    for (;;) {
        FillMountRequest(&req, drive, password, cachePassword, options);
        FormVolumePath(&req, containerPath, &devicePath);

        DWORD returned = 0;
        BOOL sent = DriverHandle != INVALID_HANDLE_VALUE &&
                    QdskControl(DriverHandle, IOCTL_QDSK_MOUNT, &req, sizeof(req), &req, sizeof(req), &returned);
        DWORD error = sent ? 0 : (DriverHandle == INVALID_HANDLE_VALUE ? ERROR_INVALID_HANDLE : GetLastError());
        SecureZeroMemory(&req.MountPassword, sizeof(req.MountPassword));
        SecureZeroMemory(&req.HiddenVolumeGuardPassword, sizeof(req.HiddenVolumeGuardPassword));

        if (!sent) {
            if (error == ERROR_SHARING_VIOLATION && req.OpenExclusive) {
                if (Box(owner, W(u"磁盘文件在使用中，是否重试？"), MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) !=
                    IDYES)
                    return -1;
                req.OpenExclusive = 0;
                continue;
            }
            if (error == ERROR_SHARING_VIOLATION) {
                Box(owner, W(u"磁盘文件被占用中！"), MB_ICONERROR);
                return -1;
            }
            SetLastError(error);
            ShowLastWindowsError(owner);
            return -1;
        }

        if (req.ResultCode == 0)
            break;
        if (req.ResultCode == 3) {
            if (!reportWrongPassword)
                return 0;
            ++WrongPasswordCount;
            if (WrongPasswordCount == 3 && !req.TryBackupHeader) {
                // Perhaps the primary header is damaged: try the backup once,
                // at the third wrong password only; later ones show the box.
                req.TryBackupHeader = 1;
                continue;
            }
        }
        ShowVolumeError(owner, req.ResultCode);
        return 0;
    }

    WCHAR driveString[3] = {static_cast<WCHAR>(L'A' + drive), L':', 0};
    WCHAR text[1024];
    if (req.DirtyFilesystem) {
        wnsprintfW(text, ARRAYSIZE(text), W(DirtyQuestion), driveString);
        if (Box(owner, text, MB_YESNO | MB_ICONWARNING) == IDYES)
            OfferCheckDisk(drive, TRUE);
    }
    if (req.ReadOnlyFallback && !SilentMode) {
        if (devicePath) {
            wnsprintfW(text, ARRAYSIZE(text), W(ReadOnlyDeviceNotice), driveString);
            ShowWarningPlain(text);
        } else {
            DWORD attributes = GetFileAttributesA(containerPath);
            bool readOnlyFile = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
            bool readOnlyVolume = false;
            char volume[MAX_PATH];
            DWORD flags = 0;
            if (GetVolumePathNameA(containerPath, volume, 259) &&
                GetVolumeInformationA(volume, nullptr, 0, nullptr, nullptr, &flags, nullptr, 0))
                readOnlyVolume = (flags & FILE_READ_ONLY_VOLUME) != 0;
            if (!readOnlyFile && !readOnlyVolume) {
                wnsprintfW(text, ARRAYSIZE(text), W(ReadOnlyFileNotice), driveString);
                ShowWarningPlain(text);
            }
        }
    }
    WrongPasswordCount = 0;
    BroadcastDriveChange(DBT_DEVICEARRIVAL, drive, 0);
    if (PrivacyHandOver)
        PrivacyHandOver(owner, drive);
    return req.OpenExclusive ? 1 : 2;
}

int DismountVolume(HWND owner, int drive, BOOL force)
{
    QdskDismountRequest req = {};
    req.DriveNumber = drive;
    req.ForceDismount = force ? 1 : 0;
    DWORD returned = 0;
    if (DriverHandle == INVALID_HANDLE_VALUE) {
        SetLastError(ERROR_INVALID_HANDLE);
        ShowLastWindowsError(owner);
        return 1;
    }
    if (!QdskControl(DriverHandle, IOCTL_QDSK_DISMOUNT, &req, sizeof(req), &req, sizeof(req), &returned)) {
        ShowLastWindowsError(owner);
        return 1;
    }
    return req.ResultCode;
}

int DismountWithRetry(HWND owner, int drive, BOOL force)
{
    int attempts = 10;  // one budget for the whole call
    for (;;) {
        BroadcastDriveChange(DBT_DEVICEQUERYREMOVE, drive, 0);
        int result = DismountVolume(owner, drive, force);
        --attempts;
        while (result == 6 && attempts > 0) {
            Sleep(50);
            --attempts;
            result = DismountVolume(owner, drive, force);
        }
        if (result == 0) {
            BroadcastDriveChange(DBT_DEVICEREMOVECOMPLETE, drive, 0);
            return 1;
        }
        if (result != 6 || SilentMode) {
            // The driver's own reason first (a failed request has shown its
            // Windows error already), then that the drive stays.
            if (result != 1 && result != 6)
                ShowVolumeError(owner, result);
            ShowError(GetString("UNMOUNT_FAILED"));
            return 0;
        }
        force = TRUE;
        if (AskWarningNoYes(W(u"确定要退出吗？")) != IDYES)
            return 0;
    }
}

// Posts the record to every top-level window of every desktop.
static LRESULT PostDriveChangeToAll(WPARAM event, DEV_BROADCAST_VOLUME *record)
{
#ifdef __WINE__
    // Wine's BroadcastSystemMessageW reports success and delivers nothing
    // for this record; a broadcast send does deliver it.
    DWORD_PTR reply = 0;
    return SendMessageTimeoutW(HWND_BROADCAST, WM_DEVICECHANGE, event, reinterpret_cast<LPARAM>(record),
                               SMTO_ABORTIFHUNG, 100, &reply);
#else
    DWORD recipients = BSM_ALLCOMPONENTS;
    return BroadcastSystemMessageW(BSF_POSTMESSAGE | BSF_FORCEIFHUNG, &recipients, WM_DEVICECHANGE, event,
                                   reinterpret_cast<LPARAM>(record));
#endif
}

static DEV_BROADCAST_VOLUME s_broadcastRecord;
static volatile LONG s_ownRemovalMask;
static volatile LONG s_ownRemovalTick;

BOOL IsOwnDriveBroadcast(LPARAM data)
{
    // Our own record itself, or a copy the system made of it (broadcasts
    // of this message are copied across processes, and Wine copies them
    // for the own process too): a removal of the same drives, a moment
    // after we announced it.
    const DEV_BROADCAST_VOLUME *record = reinterpret_cast<const DEV_BROADCAST_VOLUME *>(data);
    if (record == nullptr)
        return FALSE;
    if (record == &s_broadcastRecord)
        return TRUE;
    DWORD age = GetTickCount() - static_cast<DWORD>(s_ownRemovalTick);
    return record->dbcv_devicetype == DBT_DEVTYP_VOLUME && s_ownRemovalMask != 0 &&
           record->dbcv_unitmask == static_cast<DWORD>(s_ownRemovalMask) && age < 30000;
}

LRESULT BroadcastDriveChange(WPARAM event, int drive, DWORD driveMask)
{
    if (driveMask == 0)
        driveMask = 1u << drive;
    UINT timeout = 10000;
    LONG shellEvent = 0;
    if (event == DBT_DEVICEARRIVAL)
        shellEvent = SHCNE_DRIVEADD;
    else if (event == DBT_DEVICEREMOVECOMPLETE)
        shellEvent = SHCNE_DRIVEREMOVED;

    if (shellEvent) {
        for (int d = 0; d < 26; ++d) {
            if (!(driveMask & (1u << d)))
                continue;
            char root[4] = {static_cast<char>('A' + d), ':', '\\', 0};
            SHChangeNotify(shellEvent, SHCNF_PATHA, root, nullptr);
            if (WindowsVersionCode == WIN_2000 && g_bRemoteSession) {
                char name[3] = {static_cast<char>('A' + d), ':', 0};
                char target[64];
                wnsprintfA(target, sizeof(target), "%ls%c", L"\\Device\\QdskVolume", 'A' + d);
                if (event == DBT_DEVICEARRIVAL)
                    DefineDosDeviceA(DDD_RAW_TARGET_PATH, name, target);
                else
                    DefineDosDeviceA(DDD_RAW_TARGET_PATH | DDD_REMOVE_DEFINITION | DDD_EXACT_MATCH_ON_REMOVE,
                                     name, target);
            }
        }
    }

    // The record outlives this call: the posted copy reaches windows (our
    // own main window among them) after it returns.
    DEV_BROADCAST_VOLUME &record = s_broadcastRecord;
    record = DEV_BROADCAST_VOLUME{};
    record.dbcv_size = sizeof(record);
    record.dbcv_devicetype = DBT_DEVTYP_VOLUME;
    record.dbcv_unitmask = driveMask;
    record.dbcv_flags = 0;
    if (g_dwOsMajor >= 6)
        timeout = 100;

    if (event == DBT_DEVICEREMOVECOMPLETE || event == DBT_DEVICEQUERYREMOVE) {
        InterlockedExchange(&s_ownRemovalTick, static_cast<LONG>(GetTickCount()));
        InterlockedExchange(&s_ownRemovalMask, static_cast<LONG>(driveMask));
    }
    InterlockedExchange(&IgnoreDeviceChange, 1);
    DWORD_PTR reply = 0;
    LRESULT sent = SendMessageTimeoutW(HWND_BROADCAST, WM_DEVICECHANGE, event, reinterpret_cast<LPARAM>(&record),
                                       SMTO_NORMAL, timeout, &reply);
#ifdef __WINE__
    // The broadcast send has delivered it already; the posting path is a
    // second send under Wine, and every window would get the event twice.
    LRESULT result = sent;
#else
    (void)sent;
    LRESULT result = PostDriveChangeToAll(event, &record);
#endif
    if (reply == 0 && g_dwOsMajor < 6 && event == DBT_DEVICEARRIVAL)
        result = SendMessageTimeoutW(HWND_BROADCAST, WM_DEVICECHANGE, event, reinterpret_cast<LPARAM>(&record),
                                     SMTO_NORMAL, timeout * 5, &reply);
    InterlockedExchange(&IgnoreDeviceChange, 0);
    return result;
}

void OfferCheckDisk(int drive, BOOL fix)
{
    char driveString[3] = {static_cast<char>('A' + drive), ':', 0};
    WCHAR caption[256], command[512];
    wnsprintfW(caption, ARRAYSIZE(caption),
               fix ? W(u"正在试图修复载入为 %hs 的 Veilguard 加密卷的文件系统...")
                   : W(u"正在检测载入为 %hs 的 Veilguard 加密卷的文件系统..."),
               driveString);
    wnsprintfW(command, ARRAYSIZE(command),
               fix ? L"/C echo %s & chkdsk %hs /F /X & pause" : L"/C echo %s & chkdsk %hs & pause", caption,
               driveString);
    const WCHAR *verb = (!IsAdmin() && IsUacEnabled()) ? L"runas" : L"open";
    ShellExecuteW(nullptr, verb, L"cmd.exe", command, nullptr, SW_SHOW);
}

void RefreshMountedList(void) { ListMountedVolumes(&s_mountedList); }

void DismountVolumesOnRemovedDrive(HWND owner, int removedDrive)
{
    for (int drive = 0; drive < 26; ++drive) {
        if (!(s_mountedList.DriveMask & (1u << drive)))
            continue;
        const uint16_t *path = s_mountedList.VolumePath[drive];
        if (path[0] == '\\' && path[1] == '?' && path[2] == '?' && path[3] == '\\')
            path += 4;
        if (path[0] == 0 || path[1] != ':')
            continue;
        WCHAR letter = static_cast<WCHAR>(path[0]);
        if (letter >= L'a' && letter <= L'z')
            letter = static_cast<WCHAR>(letter - L'a' + L'A');
        if (letter != L'A' + removedDrive)
            continue;
        // The medium holding the container is gone: the volume cannot stay.
        DismountWithRetry(owner, drive, TRUE);
        WipePasswordCache();
    }
}
