// Rule rows, rule order and the redirection decision. Every decision is made
// twice, by the linear pass over the table and by the index, and both must
// agree with the expected answer.
#include "redirect/path_match.h"
#include "redirect/rule_match.h"
#include "redirect/rule_rows.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace {

const char16_t kDevice[] = u"\\Device\\QdskVolumeX";
const char16_t kVol[] = u"\\Device\\HarddiskVolume1";

MatchRule Rule(std::u16string folder, std::u16string name, bool recurse = false)
{
    MatchRule r;
    r.hasDevicePath = true;
    r.devicePath = std::u16string(kVol) + folder;
    r.hasName = true;
    r.name = name.empty() ? u"*.*" : name;
    r.isRecurse = recurse;
    r.pathWild = r.devicePath.find_first_of(u"*?") != std::u16string::npos;
    r.nameWild = name.empty() || r.name.find_first_of(u"*?") != std::u16string::npos;
    return r;
}

// The decision by both methods; fails the test when they differ.
std::u16string Target(const std::vector<MatchRule> &rules, const std::u16string &path)
{
    RuleIndex index;
    index.Build(rules.data(), rules.size());
    char16_t linear[TARGET_UNITS], indexed[TARGET_UNITS];
    int a = DecideRedirect(nullptr, rules.data(), rules.size(), path.c_str(), kDevice, linear, nullptr, nullptr);
    int b = DecideRedirect(&index, nullptr, 0, path.c_str(), kDevice, indexed, nullptr, nullptr);
    EXPECT_EQ(a, b) << "linear and indexed disagree";
    if (!a)
        return u"";
    EXPECT_EQ(std::u16string(linear), std::u16string(indexed));
    return linear;
}

std::u16string P(const char16_t *rest)
{
    return std::u16string(kVol) + rest;
}

std::u16string T(const char16_t *rest)
{
    return std::u16string(kDevice) + rest;
}

std::u16string Narrow16(const char *s)
{
    std::u16string out;
    for (; *s; ++s)
        out.push_back(static_cast<char16_t>(static_cast<unsigned char>(*s)));
    return out;
}

struct Cells {
    std::vector<const char *> v = {"aid", "path", "name", "isRecurse", "isCopy"};
    int rows = 0;
    void Row(const char *aid, const char *path, const char *name, const char *rec = "0", const char *copy = "0")
    {
        v.insert(v.end(), {aid, path, name, rec, copy});
        ++rows;
    }
};

const char16_t *ResolvedForSeven(int32_t aid, void *)
{
    return aid == 7 ? u"C:\\Resolved\\Folder" : nullptr;
}

} // namespace

TEST(RuleRows, FlagsNamesAndResolvedFolders)
{
    Cells c;
    c.Row("3", "%APPDATA%\\App", "", "1", "0");
    c.Row("3", "%APPDATA%\\App\\", nullptr);
    c.Row("4", "C:\\Users\\*\\App", "data.ini", "0", "1");
    c.Row("5", "C:\\X", "*.log");
    c.Row("7", "C:\\Ignored", "a?.txt");
    std::vector<RuleRow> rows;
    ASSERT_TRUE(ConvertRuleRows(const_cast<char **>(c.v.data()), c.rows, 5, Narrow16, ResolvedForSeven, nullptr, rows));
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_EQ(rows[0].path, u"%APPDATA%\\App\\");  // backslash added
    EXPECT_EQ(rows[0].name, u"*.*");               // empty name
    EXPECT_EQ(rows[0].nameWild, 1);
    EXPECT_EQ(rows[0].isRecurse, 1);
    EXPECT_EQ(rows[1].path, u"%APPDATA%\\App\\");  // not doubled
    EXPECT_EQ(rows[1].name, u"*.*");               // NULL name
    EXPECT_EQ(rows[1].nameWild, 1);
    EXPECT_EQ(rows[2].pathWild, 1);
    EXPECT_EQ(rows[2].nameWild, 0);
    EXPECT_EQ(rows[2].isCopy, 1);
    EXPECT_EQ(rows[2].aid, 4);
    EXPECT_EQ(rows[3].pathWild, 0);
    EXPECT_EQ(rows[3].nameWild, 1);
    EXPECT_EQ(rows[4].path, u"C:\\Resolved\\Folder\\");  // the application's folder
    EXPECT_EQ(rows[4].nameWild, 1);
}

TEST(RuleRows, UnusableFoldersAreLeftOut)
{
    std::string longPath = "C:\\" + std::string(255, 'a');  // 258 units, 259 with "\"
    std::string tooLong = "C:\\" + std::string(256, 'a');   // 260 with "\"
    Cells c;
    c.Row("1", "", "x");
    c.Row("1", nullptr, "x");
    c.Row("1", longPath.c_str(), "x");
    c.Row("1", tooLong.c_str(), "x");
    std::vector<RuleRow> rows;
    ASSERT_TRUE(ConvertRuleRows(const_cast<char **>(c.v.data()), c.rows, 5, Narrow16, nullptr, nullptr, rows));
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].path.size(), 259u);
    EXPECT_FALSE(ConvertRuleRows(const_cast<char **>(c.v.data()), c.rows, 4, Narrow16, nullptr, nullptr, rows));
}

TEST(RuleRows, PatternsThatLeaveTheirFolderAreLeftOut)
{
    Cells c;
    c.Row("1", "%TEMP%", "..\\..\\Windows\\System32\\*.dll");
    c.Row("1", "%TEMP%", "*.tmp;sub\\..\\..\\fest.sys");
    c.Row("1", "%TEMP%", ".\\*.tmp");
    c.Row("1", "%TEMP%", "C:\\Windows\\*.*");
    c.Row("1", "%TEMP%", "x.txt:stream");
    c.Row("1", "%TEMP%", "\\Windows\\*.*");
    c.Row("1", "%TEMP%", "*.log; \\boot.ini");
    c.Row("1", "%TEMP%", "a\\\\b.txt");
    c.Row("1", "%TEMP%", "sub\\");
    c.Row("1", "%TEMP%", "a/../b");
    c.Row("2", "%TEMP%", "Cache\\*.tmp; *.log;..x;x..;.hidden");
    std::vector<RuleRow> rows;
    ASSERT_TRUE(ConvertRuleRows(const_cast<char **>(c.v.data()), c.rows, 5, Narrow16, nullptr, nullptr, rows));
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].aid, 2);
    EXPECT_TRUE(IsContainedRuleName(u"AutomaticDestinations\\*.automaticDestinations-ms"));
    EXPECT_FALSE(IsContainedRuleName(u"*.a;.."));
}

TEST(RuleOrder, AscendingWithoutAsciiCaseAndAbsentLast)
{
    std::vector<const char16_t *> paths = {u"\\Device\\V1\\b\\", nullptr, u"\\Device\\V1\\A\\",
                                           u"\\device\\v1\\a\\sub\\", u"\\Device\\V1\\_x\\",
                                           u"\\Device\\V1\\B\\"};
    std::stable_sort(paths.begin(), paths.end(), [](const char16_t *a, const char16_t *b) {
        return CompareDevicePaths(a, b) < 0;
    });
    ASSERT_EQ(paths.back(), nullptr);
    EXPECT_EQ(std::u16string(paths[0]), u"\\Device\\V1\\_x\\");       // letters fold to lower case
    EXPECT_EQ(std::u16string(paths[1]), u"\\Device\\V1\\A\\");
    EXPECT_EQ(std::u16string(paths[2]), u"\\device\\v1\\a\\sub\\");  // a folder before its sub-folders
    EXPECT_EQ(std::u16string(paths[3]), u"\\Device\\V1\\b\\");        // equal: order kept
    EXPECT_EQ(std::u16string(paths[4]), u"\\Device\\V1\\B\\");
    EXPECT_EQ(CompareDevicePaths(u"ABC", u"abc"), 0);
    EXPECT_LT(CompareDevicePaths(u"ab", u"abc"), 0);
}

TEST(MatchDecision, NonRecursiveCoversItsFolderOnly)
{
    std::vector<MatchRule> rules = {Rule(u"\\Program Files\\App\\", u"x.ini")};
    EXPECT_EQ(Target(rules, P(u"\\Program Files\\App\\x.ini")), T(u"\\Program Files\\App\\x.ini"));
    EXPECT_EQ(Target(rules, P(u"\\PROGRAM FILES\\app\\X.INI")), T(u"\\PROGRAM FILES\\app\\X.INI"));
    EXPECT_EQ(Target(rules, P(u"\\Program Files\\App\\Sub\\x.ini")), u"");
    EXPECT_EQ(Target(rules, P(u"\\Program Files\\App\\y.ini")), u"");
    EXPECT_EQ(Target(rules, P(u"\\Program Files\\x.ini")), u"");
}

TEST(MatchDecision, RecursiveCoversTheFolderAndAllBelow)
{
    std::vector<MatchRule> rules = {Rule(u"\\Users\\u\\Cache\\", u"", true)};
    EXPECT_NE(Target(rules, P(u"\\Users\\u\\Cache\\a.dat")), u"");
    EXPECT_NE(Target(rules, P(u"\\Users\\u\\Cache\\1\\2\\3\\a.dat")), u"");
    EXPECT_NE(Target(rules, P(u"\\users\\U\\cache\\deep\\README")), u"");
    EXPECT_EQ(Target(rules, P(u"\\Users\\u\\Cache2\\a.dat")), u"");
    EXPECT_EQ(Target(rules, P(u"\\Users\\u\\a.dat")), u"");
}

TEST(MatchDecision, EmptyNameCoversNamesWithoutDot)
{
    std::vector<MatchRule> rules = {Rule(u"\\Data\\", u"")};
    EXPECT_NE(Target(rules, P(u"\\Data\\README")), u"");
    EXPECT_NE(Target(rules, P(u"\\Data\\a.b.c")), u"");
    MatchRule noName = Rule(u"\\Data\\", u"x");
    noName.hasName = false;  // a rule without any name passes the name test
    EXPECT_NE(Target({noName}, P(u"\\Data\\anything")), u"");
}

TEST(MatchDecision, NameWithSubFolderPart)
{
    std::vector<MatchRule> rules = {Rule(u"\\App\\", u"Data\\*.xml")};
    EXPECT_EQ(Target(rules, P(u"\\App\\x.xml")), T(u"\\App\\x.xml"));  // candidate Data\x.xml
    EXPECT_EQ(Target(rules, P(u"\\App\\x.txt")), u"");
    EXPECT_EQ(Target(rules, P(u"\\App\\Data\\x.xml")), u"");  // folder test fails
    std::vector<MatchRule> exact = {Rule(u"\\App\\", u"Conf\\Main.INI")};
    EXPECT_NE(Target(exact, P(u"\\App\\main.ini")), u"");
    EXPECT_EQ(Target(exact, P(u"\\App\\main.ini2")), u"");
    std::vector<MatchRule> recursive = {Rule(u"\\App\\", u"Data\\*.xml", true)};
    EXPECT_NE(Target(recursive, P(u"\\App\\Data\\x.xml")), u"");
}

TEST(MatchDecision, WildcardFolders)
{
    std::vector<MatchRule> rules = {Rule(u"\\Users\\*\\Profiles\\*\\", u"places.sqlite*")};
    EXPECT_NE(Target(rules, P(u"\\Users\\bob\\Profiles\\ab.default\\places.sqlite")), u"");
    EXPECT_NE(Target(rules, P(u"\\Users\\bob\\Profiles\\ab.default\\places.sqlite-wal")), u"");
    EXPECT_EQ(Target(rules, P(u"\\Users\\bob\\Profiles\\ab.default\\cookies.sqlite")), u"");
    EXPECT_EQ(Target(rules, P(u"\\Users\\bob\\places.sqlite")), u"");
    std::vector<MatchRule> rec = {Rule(u"\\Docs\\*\\Image\\", u"", true)};
    EXPECT_NE(Target(rec, P(u"\\Docs\\12345\\Image\\Group\\a.png")), u"");
    EXPECT_EQ(Target(rec, P(u"\\Docs\\12345\\Audio\\a.amr")), u"");
}

TEST(MatchDecision, PathsThatAreNeverRedirected)
{
    std::vector<MatchRule> rules = {Rule(u"\\", u"", true)};  // the whole volume
    rules.push_back(MatchRule());
    rules.back().hasDevicePath = true;
    rules.back().devicePath = u"\\";
    rules.back().isRecurse = true;
    rules.back().hasName = false;
    EXPECT_EQ(Target(rules, P(u"\\Folder\\")), u"");       // ends in a backslash
    EXPECT_EQ(Target(rules, u""), u"");
    EXPECT_EQ(Target(rules, u"\\Device\\x"), u"");         // two backslashes only
    EXPECT_EQ(Target(rules, u"\\x"), u"");
    EXPECT_EQ(Target(rules, u"nobackslash"), u"");
    EXPECT_EQ(Target(rules, u"\\Device\\HarddiskVolume1\\f"), T(u"\\f"));
    // No device bound: nothing is redirected.
    char16_t out[TARGET_UNITS];
    std::u16string path = P(u"\\a\\b");
    EXPECT_EQ(DecideRedirect(nullptr, rules.data(), rules.size(), path.c_str(), u"", out, nullptr, nullptr), 0);
    // A rule without a device path never matches, even recursive on "".
    MatchRule none;
    none.isRecurse = true;
    none.hasName = false;
    EXPECT_EQ(Target({none}, P(u"\\a\\b")), u"");
}

TEST(MatchDecision, TargetLengthLimit)
{
    std::vector<MatchRule> rules = {Rule(u"\\", u"", true)};
    RuleIndex index;
    index.Build(rules.data(), rules.size());
    // A device name longer than the volume part, so that the target outgrows
    // the request: target = device + "\" + rest, and 511 units is the most.
    std::u16string device = u"\\Device\\" + std::u16string(60, u'D');
    auto decide = [&](const std::u16string &path, bool linear) {
        char16_t out[TARGET_UNITS + 8];
        for (char16_t &c : out)
            c = u'#';
        int r = DecideRedirect(linear ? nullptr : &index, rules.data(), rules.size(), path.c_str(),
                               device.c_str(), out, nullptr, nullptr);
        EXPECT_EQ(out[TARGET_UNITS], u'#');  // nothing written past the reply
        return r ? std::u16string(out) : std::u16string();
    };
    std::u16string fitting(511 - device.size() - 1 - 2, u'a');  // rest is "d\" + name
    std::u16string path = P(u"\\d\\") + fitting;
    ASSERT_LT(path.size(), 512u);
    for (bool linear : {true, false}) {
        std::u16string target = decide(path, linear);
        EXPECT_EQ(target.size(), 511u);
        EXPECT_EQ(target, device + u"\\d\\" + fitting);
        EXPECT_EQ(decide(path + u"b", linear), u"");  // 512 units: does not fit
    }
    // A request path not terminated within 512 units is refused outright.
    std::u16string longPath = P(u"\\d\\") + std::u16string(600, u'a');
    EXPECT_EQ(Target(rules, longPath), u"");
}

TEST(MatchDecision, LocalFolderIsTheFolderBelowTheVolumeRoot)
{
    std::vector<MatchRule> rules = {Rule(u"\\Program Files\\App\\", u"")};
    std::u16string path = P(u"\\Program Files\\App\\x.ini");
    char16_t out[TARGET_UNITS];
    size_t offset = 0, len = 0;
    ASSERT_EQ(DecideRedirect(nullptr, rules.data(), rules.size(), path.c_str(), kDevice, out, &offset, &len), 1);
    EXPECT_EQ(path.substr(offset, len), u"Program Files\\App\\");
    EXPECT_EQ(SplitRequestPath(u"\\a\\b", 4, &len), true);
    EXPECT_EQ(len, 3u);
    EXPECT_EQ(VolumeRestOffset(u"\\Device\\V\\x", 11), 10u);
    EXPECT_EQ(VolumeRestOffset(u"\\Device\\V", 9), 0u);
}

TEST(MatchDecision, FirstCoveringRuleInTableOrder)
{
    std::vector<MatchRule> rules = {Rule(u"\\A\\", u"*.txt", true), Rule(u"\\A\\B\\", u"", false),
                                    Rule(u"\\A\\B\\", u"*.log", true)};
    RuleIndex index;
    index.Build(rules.data(), rules.size());
    std::u16string d = P(u"\\A\\B\\");
    for (const char16_t *f : {u"x.txt", u"x.log", u"x.bin"}) {
        std::u16string file(f);
        int linear = FindRuleLinear(rules.data(), rules.size(), d.data(), d.size(), file.data(), file.size());
        EXPECT_EQ(index.Find(d.data(), d.size(), file.data(), file.size()), linear);
    }
    std::u16string file = u"x.log";
    EXPECT_EQ(index.Find(d.data(), d.size(), file.data(), file.size()), 1);
}

// The index must give the linear pass's answer on any table: random rules
// over a small vocabulary (so that folders share prefixes and collide) with
// every flag combination, wildcards, ";" and absent device paths.
TEST(MatchDecision, IndexAgreesWithLinearPassOnRandomTables)
{
    std::mt19937 rng(4242);
    const std::u16string parts[] = {u"A", u"b", u"Profiles", u"a", u"PROFILES", u"d;e", u"x y",
                                    u"*", u"?", u"Pro*iles"};
    const std::u16string names[] = {u"*.*", u"*.txt", u"x.TXT", u"Sub\\*.txt", u"x*;y*", u"?.log",
                                    u"readme", u" *.dat", u"Sub\\x.txt", u"*"};
    auto folder = [&](bool allowWild) {
        std::u16string f = kVol;
        f += u"\\";
        int depth = static_cast<int>(rng() % 4);
        for (int i = 0; i < depth; ++i) {
            std::u16string p = parts[rng() % (allowWild ? 10 : 7)];
            f += p + u"\\";
        }
        return f;
    };
    for (int table = 0; table < 200; ++table) {
        std::vector<MatchRule> rules;
        int count = 1 + static_cast<int>(rng() % 40);
        for (int i = 0; i < count; ++i) {
            MatchRule r;
            r.hasDevicePath = rng() % 10 != 0;
            r.devicePath = folder(true);
            if (rng() % 8 == 0)
                r.devicePath.pop_back();  // no trailing backslash
            r.pathWild = r.devicePath.find_first_of(u"*?") != std::u16string::npos || rng() % 10 == 0;
            r.isRecurse = rng() % 2;
            r.hasName = rng() % 12 != 0;
            r.name = names[rng() % 10];
            r.nameWild = r.name.find_first_of(u"*?") != std::u16string::npos;
            rules.push_back(r);
        }
        std::stable_sort(rules.begin(), rules.end(), [](const MatchRule &a, const MatchRule &b) {
            return CompareDevicePaths(a.hasDevicePath ? a.devicePath.c_str() : nullptr,
                                      b.hasDevicePath ? b.devicePath.c_str() : nullptr) < 0;
        });
        RuleIndex index;
        index.Build(rules.data(), rules.size());
        for (int q = 0; q < 300; ++q) {
            std::u16string d = folder(false);
            const char16_t *files[] = {u"x.txt", u"X.txt", u"readme", u"y1", u"a.log", u"z.dat"};
            std::u16string f = files[rng() % 6];
            int linear = FindRuleLinear(rules.data(), rules.size(), d.data(), d.size(), f.data(), f.size());
            int indexed = index.Find(d.data(), d.size(), f.data(), f.size());
            ASSERT_EQ(indexed, linear) << "table " << table << " query " << q;
        }
    }
}
