// The file-name pattern match used by the redirection rules, as the
// platform's PathMatchSpecW does it: the pattern is a list of masks separated
// by ";" (blanks before each mask skipped), "*" matches any run of
// characters (backslashes included), "?" exactly one, other characters
// compare without regard to case, and the pattern "*.*" matches everything.
// This one runs in time proportional to text times mask, whatever the masks.
//
// Case is folded through a table of 65536 upper-case values. The built-in
// table covers ASCII, Latin-1, Latin Extended-A, Greek, Cyrillic and the
// full-width Latin letters; the Win32 code installs the platform's own table
// at start-up so that the answers agree with the platform. Platform-neutral.
#pragma once

#include <cstddef>

extern const char16_t *g_matchFold;  // the active table, never null

inline char16_t MatchFold(char16_t c)
{
    return g_matchFold[c];
}

// Replaces the fold table with a copy of table (65536 entries); null puts the
// built-in table back. Call before any matching thread runs.
void SetMatchFoldTable(const char16_t *table);

// PathMatchSpecW of a NUL-terminated text against a NUL-terminated pattern.
bool PathMatchSpec16(const char16_t *text, const char16_t *pattern);

// The same for a text given as two pieces (head then tail), as if joined.
bool PathMatchSpec16Split(const char16_t *head, size_t headLen,
                          const char16_t *tail, size_t tailLen,
                          const char16_t *pattern);

// Equality without regard to case, character by character through the fold.
bool EqualFolded(const char16_t *a, size_t aLen, const char16_t *b, size_t bLen);
