// The extracted trace database: its rows read with the loader's queries and
// turned into the process-wide tables' values (apps, profiles, registry
// items, redirection rules), the registry key forms split as the loader
// splits them, and a rule index built over the rules and asked about the
// rules' own folders. Input: an SQLite database file, as the archive
// yields it.
#include <sqlite3.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "Mount/lang/utf8_decode.h"
#include "env/trace_archive.h"
#include "env/trace_rows.h"
#include "redirect/path_match.h"
#include "redirect/rule_match.h"
#include "redirect/rule_rows.h"

namespace {

std::u16string FromUtf8(const char *text)
{
    size_t len = strlen(text);
    std::vector<char16_t> out(len + 1);
    if (!DecodeUtf8Text(text, len, out.data(), out.size()))
        return std::u16string();
    return std::u16string(out.data());
}

// Single-byte code page: bytes as Latin-1.
std::u16string FromAnsi(const char *text)
{
    std::u16string s;
    for (; *text; ++text)
        s.push_back(char16_t(static_cast<unsigned char>(*text)));
    return s;
}

const char16_t *NoFolder(int32_t, void *) { return nullptr; }

int Progress(void *) { return 1; }  // a query that runs too long is stopped

// Runs one query; cells as sqlite3_get_table hands them out, or null.
char **Table(sqlite3 *db, const char *sql, int *rows, int *cols)
{
    char **cells = nullptr;
    if (sqlite3_get_table(db, sql, &cells, rows, cols, nullptr) != SQLITE_OK) {
        sqlite3_free_table(cells);
        return nullptr;
    }
    return cells;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static bool ready = [] {
        sqlite3_initialize();
        std::vector<char16_t> fold(65536);
        for (unsigned c = 0; c < 65536; ++c)
            fold[c] = char16_t(c >= 'a' && c <= 'z' ? c - 0x20 : c);
        static std::vector<char16_t> keep = fold;
        SetMatchFoldTable(keep.data());
        return true;
    }();
    (void)ready;
    // What the loader would accept from the archive.
    if (!LooksLikeSqliteFile(data, size) || size > 4 * 1024 * 1024)
        return 0;

    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(":memory:", &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        return 0;
    }
    unsigned char *copy = static_cast<unsigned char *>(sqlite3_malloc64(size));
    if (!copy) {
        sqlite3_close(db);
        return 0;
    }
    memcpy(copy, data, size);
    if (sqlite3_deserialize(db, "main", copy, size, size,
                            SQLITE_DESERIALIZE_FREEONCLOSE | SQLITE_DESERIALIZE_READONLY) != SQLITE_OK) {
        sqlite3_close(db);
        return 0;
    }
    sqlite3_progress_handler(db, 100000, Progress, nullptr);
    sqlite3_limit(db, SQLITE_LIMIT_LENGTH, 1 << 20);

    ColumnDecoders dec = {FromUtf8, FromAnsi};
    int rows = 0, cols = 0;
    if (char **cells = Table(db, kAppsQuery, &rows, &cols)) {
        std::vector<AppRow> apps;
        if (ConvertAppRows(cells, rows, cols, dec, apps))
            for (AppRow &app : apps) {
                if (app.detectKey) {
                    DetectKeyParts parts = SplitDetectKey(*app.detectKey);
                    if (parts.keyOffset > app.detectKey->size())
                        abort();
                    RegRoot root;
                    size_t offset = 0;
                    if (SplitValueKey(*app.detectKey, &root, &offset) && offset > app.detectKey->size())
                        abort();
                }
                if (app.shellName) {
                    ShellFolderCsidl(*app.shellName);
                    std::u16string value = *app.shellName;
                    FolderFromShellValue(value);
                }
            }
        sqlite3_free_table(cells);
    }
    if (char **cells = Table(db, kProfilesQuery, &rows, &cols)) {
        std::vector<ProfileRow> profiles;
        ConvertProfileRows(cells, rows, cols, dec, profiles);
        sqlite3_free_table(cells);
    }
    if (char **cells = Table(db, kRegItemsQuery, &rows, &cols)) {
        std::vector<RegItemRow> items;
        ConvertRegItemRows(cells, rows, cols, dec, items);
        for (int r = 1; r <= rows && cols > 0; ++r)
            ParseRegRootName(cells[r * cols]);
        sqlite3_free_table(cells);
    }
    if (char **cells = Table(db, kRulesQuery, &rows, &cols)) {
        std::vector<RuleRow> ruleRows;
        if (ConvertRuleRows(cells, rows, cols, FromUtf8, NoFolder, nullptr, ruleRows)) {
            // Rules on one drive, as the binding makes them.
            std::vector<MatchRule> rules;
            for (const RuleRow &row : ruleRows) {
                MatchRule m;
                m.hasDevicePath = true;
                m.devicePath = u"\\Device\\HarddiskVolume1\\" + row.path;
                m.hasName = true;
                m.name = row.name;
                m.isRecurse = row.isRecurse != 0;
                m.pathWild = row.pathWild != 0;
                m.nameWild = row.nameWild != 0;
                rules.push_back(m);
            }
            RuleIndex index;
            index.Build(rules.data(), rules.size());
            for (const MatchRule &m : rules) {
                std::u16string path = m.devicePath + u"x.txt";
                size_t folderLen = 0;
                if (SplitRequestPath(path.data(), path.size(), &folderLen) &&
                    index.Find(path.data(), folderLen, path.data() + folderLen, path.size() - folderLen) !=
                        FindRuleLinear(rules.data(), rules.size(), path.data(), folderLen,
                                       path.data() + folderLen, path.size() - folderLen))
                    abort();
            }
        }
        sqlite3_free_table(cells);
    }
    sqlite3_close(db);
    return 0;
}
