// The Wine side of an emulated volume: where plain views may live, the
// drive letter that shows a view to every Wine process of the prefix, and
// whether any of them has a file open under a view.
#pragma once
#include <string>
#include <vector>

// Folders on tmpfs where a view may be kept, in order of preference
// ($XDG_RUNTIME_DIR, /dev/shm); empty when there is none, since plain files
// must never be written to a disk.
std::vector<std::string> RuntimeFolders();

// Makes the drive show view: the prefix's dosdevices link and the raw DOS
// device behind the drive listing. False, with nothing left, on failure.
bool AddDrive(int drive, const std::string &view);
// Removes both again (the link only when it points at view).
void RemoveDrive(int drive, const std::string &view);
// Whether the prefix's drive link of the letter points at view.
bool DriveShows(int drive, const std::string &view);
// Whether the letter is in use: mounted here, listed by Wine, or linked in
// the prefix (a link to a view that no longer exists is cleared).
bool DriveTaken(int drive);

// Whether any Wine process of the prefix (through its wineserver) or this
// process has a file open under view.
bool FilesOpenUnder(const std::string &view);
