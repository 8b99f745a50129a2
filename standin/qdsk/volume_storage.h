// The volume driver emulation's storage: a mounted volume's files live in a
// plain view folder on tmpfs while it is mounted and, packed and encrypted,
// in the container's data area in between. This is where a view is filled
// from the container, saved back into it (atomically), recognised after a
// crash, and wiped.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "crypto/crypto_context.h"

// length bytes at offset, all of them, or false.
bool ReadAt(int fd, uint64_t offset, uint8_t *buffer, size_t length);

// The container a volume was mounted from, as this mount knows it: the
// descriptor that holds the exclusive lock on it, and what it was when this
// mount last read or wrote it. A save goes ahead only when the file at the
// container's path is still that one.
struct ContainerIdentity {
    uint64_t device = 0, inode = 0, size = 0;
    int64_t modified = 0, modifiedNs = 0;
    int64_t changed = 0, changedNs = 0;  // known only to the mount itself (0 in records)
    uint8_t salt[64] = {};
};
struct HeldContainer {
    int fd = -1;  // locked (flock, exclusive) for as long as the volume is mounted
    ContainerIdentity identity;
};

// Opens and locks the container: 0; 21 when another mount (any process,
// prefix or user) holds it; 23 when it cannot be opened. The lock goes
// with the descriptor, so the kernel releases it when the process dies.
int LockContainer(const std::string &container, HeldContainer &held);
void ReleaseContainer(HeldContainer &held);
// What the file at container is now, through the held descriptor; false
// when the path no longer names the held file.
bool ReadIdentity(const HeldContainer &held, const std::string &container, ContainerIdentity &identity);
bool SameContainer(const ContainerIdentity &a, const ContainerIdentity &b);

// Fills the empty folder view with the files kept in the container's data
// area. VOLUME_OK; VOLUME_CONTENTS_UNREADABLE when the area holds neither a
// packed view nor the fresh-container mark (it is left untouched);
// VOLUME_RESTORE_NO_SPACE when the runtime folder has no room for the
// files; 24 when the container cannot be read or the view cannot be
// written.
int RestoreView(const HeldContainer &held, QdskCryptoContext *key, const std::string &view);

// Packs the view into the container's data area. The new container is
// written beside it and renamed into place, so an interruption leaves the
// old or the new contents, never a mix; a symbolic link to the container is
// followed (container is the resolved path). Before anything is written the
// file at the path must still be the held one, unchanged
// (VOLUME_CONTAINER_CHANGED otherwise); afterwards the held descriptor,
// its lock and identity are those of the new file, and the view's owner
// record names it. crc and length are the fingerprint of what was saved.
// Result codes: VOLUME_OK; VOLUME_VIEW_TOO_LARGE; VOLUME_SAVE_NO_SPACE
// (checked before writing, and when a write runs out of space);
// VOLUME_SAVE_NOT_WRITABLE; VOLUME_CONTAINER_CHANGED; 6 when a file changed
// while it was being packed; 24 when the view cannot be read. On every
// failure the container and the view are unchanged.
int SaveView(const std::string &container, HeldContainer &held, QdskCryptoContext *key, const std::string &view,
             uint32_t *crc = nullptr, uint64_t *length = nullptr);

// What a view's files pack into, from its metadata alone (no file is read).
bool ViewPackedSize(const std::string &view, uint64_t &bytes);

// Makes every file and folder of the view read-only (for a volume that is
// mounted read-only), so writes fail where they are made.
void MakeViewReadOnly(const std::string &view);

// The folders of this user that hold views and their owner records: one
// per runtime folder on tmpfs, named after the user, mode 0700. Each is
// checked with lstat (a real folder, ours, closed to others) before
// anything in it is read; a folder that fails the check is not used.
std::vector<std::string> PrivateFolders();

// A new, empty view folder (mode 0700) in the first private folder, with
// its owner record: the container it belongs to and its identity, the
// drive letter that shows it, and for a read-only mount the fingerprint of
// what was restored. The view stays locked (viewLock) while its process
// lives: a view whose lock is free has lost its owner. Empty when there is
// no private folder on tmpfs.
std::string CreateView(const std::string &container, const ContainerIdentity &identity, int drive, int &viewLock);
bool RecordReadOnlyFingerprint(const std::string &view, uint32_t crc, uint64_t length);
// Wipes the view and removes its owner record (and lets go of its lock).
void DiscardView(const std::string &view, int &viewLock);

// A view whose owner ended without saving it (killed, or saving failed),
// locked by this process while it is looked at.
struct OrphanedView {
    std::string view;
    std::string container;
    int drive = -1;
    bool readOnly = false;  // mounted read-only: unchanged when the fingerprint matches
    uint32_t crc = 0;
    uint64_t length = 0;
    std::vector<ContainerIdentity> identities;  // the container files it may be saved into
    int lock = -1;
};
// Every orphaned view of this user (any container); each holds its lock
// until ReleaseOrphan.
std::vector<OrphanedView> FindOrphanedViews();
void ReleaseOrphan(OrphanedView &orphan);
// Whether the orphan belongs to the held container as it is now.
bool OrphanBelongsTo(const OrphanedView &orphan, const ContainerIdentity &identity);

// The container's real path (symbolic links resolved), or empty.
std::string ResolveContainer(const std::string &unixPath);
