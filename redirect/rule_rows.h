// Turning rows of "apppaths" into redirection rules, and the order of the
// rule table. Platform-neutral; the Win32 loader supplies the UTF-8
// conversion and the folders that applications resolved at load time.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum { RULE_PATH_UNITS = 260 };  // the rule's folder buffer, terminator included

extern const char kRulesQuery[];

// What one row becomes before expansion.
struct RuleRow {
    int32_t aid = 0;
    std::u16string path;  // folder with a trailing backslash
    std::u16string name;  // "*.*" for an empty or NULL name
    int isRecurse = 0;
    int isCopy = 0;
    int pathWild = 0;
    int nameWild = 0;
};

// Gives the resolved folder of the first application with that id that has
// one, or null.
typedef const char16_t *(*ResolvedFolderLookup)(int32_t aid, void *context);

typedef std::u16string (*RuleTextDecoder)(const char *text);

// True when the text holds "*" or "?".
bool HasWildcard(const std::u16string &text);

// Whether a rule's file pattern stays inside the rule's folder: no mask of
// it (";"-separated) has a "." or ".." component, a colon (drive or
// stream), a leading backslash or slash, or an empty component.
bool IsContainedRuleName(const std::u16string &name);

// Converts the result of kRulesQuery (aid, path, name, isRecurse, isCopy).
// A row whose folder is empty, or does not fit RULE_PATH_UNITS with its
// trailing backslash and terminator, is left out: it could not name a folder.
// So is a row whose pattern is not contained (IsContainedRuleName): it
// would reach outside its folder.
// Returns false when the result does not have the query's columns.
bool ConvertRuleRows(char **cells, int rows, int cols, RuleTextDecoder fromUtf8,
                     ResolvedFolderLookup lookup, void *context, std::vector<RuleRow> &out);

// Order of device paths: ordinal, with ASCII letters folded to lower case;
// an absent device path (null) comes after every present one.
template <class Ch>
int CompareDevicePaths(const Ch *a, const Ch *b)
{
    if (!a || !b)
        return a ? -1 : (b ? 1 : 0);
    for (;; ++a, ++b) {
        unsigned ca = static_cast<unsigned>(*a) & 0xFFFFu;
        unsigned cb = static_cast<unsigned>(*b) & 0xFFFFu;
        if (ca >= 'A' && ca <= 'Z')
            ca += 0x20;
        if (cb >= 'A' && cb <= 'Z')
            cb += 0x20;
        if (ca != cb)
            return ca < cb ? -1 : 1;
        if (!ca)
            return 0;
    }
}
