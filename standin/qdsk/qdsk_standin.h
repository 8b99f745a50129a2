// Switches and counters of the in-process volume driver emulation, for
// tests. The program itself reaches the emulation only through the driver
// seam (volume/driver_seam.h).
#pragma once
#include <windows.h>

#include "volume/driver_records.h"

struct QdskStandinCounters {
    int serviceStarts;
    int mountRequests;
    int dismountRequests;
    int forcedDismountRequests;
    QdskMountRequest lastMount;  // as received, with both passwords wiped
    int checkpoints;             // saves made while mounted
};

// Back to "not loaded": every volume dismounted (by force, persisting its
// files), the cache wiped, switches off, counters zero.
void QdskStandinReset(void);
// A driver of the given interface version is already running (installed by
// someone else, service entry present).
void QdskStandinLoadVersion(DWORD version);
// The interface version of the driver file that the program installs
// (a mismatched file beside the program).
void QdskStandinSetFileVersion(DWORD version);
// The service manager refuses access (as for a user without rights).
void QdskStandinDenyManager(BOOL deny);
// What IOCTL_QDSK_UNLOAD_BLOCKED answers.
void QdskStandinSetUnloadBlocked(DWORD blocked);
// Adds references to the control device as other programs would.
void QdskStandinAddForeignReferences(int count);
BOOL QdskStandinIsLoaded(void);
void QdskStandinGetCounters(QdskStandinCounters *counters);
// How long a mounted volume's files must stay unchanged before they are
// saved while mounted, and how long changes may go unsaved at most
// (60 s and 10 min unless set).
void QdskStandinSetCheckpointTimes(DWORD quietMs, DWORD longestMs);
// The Unix folder that holds the mounted view of a drive; empty when the
// drive is not mounted.
void QdskStandinViewFolder(int drive, char *out, size_t size);
