#include "env/trace_rows.h"

#include <climits>

const char kAppsQuery[] =
    "select id,name,describe,DetectKey,ShellName,exename,profile from  apps order by id";
const char kProfilesQuery[] = "select appid,items,filePath,section from profiles";
const char kRegItemsQuery[] = "select key,subkey,item,aid from appregs";

int32_t ParseDecimalColumn(const char *text)
{
    if (!text)
        return 0;
    const char *p = text;
    while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r' || *p == '\f' || *p == '\v')
        ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') {
        negative = *p == '-';
        ++p;
    }
    int64_t value = 0;
    while (*p >= '0' && *p <= '9') {
        value = value * 10 + (*p - '0');
        if (value > static_cast<int64_t>(INT32_MAX) + 1)
            value = static_cast<int64_t>(INT32_MAX) + 1;  // keep clamping, no overflow
        ++p;
    }
    if (negative)
        value = -value;
    if (value > INT32_MAX)
        value = INT32_MAX;
    if (value < INT32_MIN)
        value = INT32_MIN;
    return static_cast<int32_t>(value);
}

namespace {

std::u16string Required(const char *text, ColumnDecoder decode)
{
    return text ? decode(text) : std::u16string();
}

std::optional<std::u16string> Optional(const char *text, ColumnDecoder decode)
{
    if (!text)
        return std::nullopt;
    return decode(text);
}

// A result fits a query when it has the query's columns, or no rows at all
// (sqlite3_get_table reports no columns then).
bool Shaped(char **cells, int rows, int cols, int expected)
{
    if (rows < 0)
        return false;
    if (rows == 0)
        return cols == 0 || cols == expected;
    return cells && cols == expected;
}

bool EqualsIgnoreAsciiCase(const char *a, const char *b)
{
    for (;; ++a, ++b) {
        char ca = *a, cb = *b;
        if (ca >= 'a' && ca <= 'z')
            ca = static_cast<char>(ca - 'a' + 'A');
        if (cb >= 'a' && cb <= 'z')
            cb = static_cast<char>(cb - 'a' + 'A');
        if (ca != cb)
            return false;
        if (!ca)
            return true;
    }
}

bool RootFromPrefix(const std::u16string &prefix, RegRoot *root)
{
    if (prefix == u"HKCU") {
        *root = RegRoot::CurrentUser;
        return true;
    }
    if (prefix == u"HKLM") {
        *root = RegRoot::LocalMachine;
        return true;
    }
    if (prefix == u"HKU") {
        *root = RegRoot::Users;
        return true;
    }
    return false;
}

} // namespace

bool ConvertAppRows(char **cells, int rows, int cols, const ColumnDecoders &dec,
                    std::vector<AppRow> &out)
{
    out.clear();
    if (!Shaped(cells, rows, cols, 7))
        return false;
    out.reserve(static_cast<size_t>(rows));
    for (int r = 1; r <= rows; ++r) {
        char **row = cells + static_cast<size_t>(r) * 7;
        AppRow app;
        app.id = ParseDecimalColumn(row[0]);
        app.name = Required(row[1], dec.fromUtf8);
        app.describe = Required(row[2], dec.fromUtf8);
        app.detectKey = Optional(row[3], dec.fromAnsi);
        app.shellName = Optional(row[4], dec.fromAnsi);
        app.exename = Optional(row[5], dec.fromUtf8);
        app.profile = Optional(row[6], dec.fromUtf8);
        out.push_back(std::move(app));
    }
    return true;
}

bool ConvertProfileRows(char **cells, int rows, int cols, const ColumnDecoders &dec,
                        std::vector<ProfileRow> &out)
{
    out.clear();
    if (!Shaped(cells, rows, cols, 4))
        return false;
    out.reserve(static_cast<size_t>(rows));
    for (int r = 1; r <= rows; ++r) {
        char **row = cells + static_cast<size_t>(r) * 4;
        ProfileRow p;
        p.appid = ParseDecimalColumn(row[0]);
        p.items = Required(row[1], dec.fromUtf8);
        p.filePath = Required(row[2], dec.fromUtf8);
        p.section = Required(row[3], dec.fromUtf8);
        out.push_back(std::move(p));
    }
    return true;
}

RegRoot ParseRegRootName(const char *text)
{
    if (!text)
        return RegRoot::CurrentUser;
    if (EqualsIgnoreAsciiCase(text, "HKEY_LOCAL_MACHINE"))
        return RegRoot::LocalMachine;
    if (EqualsIgnoreAsciiCase(text, "HKEY_USERS"))
        return RegRoot::Users;
    return RegRoot::CurrentUser;
}

bool ConvertRegItemRows(char **cells, int rows, int cols, const ColumnDecoders &dec,
                        std::vector<RegItemRow> &out)
{
    out.clear();
    if (!Shaped(cells, rows, cols, 4))
        return false;
    out.reserve(static_cast<size_t>(rows));
    for (int r = 1; r <= rows; ++r) {
        char **row = cells + static_cast<size_t>(r) * 4;
        RegItemRow item;
        item.root = ParseRegRootName(row[0]);
        item.subkey = Required(row[1], dec.fromAnsi);
        item.item = Optional(row[2], dec.fromAnsi);
        item.aid = ParseDecimalColumn(row[3]);
        out.push_back(std::move(item));
    }
    return true;
}

DetectKeyParts SplitDetectKey(const std::u16string &key)
{
    DetectKeyParts parts;
    size_t slash = key.find(u'\\');
    if (slash == std::u16string::npos)
        return parts;
    if (RootFromPrefix(key.substr(0, slash), &parts.root)) {
        parts.isRegistry = true;
        parts.keyOffset = slash + 1;
    }
    return parts;
}

bool SplitValueKey(const std::u16string &key, RegRoot *root, size_t *keyOffset)
{
    size_t slash = key.find(u'\\');
    if (slash == std::u16string::npos || slash + 1 >= key.size())
        return false;
    if (!RootFromPrefix(key.substr(0, slash), root))
        *root = RegRoot::CurrentUser;
    *keyOffset = slash + 1;
    return true;
}

int ShellFolderCsidl(const std::u16string &name)
{
    static const struct {
        const char16_t *name;
        int csidl;
    } kFolders[] = {
        {u"Cache", 0x20},       {u"Cookies", 0x21},      {u"Desktop", 0x00},
        {u"Favorites", 0x06},   {u"History", 0x22},      {u"My Music", 0x0D},
        {u"My Pictures", 0x27}, {u"My Video", 0x0E},     {u"NetHood", 0x13},
        {u"Personal", 0x05},    {u"Recent", 0x08},       {u"SendTo", 0x09},
        {u"PrintHood", 0x1B},   {u"Local AppData", 0x1C}, {u"AppData", 0x1A},
    };
    for (const auto &f : kFolders)
        if (name == f.name)
            return f.csidl;
    return -1;
}

bool FolderFromShellValue(std::u16string &text, bool existingFolder)
{
    // Only a dot in the last component can make it a file name: a dot
    // further up ("C:\\Tool 2.0\\bin") is part of a folder name, and cutting
    // there would hand the parent folder on. A value that names a folder
    // which exists is a folder whatever its name.
    size_t slash = text.rfind(u'\\');
    size_t last = slash == std::u16string::npos ? 0 : slash + 1;
    if (existingFolder || text.find(u'.', last) == std::u16string::npos)
        return true;
    if (slash == std::u16string::npos)
        return false;
    text.resize(slash);
    return true;
}
