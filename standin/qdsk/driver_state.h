// What the three parts of the volume driver emulation share: the driver's
// process-wide state under one lock, the handles it gives out, its password
// cache, and the volume requests (volume_requests.cpp) that the control
// device (qdsk_driver.cpp) serves. The service manager's part is
// service_manager.cpp.
#pragma once
#include <cstdint>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "standin/qdsk/qdsk_standin.h"
#include "standin/qdsk/volume_storage.h"
#include "crypto/crypto_context.h"
#include "volume/driver_seam.h"

namespace qdsk {

constexpr int CacheSlots = 8;
constexpr DWORD DefaultVersion = QDSK_DRIVER_VERSION;

struct Volume {
    bool used;
    uint16_t listedPath[QDSK_PATH_UNITS];
    HANDLE file;             // held open as the driver holds its container
    std::string container;   // Unix path
    HeldContainer held;      // locked for the whole mount, with what it was when last read or written
    std::string view;        // Unix path of the mounted view
    int viewLock = -1;       // held while the view is ours
    QdskCryptoContext *key;  // the volume's master key
    bool readOnly;
    uint32_t readOnlyCrc;    // what a read-only view held when mounted
    uint64_t readOnlyLength;
    bool warnedFull;         // the nearly-full warning was given
    // Checkpoints: what the view's metadata looked like at the last look and
    // at the last save, and since when it has been changing.
    uint64_t seenState, savedState;
    DWORD changedAt, unsavedSince;
};

struct DriverState {
    bool loaded;
    DWORD version = DefaultVersion;
    DWORD fileVersion = DefaultVersion;  // what the driver file beside the program carries
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


// Requests take it for as long as they run; the checkpoints only when it
// is free, and the end of the process for a bounded time.
extern std::recursive_timed_mutex g_lock;
extern DriverState g_state;

HANDLE DeviceHandle();
SC_HANDLE ManagerHandle();
SC_HANDLE ServiceHandle();
// Sets the last error and answers FALSE.
BOOL Fail(DWORD error);

// The password cache: CacheSlots records in locked memory (null when it
// cannot be had).
QdskPassword *Cache();
void WipeCache();
void Remember(const QdskPassword *password);

// IOCTL_QDSK_MOUNT: fails the request (FALSE, last error) only where the
// driver's request itself fails; every other outcome is its ResultCode.
BOOL Mount(QdskMountRequest *req);
// Result code of a dismount; force skips the open-file check. The view and
// the drive go only once the files are safe in the container.
int Dismount(int drive, bool force);
// Every volume dismounted by force; a volume whose files cannot be saved
// keeps its view and drive, reported with why.
void DismountEverything(const char *why);
DWORD MountedMask();
// The drive letters of views whose processes ended are freed.
void FreeDrivesOfEndedOwners();
// Starts the checkpoint thread (once); checkpoints.cpp.
void StartCheckpoints();
void SetCheckpointTimes(DWORD quietMs, DWORD longestMs);
// The drives (and how full, in percent) that just crossed the nearly-full
// mark; handed to the program by WarnFilling outside the lock.
std::vector<std::pair<int, int>> CheckFilling();
void WarnFilling(const std::vector<std::pair<int, int>> &warnings);

}  // namespace qdsk
