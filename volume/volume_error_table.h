// What the user is shown for each result code of the volume layer. The
// fixed texts are the same in every user-interface language.
#pragma once
#include <cstdint>

// Codes of the volume driver emulation about keeping the volume's files;
// with all of them the volume and its files stay where they were.
constexpr int32_t VOLUME_SAVE_NO_SPACE = 34;         // no room to save the files into the container
constexpr int32_t VOLUME_SAVE_NOT_WRITABLE = 35;     // the container cannot be written
constexpr int32_t VOLUME_VIEW_TOO_LARGE = 36;        // the files no longer fit into the volume
constexpr int32_t VOLUME_CONTENTS_UNREADABLE = 37;   // the data area holds nothing readable here
constexpr int32_t VOLUME_CONTAINER_CHANGED = 39;     // the container was replaced or changed while mounted
constexpr int32_t VOLUME_ORPHANS_DISAGREE = 40;      // several unsaved copies of the files were left behind
constexpr int32_t VOLUME_RESTORE_NO_SPACE = 41;      // no room in memory to show the volume's files
// The program's own refusal before any request: the container's path does
// not fit the driver's records.
constexpr int32_t VOLUME_PATH_TOO_LONG = 38;

enum VolumeErrorShow : uint8_t {
    SHOW_NOTHING,        // already reported, or cancelled by the user
    SHOW_WINDOWS_ERROR,  // the system's text for GetLastError()
    SHOW_LANGUAGE_KEY,   // text is a key of the language file
    SHOW_FIXED_TEXT,     // text is shown as it stands
};

struct VolumeErrorEntry {
    int32_t code;
    VolumeErrorShow show;
    bool warning;         // warning icon instead of the error icon
    bool mainWindowOnTop; // topmost, foreground, owned by the main window
    const char *key;      // SHOW_LANGUAGE_KEY
    const char16_t *text; // SHOW_FIXED_TEXT; may hold one %hs
};

// The entry for a code; codes without their own entry get the "unknown
// error" entry (whose code field is -1).
const VolumeErrorEntry &FindVolumeError(int32_t code);
// All entries with their own code, in code order, and their number.
const VolumeErrorEntry *VolumeErrorEntries(int *count);

// Appended to the wrong-password text while Caps Lock is on.
extern const char16_t VOLUME_CAPS_LOCK_NOTE[];
