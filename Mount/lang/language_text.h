// The language dictionary: the texts of the language file, looked up by key
// or by control id. Plain procedures over one process-wide dictionary that
// start-up fills once and everything else only reads.
//
// Texts are UTF-16 (char16_t, the same 16-bit units as WCHAR on Windows);
// the Win32 side's GetString (Mount/language.h) hands them on as WCHAR.
// Entries with a key are string and control texts and font records; entries
// without a key map a control id to a text. Lookups scan from the first
// entry and compare keys exactly.
#pragma once
#include <stddef.h>
#include <stdint.h>

enum LanguageError {
    LANGUAGE_ERROR_ESCAPE = 1,  // a backslash followed by an unknown letter
    LANGUAGE_ERROR_UTF8 = 2,    // a text that is not valid UTF-8
    LANGUAGE_ERROR_DAMAGED = 3, // a text of 2,048 bytes or more, or one the file cuts off
};

// Told about the entry that stopped the load; key is that entry's key.
typedef void (*LanguageErrorFn)(LanguageError error, const char *key);

// The caption of the box that reports an error of the given kind:
// "QDSK: Unknown '\' escape sequence in string",
// "QDSK: Error while decoding UTF-8 string" or
// "QDSK: String too long or not terminated".
const char *LanguageErrorCaption(LanguageError error);

// A font entry of the language file ("font_" + class).
struct LanguageFont {
    const char16_t *face;
    int32_t size;
};

// Chooses the language to load (at most 5 characters are kept). Without a
// choice, or with an empty one, "en" is loaded.
void SetPreferredLanguage(const char *code);

// The code of the language that the next load selects.
const char *GetActiveLanguage(void);

// Clears the dictionary, then reads the entries of the active language from
// the language file xml (xmlLen bytes, UTF-8), adds the ids of the OK,
// Cancel, Close and Help buttons and, when idHeader is given, maps every
// "#define NAME NUMBER" line of it whose NAME has a text to that NUMBER.
// Returns 1 when loaded, 0 when the file has no "localization" element, the
// string pool ran full, or an entry's text had an unknown escape or invalid
// UTF-8 (reported through onError when given; the entries read before it
// stay usable). A text that is too long or cut off by the end of the file
// is reported the same way, its key is left without a text (lookups show
// the placeholder) and loading goes on.
int LoadLanguageText(const char *xml, size_t xmlLen, const char *idHeader, size_t headerLen,
                     LanguageErrorFn onError);

// The text of key; when there is none, "[?]key[?]" formatted into one shared
// placeholder buffer that every failed lookup overwrites. Never null.
const char16_t *GetLanguageString(const char *key);

// The text of key, or null when the dictionary has none.
const char16_t *FindLanguageString(const char *key);

// The text mapped to a control id, or null (always null for id 0).
const char16_t *GetLanguageControlText(int32_t id);

// Copies the font record of a class ("normal", "bold", "fixed", "title");
// false when the language has none.
bool GetLanguageFont(const char *fontClass, LanguageFont *font);

// Empties the dictionary and resets the string pool's fill mark; the pool
// itself is kept.
void ClearLanguage(void);

// Number of dictionary entries in use and bytes of the pool filled.
int LanguageEntryCount(void);
size_t LanguagePoolUsed(void);

constexpr int kLanguageMaxEntries = 4096;
constexpr size_t kLanguagePoolSize = 1000000;
