// Mounting the container on a drive letter through the volume driver,
// dismounting with retries, and telling the system about drives that come
// and go.
#pragma once
#include <windows.h>

#include "volume/password_record.h"

// Set while the program itself broadcasts a drive change.
extern volatile LONG IgnoreDeviceChange;
// Wrong passwords reported while mounting; reset by every successful mount.
extern int WrongPasswordCount;

// Mounts containerPath (ANSI) on drive (0 = A:). password null: try the
// driver's cached passwords. Results: -1 nothing mounted (a message may have
// been shown); 0 nothing mounted (the driver refused the volume, or no cached
// password fits); 1 mounted with exclusive access; 2 mounted shared.
int MountVolume(HWND owner, int drive, const char *containerPath, const QdskPassword *password,
                BOOL cachePassword, BOOL sharedAccess, const MountOptions *options, BOOL reportWrongPassword);

// What a successful mount runs to enter privacy mode: set by the session
// code at start-up (a test may leave the desktop alone with its own); null
// runs nothing.
typedef void (*PrivacyHandOverFn)(HWND owner, int drive);
extern PrivacyHandOverFn PrivacyHandOver;

BOOL IsContainerMounted(const char *containerPath);
// Lowest free drive number from D: (3) to Z: (25), or -1.
int FirstFreeDrive(void);
BOOL IsDriveFree(int drive);

// The driver's result code (0, 6 files open, ...), or 1 when the request
// itself failed (the Windows error has been shown).
int DismountVolume(HWND owner, int drive, BOOL force);
// 1 dismounted, 0 not.
int DismountWithRetry(HWND owner, int drive, BOOL force);

// event: DBT_DEVICEARRIVAL, DBT_DEVICEQUERYREMOVE or DBT_DEVICEREMOVECOMPLETE;
// driveMask 0 means the one drive.
LRESULT BroadcastDriveChange(WPARAM event, int drive, DWORD driveMask);

// True for the record of the program's own drive broadcasts (which the
// main window must not act on, even when the posted copy arrives late).
BOOL IsOwnDriveBroadcast(LPARAM data);

// Opens a console that checks (or, with fix, repairs) the drive's file
// system.
void OfferCheckDisk(int drive, BOOL fix);

// The tray window's view of the driver: the mounted list, refreshed on
// device changes, and the forced dismount of volumes whose container lived
// on a drive that went away.
void RefreshMountedList(void);
void DismountVolumesOnRemovedDrive(HWND owner, int removedDrive);
