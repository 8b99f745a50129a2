// Turning the rows of the trace database into the values of the in-memory
// tables: the column order of each query, NULL handling, decimal columns, the
// registry root names and the form of a DetectKey. Platform-neutral: text
// conversion is passed in (the program uses the Windows code pages).
//
// Cells come as sqlite3_get_table returns them: (rows + 1) * cols pointers,
// the column names first, NULL for an SQL NULL.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Converts a NUL-terminated column text to UTF-16.
typedef std::u16string (*ColumnDecoder)(const char *text);

struct ColumnDecoders {
    ColumnDecoder fromUtf8;  // columns stored as UTF-8
    ColumnDecoder fromAnsi;  // columns stored in the ANSI code page
};

// The decimal value of a column as atoi reads it (leading blanks, an optional
// sign, digits up to the first other character), clamped to the 32-bit
// range; 0 for NULL or text without digits.
int32_t ParseDecimalColumn(const char *text);

// One row of "apps": id, name, describe, DetectKey, ShellName, exename, profile.
struct AppRow {
    int32_t id = 0;
    std::u16string name;      // UTF-8; a NULL column gives an empty text
    std::u16string describe;  // UTF-8; a NULL column gives an empty text
    std::optional<std::u16string> detectKey;  // ANSI
    std::optional<std::u16string> shellName;  // ANSI
    std::optional<std::u16string> exename;    // UTF-8
    std::optional<std::u16string> profile;    // UTF-8
};

// One row of "profiles": appid, items, filePath, section.
struct ProfileRow {
    std::u16string section;
    std::u16string items;
    std::u16string filePath;
    int32_t appid = 0;
};

enum class RegRoot { CurrentUser, LocalMachine, Users };

// One row of "appregs": key, subkey, item, aid.
struct RegItemRow {
    RegRoot root = RegRoot::CurrentUser;
    std::u16string subkey;               // ANSI; NULL gives an empty text
    std::optional<std::u16string> item;  // ANSI; NULL means the whole key
    int32_t aid = 0;
};

// The queries, exactly as the loader runs them.
extern const char kAppsQuery[];
extern const char kProfilesQuery[];
extern const char kRegItemsQuery[];

// Each returns false when the result does not have the query's columns;
// otherwise out holds one value per row, in the order given.
bool ConvertAppRows(char **cells, int rows, int cols, const ColumnDecoders &dec,
                    std::vector<AppRow> &out);
bool ConvertProfileRows(char **cells, int rows, int cols, const ColumnDecoders &dec,
                        std::vector<ProfileRow> &out);
bool ConvertRegItemRows(char **cells, int rows, int cols, const ColumnDecoders &dec,
                        std::vector<RegItemRow> &out);

// "HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE", "HKEY_USERS" in any letter case;
// anything else (NULL included) is the current user's root.
RegRoot ParseRegRootName(const char *text);

// What a DetectKey or the DetectKey given to the folder lookup names.
struct DetectKeyParts {
    bool isRegistry = false;  // "HKCU\...", "HKLM\..." or "HKU\..." (exact case)
    RegRoot root = RegRoot::CurrentUser;
    size_t keyOffset = 0;     // where the key path starts (after the backslash)
};

// Splits a DetectKey at its first backslash. Registry form only when the part
// before it is exactly "HKCU", "HKLM" or "HKU"; a text without a backslash is
// never a registry key.
DetectKeyParts SplitDetectKey(const std::u16string &key);

// The root of the key that holds a ShellName value: the part of the
// DetectKey before its first backslash, "HKCU", "HKLM", "HKU" (exact case),
// anything else the current user. keyOffset is where the key path starts;
// false when there is no backslash or nothing after it.
bool SplitValueKey(const std::u16string &key, RegRoot *root, size_t *keyOffset);

// The 15 shell folder names that the folder lookup takes as folders rather
// than registry values, with their CSIDL numbers; -1 for any other name.
// Names compare exactly.
int ShellFolderCsidl(const std::u16string &name);

// A value read for a ShellName: when its last component holds a dot it
// names a file, and the folder is the text before its last backslash; a
// value that names an existing folder (existingFolder) is kept as it is.
// Returns false when the text names a file but has no backslash (no folder
// can be taken from it).
bool FolderFromShellValue(std::u16string &text, bool existingFolder = false);
