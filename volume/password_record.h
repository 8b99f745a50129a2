// The password record the volume driver takes, and the mount options that
// carry a second one for a protected hidden volume. Platform-neutral: the
// header code works on the same record.
#pragma once
#include <cstdint>

#define QDSK_MAX_PASSWORD 64

#pragma pack(push, 1)
struct QdskPassword {
    uint32_t ByteCount;  // number of password bytes
    uint8_t Bytes[68];   // at most 64 password bytes, zero-filled behind them
};

// Every mount is made with all options 0; the record still travels whole.
struct MountOptions {
    uint32_t ReadOnly;
    uint32_t Removable;
    uint32_t HiddenVolumeGuard;
    uint32_t KeepFileTimes;
    uint32_t SystemDrivePartition;
    QdskPassword ProtectedHidVolPassword;
    uint32_t TryBackupHeader;
    uint32_t Recovery;
};
#pragma pack(pop)

static_assert(sizeof(QdskPassword) == 72, "driver password record is 72 bytes");
static_assert(sizeof(MountOptions) == 100, "mount options record is 100 bytes");
