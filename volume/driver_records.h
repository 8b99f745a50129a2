// The volume driver's control interface: request codes and the records that
// travel with them. Every record is packed and its size and field offsets
// are checked, because the driver reads them byte for byte.
#pragma once
#include <cstddef>
#include <cstdint>

#include "volume/password_record.h"

// Codes built as CTL_CODE(0x22, function, METHOD_BUFFERED, FILE_ANY_ACCESS).
constexpr uint32_t QdskControlCode(uint32_t deviceType, uint32_t function)
{
    return (deviceType << 16) | (function << 2);
}

constexpr uint32_t IOCTL_QDSK_VERSION = QdskControlCode(0x22, 0x801);
constexpr uint32_t IOCTL_QDSK_MOUNT = QdskControlCode(0x22, 0x803);
constexpr uint32_t IOCTL_QDSK_DISMOUNT = QdskControlCode(0x22, 0x804);
constexpr uint32_t IOCTL_QDSK_DISMOUNT_ALL = QdskControlCode(0x22, 0x805);
constexpr uint32_t IOCTL_QDSK_LIST_MOUNTED = QdskControlCode(0x22, 0x806);
constexpr uint32_t IOCTL_QDSK_REFCOUNT = QdskControlCode(0x22, 0x808);
constexpr uint32_t IOCTL_QDSK_UNLOAD_BLOCKED = QdskControlCode(0x22, 0x809);
constexpr uint32_t IOCTL_QDSK_ANY_MOUNTED = QdskControlCode(0x22, 0x80A);
constexpr uint32_t IOCTL_QDSK_CACHE_STATUS = QdskControlCode(0x22, 0x80B);
constexpr uint32_t IOCTL_QDSK_CACHE_WIPE = QdskControlCode(0x22, 0x80C);
constexpr uint32_t IOCTL_QDSK_PARTITION_INFO = QdskControlCode(0x22, 0x80E);
// Older drivers answer the mounted list on a disk-type code.
constexpr uint32_t IOCTL_QDSK_LEGACY_LIST_MOUNTED = QdskControlCode(0x07, 0x801);

static_assert(IOCTL_QDSK_VERSION == 0x222004);
static_assert(IOCTL_QDSK_MOUNT == 0x22200C);
static_assert(IOCTL_QDSK_DISMOUNT == 0x222010);
static_assert(IOCTL_QDSK_DISMOUNT_ALL == 0x222014);
static_assert(IOCTL_QDSK_LIST_MOUNTED == 0x222018);
static_assert(IOCTL_QDSK_REFCOUNT == 0x222020);
static_assert(IOCTL_QDSK_UNLOAD_BLOCKED == 0x222024);
static_assert(IOCTL_QDSK_ANY_MOUNTED == 0x222028);
static_assert(IOCTL_QDSK_CACHE_STATUS == 0x22202C);
static_assert(IOCTL_QDSK_CACHE_WIPE == 0x222030);
static_assert(IOCTL_QDSK_PARTITION_INFO == 0x222038);
static_assert(IOCTL_QDSK_LEGACY_LIST_MOUNTED == 0x72004);

// The interface version this program speaks, and how the user reads it.
constexpr uint32_t QDSK_DRIVER_VERSION = 0x200;
#define QDSK_DRIVER_VERSION_TEXT "2.0"

constexpr int QDSK_PATH_UNITS = 260;  // UTF-16 units of every path field

#pragma pack(push, 1)
struct QdskMountRequest {
    int32_t ResultCode;
    uint32_t DirtyFilesystem;
    uint32_t ReadOnlyFallback;
    uint16_t VolumePath[QDSK_PATH_UNITS];
    QdskPassword MountPassword;
    uint32_t RememberPassword;
    int32_t DriveNumber;
    uint32_t HostSectorSize;
    uint32_t ReadOnly;
    uint32_t Removable;
    uint32_t OpenExclusive;
    uint32_t RegisterWithMountManager;
    uint32_t KeepFileTimes;
    uint32_t SystemDrivePartition;
    int32_t SystemDriveNumber;
    uint32_t HiddenVolumeGuard;
    QdskPassword HiddenVolumeGuardPassword;
    uint32_t TryBackupHeader;
    uint32_t Recovery;
};

struct QdskDismountRequest {
    int32_t DriveNumber;
    uint32_t ForceDismount;
    uint32_t Reserved;
    int32_t ResultCode;
};

struct QdskMountedList {
    uint32_t DriveMask;
    uint16_t VolumePath[26][QDSK_PATH_UNITS];
    uint8_t Details[26][16];
};

struct QdskPartitionQuery {
    uint16_t DevicePath[QDSK_PATH_UNITS];
    uint8_t PartitionInformation[32];
    uint8_t Unused[8];
};
#pragma pack(pop)

static_assert(sizeof(QdskMountRequest) == 728);
static_assert(offsetof(QdskMountRequest, VolumePath) == 12);
static_assert(offsetof(QdskMountRequest, MountPassword) == 532);
static_assert(offsetof(QdskMountRequest, RememberPassword) == 604);
static_assert(offsetof(QdskMountRequest, DriveNumber) == 608);
static_assert(offsetof(QdskMountRequest, HostSectorSize) == 612);
static_assert(offsetof(QdskMountRequest, ReadOnly) == 616);
static_assert(offsetof(QdskMountRequest, OpenExclusive) == 624);
static_assert(offsetof(QdskMountRequest, RegisterWithMountManager) == 628);
static_assert(offsetof(QdskMountRequest, SystemDriveNumber) == 640);
static_assert(offsetof(QdskMountRequest, HiddenVolumeGuard) == 644);
static_assert(offsetof(QdskMountRequest, HiddenVolumeGuardPassword) == 648);
static_assert(offsetof(QdskMountRequest, TryBackupHeader) == 720);
static_assert(offsetof(QdskMountRequest, Recovery) == 724);
static_assert(sizeof(QdskDismountRequest) == 16);
static_assert(offsetof(QdskDismountRequest, ResultCode) == 12);
static_assert(sizeof(QdskMountedList) == 13940);
static_assert(offsetof(QdskMountedList, VolumePath) == 4);
static_assert(offsetof(QdskMountedList, Details) == 13524);
static_assert(sizeof(QdskPartitionQuery) == 560);
static_assert(offsetof(QdskPartitionQuery, PartitionInformation) == 520);
