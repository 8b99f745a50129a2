// Row conversion of the trace database queries: column order, which columns
// are UTF-8 and which ANSI, NULL handling, decimal columns, registry roots,
// the forms of DetectKey, the shell folder names and the folder of a value.
#include "env/trace_rows.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <utility>
#include <vector>

namespace {

// Decoders that mark which conversion a column went through.
std::u16string FromUtf8Tagged(const char *text)
{
    std::u16string out = u"U:";
    for (const char *p = text; *p; ++p)
        out.push_back(static_cast<char16_t>(static_cast<unsigned char>(*p)));
    return out;
}

std::u16string FromAnsiTagged(const char *text)
{
    std::u16string out = u"A:";
    for (const char *p = text; *p; ++p)
        out.push_back(static_cast<char16_t>(static_cast<unsigned char>(*p)));
    return out;
}

const ColumnDecoders kTagged = {FromUtf8Tagged, FromAnsiTagged};

// A sqlite3_get_table-style result: header row then data rows.
struct Table {
    std::vector<const char *> cells;
    int rows = 0;
    int cols = 0;
    Table(std::initializer_list<const char *> header) : cells(header), cols(static_cast<int>(header.size())) {}
    void Row(std::initializer_list<const char *> values)
    {
        cells.insert(cells.end(), values);
        ++rows;
    }
    char **data() { return const_cast<char **>(cells.data()); }
};

} // namespace

TEST(TraceRows, DecimalColumnsReadLikeAtoiAndClamp)
{
    EXPECT_EQ(ParseDecimalColumn(nullptr), 0);
    EXPECT_EQ(ParseDecimalColumn("42"), 42);
    EXPECT_EQ(ParseDecimalColumn("  -7abc"), -7);
    EXPECT_EQ(ParseDecimalColumn("+12"), 12);
    EXPECT_EQ(ParseDecimalColumn("abc"), 0);
    EXPECT_EQ(ParseDecimalColumn(""), 0);
    EXPECT_EQ(ParseDecimalColumn("2147483647"), INT32_MAX);
    EXPECT_EQ(ParseDecimalColumn("99999999999999999999"), INT32_MAX);
    EXPECT_EQ(ParseDecimalColumn("-2147483648"), INT32_MIN);
    EXPECT_EQ(ParseDecimalColumn("-99999999999999999999"), INT32_MIN);
}

TEST(TraceRows, AppRowsTakeColumnsInQueryOrderWithTheirEncodings)
{
    Table t{"id", "name", "describe", "DetectKey", "ShellName", "exename", "profile"};
    t.Row({"7", "n", "d", "HKLM\\K", "Path", "a.exe", "%APPDATA%\\a.ini"});
    t.Row({"8", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr});
    std::vector<AppRow> rows;
    ASSERT_TRUE(ConvertAppRows(t.data(), t.rows, t.cols, kTagged, rows));
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].id, 7);
    EXPECT_EQ(rows[0].name, u"U:n");
    EXPECT_EQ(rows[0].describe, u"U:d");
    EXPECT_EQ(rows[0].detectKey, std::u16string(u"A:HKLM\\K"));
    EXPECT_EQ(rows[0].shellName, std::u16string(u"A:Path"));
    EXPECT_EQ(rows[0].exename, std::u16string(u"U:a.exe"));
    EXPECT_EQ(rows[0].profile, std::u16string(u"U:%APPDATA%\\a.ini"));
    // NULL: never-NULL texts become empty, optional ones absent.
    EXPECT_EQ(rows[1].name, u"");
    EXPECT_EQ(rows[1].describe, u"");
    EXPECT_FALSE(rows[1].detectKey.has_value());
    EXPECT_FALSE(rows[1].shellName.has_value());
    EXPECT_FALSE(rows[1].exename.has_value());
    EXPECT_FALSE(rows[1].profile.has_value());
    // An empty text is present, not absent.
    Table e{"id", "name", "describe", "DetectKey", "ShellName", "exename", "profile"};
    e.Row({"1", "", "", "", "", "", ""});
    ASSERT_TRUE(ConvertAppRows(e.data(), e.rows, e.cols, kTagged, rows));
    EXPECT_EQ(rows[0].detectKey, std::u16string(u"A:"));
}

TEST(TraceRows, ResultsOfTheWrongShapeAreRefused)
{
    Table t{"id", "name"};
    t.Row({"1", "x"});
    std::vector<AppRow> rows;
    EXPECT_FALSE(ConvertAppRows(t.data(), t.rows, t.cols, kTagged, rows));
    std::vector<ProfileRow> profiles;
    EXPECT_FALSE(ConvertProfileRows(t.data(), t.rows, t.cols, kTagged, profiles));
    // No rows: sqlite3_get_table reports no columns either.
    EXPECT_TRUE(ConvertAppRows(nullptr, 0, 0, kTagged, rows));
    EXPECT_TRUE(rows.empty());
    EXPECT_FALSE(ConvertAppRows(nullptr, 1, 7, kTagged, rows));
}

TEST(TraceRows, ProfileRowsMapQueryColumnsToFields)
{
    Table t{"appid", "items", "filePath", "section"};
    t.Row({"62", "path", "%USERPROFILE%\\", "left"});
    t.Row({nullptr, nullptr, nullptr, nullptr});
    std::vector<ProfileRow> rows;
    ASSERT_TRUE(ConvertProfileRows(t.data(), t.rows, t.cols, kTagged, rows));
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].appid, 62);
    EXPECT_EQ(rows[0].items, u"U:path");
    EXPECT_EQ(rows[0].filePath, u"U:%USERPROFILE%\\");
    EXPECT_EQ(rows[0].section, u"U:left");
    EXPECT_EQ(rows[1].appid, 0);
    EXPECT_EQ(rows[1].section, u"");
}

TEST(TraceRows, RegistryItemRowsRootsItemsAndIds)
{
    Table t{"key", "subkey", "item", "aid"};
    t.Row({"hkey_local_machine", "Software\\A", "Value", "3"});
    t.Row({"HKEY_USERS", "S-1\\B", nullptr, nullptr});
    t.Row({"HKEY_CLASSES_ROOT", "C", nullptr, "0"});
    t.Row({nullptr, nullptr, "", "x"});
    std::vector<RegItemRow> rows;
    ASSERT_TRUE(ConvertRegItemRows(t.data(), t.rows, t.cols, kTagged, rows));
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0].root, RegRoot::LocalMachine);
    EXPECT_EQ(rows[0].subkey, u"A:Software\\A");
    EXPECT_EQ(rows[0].item, std::u16string(u"A:Value"));
    EXPECT_EQ(rows[0].aid, 3);
    EXPECT_EQ(rows[1].root, RegRoot::Users);
    EXPECT_FALSE(rows[1].item.has_value());
    EXPECT_EQ(rows[1].aid, 0);
    EXPECT_EQ(rows[2].root, RegRoot::CurrentUser);  // any other name
    EXPECT_EQ(rows[3].root, RegRoot::CurrentUser);
    EXPECT_EQ(rows[3].subkey, u"");
    EXPECT_TRUE(rows[3].item.has_value());
    EXPECT_EQ(rows[3].aid, 0);
}

TEST(TraceRows, DetectKeyRegistryFormNeedsExactRootAndBackslash)
{
    DetectKeyParts p = SplitDetectKey(u"HKLM\\SOFTWARE\\App");
    EXPECT_TRUE(p.isRegistry);
    EXPECT_EQ(p.root, RegRoot::LocalMachine);
    EXPECT_EQ(p.keyOffset, 5u);
    p = SplitDetectKey(u"HKU\\S-1-5-18");
    EXPECT_TRUE(p.isRegistry);
    EXPECT_EQ(p.root, RegRoot::Users);
    EXPECT_EQ(SplitDetectKey(u"HKCU\\x").root, RegRoot::CurrentUser);
    // Case counts here, and a root without a backslash is a file name.
    EXPECT_FALSE(SplitDetectKey(u"hklm\\SOFTWARE\\App").isRegistry);
    EXPECT_FALSE(SplitDetectKey(u"HKCU").isRegistry);
    EXPECT_FALSE(SplitDetectKey(u"%APPDATA%\\App").isRegistry);
    EXPECT_FALSE(SplitDetectKey(u"").isRegistry);
}

TEST(TraceRows, ValueKeyRootDefaultsToCurrentUser)
{
    RegRoot root = RegRoot::Users;
    size_t offset = 0;
    ASSERT_TRUE(SplitValueKey(u"HKLM\\Software\\7-Zip", &root, &offset));
    EXPECT_EQ(root, RegRoot::LocalMachine);
    EXPECT_EQ(offset, 5u);
    ASSERT_TRUE(SplitValueKey(u"Other\\Key", &root, &offset));
    EXPECT_EQ(root, RegRoot::CurrentUser);
    EXPECT_EQ(offset, 6u);
    EXPECT_FALSE(SplitValueKey(u"HKLM", &root, &offset));
    EXPECT_FALSE(SplitValueKey(u"HKLM\\", &root, &offset));
}

TEST(TraceRows, ShellFolderNamesAreExact)
{
    EXPECT_EQ(ShellFolderCsidl(u"Cache"), 0x20);
    EXPECT_EQ(ShellFolderCsidl(u"Desktop"), 0x00);
    EXPECT_EQ(ShellFolderCsidl(u"Local AppData"), 0x1C);
    EXPECT_EQ(ShellFolderCsidl(u"AppData"), 0x1A);
    EXPECT_EQ(ShellFolderCsidl(u"My Video"), 0x0E);
    EXPECT_EQ(ShellFolderCsidl(u"PrintHood"), 0x1B);
    // Every name against the system's CSIDL numbers (CSIDL_COOKIES 0x21,
    // CSIDL_HISTORY 0x22, ...): a swap of two rows sends cleaning to the
    // wrong folder.
    const std::pair<const char16_t *, int> kSystem[] = {
        {u"Cache", 0x20},       {u"Cookies", 0x21},      {u"Desktop", 0x00},      {u"Favorites", 0x06},
        {u"History", 0x22},     {u"My Music", 0x0D},     {u"My Pictures", 0x27},  {u"My Video", 0x0E},
        {u"NetHood", 0x13},     {u"Personal", 0x05},     {u"Recent", 0x08},       {u"SendTo", 0x09},
        {u"PrintHood", 0x1B},   {u"Local AppData", 0x1C}, {u"AppData", 0x1A},
    };
    for (const auto &[name, csidl] : kSystem)
        EXPECT_EQ(ShellFolderCsidl(name), csidl) << std::string(name, name + std::char_traits<char16_t>::length(name));
    EXPECT_EQ(ShellFolderCsidl(u"cache"), -1);
    EXPECT_EQ(ShellFolderCsidl(u"Path"), -1);
    EXPECT_EQ(ShellFolderCsidl(u"default"), -1);
}

TEST(TraceRows, ValueWithADotNamesAFileAndGivesItsFolder)
{
    std::u16string v = u"C:\\Program Files\\App\\app.exe";
    ASSERT_TRUE(FolderFromShellValue(v));
    EXPECT_EQ(v, u"C:\\Program Files\\App");
    // A dot in a folder further up does not make a file: the value is the
    // folder itself, never its parent.
    v = u"C:\\Program Files\\Adobe\\Reader 11.0\\Reader\\";
    ASSERT_TRUE(FolderFromShellValue(v));
    EXPECT_EQ(v, u"C:\\Program Files\\Adobe\\Reader 11.0\\Reader\\");
    v = u"C:\\Tool 2.0\\bin";
    ASSERT_TRUE(FolderFromShellValue(v));
    EXPECT_EQ(v, u"C:\\Tool 2.0\\bin");
    // A last component with a dot that is an existing folder stays whole.
    v = u"C:\\Program Files\\Tool 2.0";
    ASSERT_TRUE(FolderFromShellValue(v, true));
    EXPECT_EQ(v, u"C:\\Program Files\\Tool 2.0");
    v = u"C:\\Program Files\\7-Zip\\";
    ASSERT_TRUE(FolderFromShellValue(v));
    EXPECT_EQ(v, u"C:\\Program Files\\7-Zip\\");
    v = u"app.exe";
    EXPECT_FALSE(FolderFromShellValue(v));
}
