// How the stand-in keeps a mounted volume's files inside the container: the
// folder tree of the mounted view packed into one frame that is encrypted
// into the container's data area when the view is saved and unpacked at
// mount. Both directions stream: memory use does not grow with the files.
//
// Frame: "QDSKVIEW", u32 format (2), u32 entry count, u64 payload length,
// u32 CRC-32 of the payload, 4 zero bytes, then the payload: per entry u8
// type (1 folder, 2 file), u16 path length, u32 mode bits, u64 size, i64
// modification time (seconds) and u32 its nanoseconds, u8 length of the
// DOS attributes record, then the path (relative, '/'-separated), the DOS
// attributes record (Wine's "user.DOSATTRIB" extended attribute, which
// holds the hidden and system flags) and the file's bytes. All
// little-endian. Format 1 frames (entries without the time and attributes,
// a 15-byte entry header) are still read.
//
// A fresh container carries, instead of a frame, the fresh-container mark
// (fresh_mark.h) at the start of its data area.
#pragma once
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

constexpr size_t VIEW_FRAME_HEADER = 32;
constexpr size_t VIEW_ENTRY_HEADER = 28;

struct ViewEntry {
    bool folder;
    std::string rel;  // relative, '/'-separated
    uint32_t mode;    // permission bits
    uint64_t size;    // 0 for folders
    int64_t modified;
    uint32_t modifiedNs;
    std::string attributes;  // the DOS attributes record, empty when there is none
};

// The tree under dir as it stands (metadata only), in packing order, and
// the length of the frame it packs into. Links and devices have no place
// on the volume and are left out. False when the tree cannot be read.
struct ViewListing {
    std::vector<ViewEntry> entries;
    uint64_t frameLength = 0;
};
bool ListView(const std::string &dir, ViewListing &listing);

// Receives the frame piece by piece; false stops the packing.
using ViewSink = std::function<bool(const uint8_t *data, size_t length)>;

// Streams the payload of listing (read from dir) into sink and gives its
// CRC-32. False when a file cannot be read or no longer has the size the
// listing gave it (it changed while being packed), or when sink refuses.
bool StreamViewPayload(const std::string &dir, const ViewListing &listing, const ViewSink &sink, uint32_t &crc);
// The frame's first VIEW_FRAME_HEADER bytes for listing and payload CRC.
void BuildViewFrameHeader(const ViewListing &listing, uint32_t crc, uint8_t *header);
// The CRC and length that the tree under dir packs into: two views with the
// same fingerprint hold the same files.
bool ViewFingerprint(const std::string &dir, uint32_t &crc, uint64_t &length);

// A summary of the tree's metadata (names, sizes, modes, modification
// times): it changes whenever a file is written, created or removed. No
// file is read.
bool ViewState(const std::string &dir, uint64_t &state);

// The whole frame's length from its first VIEW_FRAME_HEADER bytes, or 0
// when they do not start a frame.
uint64_t ViewFrameLength(const uint8_t *head);

// Unpacks a frame fed to it in pieces of any size into dir (which exists).
// Bytes after the frame's end are ignored. Finish tells whether the whole
// frame arrived undamaged; a frame that is damaged or names a path outside
// dir fails as soon as that shows.
class ViewUnpacker {
public:
    explicit ViewUnpacker(const std::string &dir) : dir_(dir) {}
    ~ViewUnpacker();
    ViewUnpacker(const ViewUnpacker &) = delete;
    ViewUnpacker &operator=(const ViewUnpacker &) = delete;
    bool Feed(const uint8_t *data, size_t length);
    // Whether the frame's last byte has arrived (or it failed).
    bool Done() const { return failed_ || (haveHeader_ && consumed_ == payload_); }
    bool Finish();
    // Whether it failed because the folder ran out of room.
    bool NoSpace() const { return noSpace_; }

private:
    bool Take(const uint8_t *&data, size_t &length);
    std::string dir_;
    std::string pending_;  // an unfinished header or path
    bool haveHeader_ = false, failed_ = false, noSpace_ = false;
    uint32_t count_ = 0, seen_ = 0, crc_ = 0, expectedCrc_ = 0;
    uint64_t payload_ = 0, consumed_ = 0;
    // the entry being read
    bool inEntry_ = false;
    uint8_t type_ = 0;
    size_t pathLength_ = 0;
    uint32_t mode_ = 0;
    uint64_t remaining_ = 0;
    uint32_t version_ = 0;
    int64_t modified_ = 0;  // -1: the frame keeps no times
    uint32_t modifiedNs_ = 0;
    struct timespec fileTime_ = {};
    size_t attributesLength_ = 0;
    int fd_ = -1;
    // Folders get their times once everything inside them is written.
    std::vector<std::pair<std::string, struct timespec>> folderTimes_;
};

// Overwrites every file under dir with zeros (also read-only ones) and
// removes the tree. Files that have other names too (hard links) are
// unlinked without being overwritten.
void WipeTree(const std::string &dir);
// Whether any of the process's descriptors points under dir (via
// /proc/<pid>/fd).
bool ProcessHasOpenUnder(int pid, const std::string &dir);
