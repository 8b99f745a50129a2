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

// Fills the empty folder view with the files kept in the container's data
// area. VOLUME_OK; VOLUME_CONTENTS_UNREADABLE when the area holds neither a
// packed view nor the fresh-container mark (it is left untouched); 24 when
// the container cannot be read or the view cannot be written.
int RestoreView(const std::string &container, QdskCryptoContext *key, const std::string &view);

// Packs the view into the container's data area. The new container is
// written beside it and renamed into place, so an interruption leaves the
// old or the new contents, never a mix; a symbolic link to the container is
// followed (container is the resolved path). Result codes:
// VOLUME_OK; VOLUME_VIEW_TOO_LARGE; VOLUME_SAVE_NO_SPACE (checked before
// writing, and when a write runs out of space); VOLUME_SAVE_NOT_WRITABLE;
// 6 when a file changed while it was being packed; 24 when the view cannot
// be read. On every failure the container and the view are unchanged.
int SaveView(const std::string &container, QdskCryptoContext *key, const std::string &view);

// What a view's files pack into, from its metadata alone (no file is read).
bool ViewPackedSize(const std::string &view, uint64_t &bytes);

// Makes every file and folder of the view read-only (for a volume that is
// mounted read-only), so writes fail where they are made.
void MakeViewReadOnly(const std::string &view);

// A new, empty view folder (mode 0700) in the first runtime folder, named
// after this process, with its owner record: the container it belongs to,
// the drive letter that shows it, and for a read-only mount the fingerprint
// of what was restored. Empty when there is no runtime folder on tmpfs.
std::string CreateView(const std::string &container, int drive);
bool RecordReadOnlyFingerprint(const std::string &view, uint32_t crc, uint64_t length);
// Wipes the view and removes its owner record.
void DiscardView(const std::string &view);

// Views of container left by processes that ended without saving them.
struct OrphanedView {
    std::string view;
    int drive;
    bool readOnly;  // mounted read-only: unchanged when the fingerprint matches
    uint32_t crc;
    uint64_t length;
};
std::vector<OrphanedView> FindOrphanedViews(const std::string &container);
// Whether another running process has container mounted: each process
// emulates the driver for itself, and two views of one container would
// overwrite each other's saves.
bool MountedElsewhere(const std::string &container);

// The container's real path (symbolic links resolved), or empty.
std::string ResolveContainer(const std::string &unixPath);
