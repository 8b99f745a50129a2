// The shipped trace database source (data/trace.sql): it must build, and its
// rows must be usable as the program reads them. Mistakes here would detect
// nothing, redirect program files, end the shell at logoff, or leave rows
// that the loader drops.
#include "env/trace_rows.h"
#include "redirect/path_match.h"
#include "redirect/rule_rows.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <fstream>
#include <map>
#include <set>
#include <sqlite3.h>
#include <sstream>
#include <string>
#include <vector>

namespace {

typedef std::vector<std::string> Row;  // NULL read as "\x01NULL"
const std::string kNull = "\x01NULL";

class TraceData : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        std::ifstream in(std::string(VG_TEST_DATA) + "/../../../data/trace.sql");
        std::stringstream sql;
        sql << in.rdbuf();
        ASSERT_FALSE(sql.str().empty());
        ASSERT_EQ(sqlite3_open(":memory:", &db_), SQLITE_OK);
        char *error = nullptr;
        int rc = sqlite3_exec(db_, sql.str().c_str(), nullptr, nullptr, &error);
        ASSERT_EQ(rc, SQLITE_OK) << (error ? error : "");
    }
    static void TearDownTestSuite()
    {
        sqlite3_close(db_);
        db_ = nullptr;
    }

    static std::vector<Row> Query(const char *sql)
    {
        std::vector<Row> rows;
        sqlite3_stmt *st = nullptr;
        EXPECT_EQ(sqlite3_prepare_v2(db_, sql, -1, &st, nullptr), SQLITE_OK) << sql;
        while (st && sqlite3_step(st) == SQLITE_ROW) {
            Row r;
            for (int i = 0; i < sqlite3_column_count(st); ++i) {
                const unsigned char *t = sqlite3_column_text(st, i);
                r.push_back(t ? reinterpret_cast<const char *>(t) : kNull);
            }
            rows.push_back(r);
        }
        sqlite3_finalize(st);
        return rows;
    }

    static bool IsRegistryForm(const std::string &s)
    {
        return s.rfind("HKCU\\", 0) == 0 || s.rfind("HKLM\\", 0) == 0 || s.rfind("HKU\\", 0) == 0;
    }

    static std::string Lower(std::string s)
    {
        for (char &c : s)
            c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
        return s;
    }

    static sqlite3 *db_;
};

sqlite3 *TraceData::db_ = nullptr;

std::u16string Widen(const char *text)
{
    std::u16string out;
    for (; *text; ++text)
        out.push_back(static_cast<char16_t>(static_cast<unsigned char>(*text)));
    return out;
}

// The masks of a rule's name, as the pattern match splits them.
std::vector<std::string> Masks(const std::string &name)
{
    std::vector<std::string> masks;
    size_t start = 0;
    for (;;) {
        size_t end = name.find(';', start);
        std::string mask = name.substr(start, end == std::string::npos ? std::string::npos : end - start);
        size_t lead = mask.find_first_not_of(' ');
        masks.push_back(lead == std::string::npos ? std::string() : mask.substr(lead));
        if (end == std::string::npos)
            return masks;
        start = end + 1;
    }
}

bool NameMatches(const std::string &name, const std::string &file)
{
    if (name == kNull || name.empty())
        return true;
    return PathMatchSpec16(Widen(file.c_str()).c_str(), Widen(name.c_str()).c_str());
}

bool EndsWith(const std::string &s, const std::string &tail)
{
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), std::string::npos, tail) == 0;
}

// A rule that takes a whole folder (every file in it) rather than named files.
bool TakesWholeFolder(const std::string &name)
{
    if (name == kNull || name.empty())
        return true;
    for (const std::string &m : Masks(name))
        if (m == "*" || m == "*.*" || m.empty())
            return true;
    return false;
}

} // namespace

TEST_F(TraceData, EnoughApplicationsEachDetectableAndNamed)
{
    auto apps = Query("select id,name,describe,DetectKey,ShellName,exename,profile from apps");
    EXPECT_GE(apps.size(), 100u);
    for (const Row &a : apps) {
        EXPECT_NE(a[1], kNull);
        EXPECT_FALSE(a[1].empty()) << a[0];
        EXPECT_FALSE(a[2].empty()) << a[0];
        // Without a DetectKey an application is never shown or switched.
        ASSERT_NE(a[3], kNull) << a[1];
        EXPECT_TRUE(IsRegistryForm(a[3]) || a[3][0] == '%') << a[1] << ": " << a[3];
        // A ShellName is a shell folder, or a value under a registry DetectKey.
        if (a[4] != kNull) {
            std::u16string shell = Widen(a[4].c_str());
            EXPECT_TRUE(ShellFolderCsidl(shell) >= 0 || IsRegistryForm(a[3])) << a[1];
        }
    }
}

TEST_F(TraceData, AnsiColumnsAreAscii)
{
    for (const char *sql : {"select DetectKey from apps", "select ShellName from apps",
                            "select subkey from appregs", "select item from appregs"})
        for (const Row &r : Query(sql))
            for (unsigned char c : r[0])
                EXPECT_LT(c, 0x80) << sql << ": " << r[0];
}

TEST_F(TraceData, EveryRowBelongsToAnApplication)
{
    std::set<std::string> ids;
    std::map<std::string, std::string> profileOf;
    for (const Row &a : Query("select id,profile from apps")) {
        ids.insert(a[0]);
        profileOf[a[0]] = a[1];
    }
    for (const Row &r : Query("select key,aid from appregs")) {
        EXPECT_TRUE(r[0] == "HKEY_CURRENT_USER" || r[0] == "HKEY_LOCAL_MACHINE" || r[0] == "HKEY_USERS") << r[0];
        EXPECT_TRUE(ids.count(r[1])) << "appregs aid " << r[1];
    }
    for (const Row &r : Query("select aid from apppaths"))
        EXPECT_TRUE(ids.count(r[0])) << "apppaths aid " << r[0];
    for (const Row &r : Query("select appid from profiles")) {
        ASSERT_TRUE(ids.count(r[0])) << "profiles appid " << r[0];
        EXPECT_NE(profileOf[r[0]], kNull) << "profile entries without a settings file: " << r[0];
    }
}

TEST_F(TraceData, RulesAreWellFormed)
{
    std::map<std::string, std::set<std::string>> pathsOfShellApp;
    std::set<std::string> shellApps;
    for (const Row &a : Query("select id from apps where ShellName is not null"))
        shellApps.insert(a[0]);
    for (const Row &r : Query("select aid,path,name,isRecurse,isCopy from apppaths")) {
        const std::string &path = r[1], &name = r[2];
        EXPECT_EQ(path[0], '%') << path;          // no fixed drive letters
        EXPECT_EQ(path.back(), '\\') << path;
        EXPECT_TRUE(r[3] == "0" || r[3] == "1");
        EXPECT_TRUE(r[4] == "0" || r[4] == "1");
        bool wild = name != kNull && name.find_first_of("*?") != std::string::npos;
        // A list of names only works as a pattern.
        if (name != kNull && name.find(';') != std::string::npos) {
            EXPECT_TRUE(wild) << name;
        }
        // "Sub\*" would cover every file of every folder that passes.
        if (name != kNull && name.find('\\') != std::string::npos) {
            std::string file = name.substr(name.rfind('\\') + 1);
            EXPECT_TRUE(file != "*" && file != "*.*" && !file.empty()) << name;
        }
        // A copy needs one plain file in a plain folder.
        if (r[4] == "1") {
            EXPECT_FALSE(wild) << name;
            EXPECT_NE(name, kNull);
            EXPECT_EQ(path.find_first_of("*?"), std::string::npos) << path;
        }
        if (shellApps.count(r[0]))
            pathsOfShellApp[r[0]].insert(path);
    }
    // Rules of an application with a ShellName all take its folder: they
    // must have been meant for one folder.
    for (const auto &p : pathsOfShellApp)
        EXPECT_EQ(p.second.size(), 1u) << "application " << p.first;
}

TEST_F(TraceData, NoApplicationEndsAWindowsProcess)
{
    // The logoff and quit commands end every process whose path contains an
    // application's exename.
    const char *system[] = {"c:\\windows\\explorer.exe", "c:\\windows\\system32\\svchost.exe",
                            "c:\\windows\\system32\\winlogon.exe", "c:\\windows\\system32\\csrss.exe",
                            "c:\\windows\\system32\\lsass.exe", "c:\\windows\\system32\\services.exe",
                            "c:\\windows\\system32\\dwm.exe", "c:\\windows\\system32\\rundll32.exe",
                            "c:\\windows\\system32\\conhost.exe", "c:\\windows\\system32\\taskhost.exe"};
    for (const Row &a : Query("select exename from apps where exename is not null")) {
        std::string exe = Lower(a[0]);
        EXPECT_GE(exe.size(), 5u) << exe;
        for (const char *s : system)
            EXPECT_EQ(std::string(s).find(exe), std::string::npos) << exe;
    }
}

TEST_F(TraceData, TheExpectedApplicationsAndListsAreThere)
{
    std::set<std::string> exes;
    for (const Row &a : Query("select exename from apps where exename is not null"))
        exes.insert(Lower(a[0]));
    for (const char *exe : {"iexplore.exe", "msedge.exe", "microsoftedge.exe", "firefox.exe", "chrome.exe",
                            "opera.exe", "360se.exe", "qqbrowser.exe", "sogouexplorer.exe",
                            "wmplayer.exe", "winword.exe", "excel.exe", "powerpnt.exe", "msaccess.exe",
                            "wps.exe", "acrord32.exe", "winrar.exe", "7zfm.exe", "qq.exe", "wechat.exe",
                            "foxmail.exe", "msimn.exe", "winmail.exe", "thunder.exe", "mstsc.exe",
                            "teamviewer.exe"})
        EXPECT_TRUE(exes.count(exe)) << exe;

    std::vector<std::string> subkeys;
    for (const Row &r : Query("select subkey from appregs"))
        subkeys.push_back(r[0]);
    for (const char *tail : {"\\RecentDocs", "\\RunMRU", "\\TypedPaths", "\\WordWheelQuery",
                             "\\ComDlg32\\OpenSavePidlMRU", "\\ComDlg32\\OpenSaveMRU", "\\Shell\\BagMRU",
                             "\\UserAssist", "\\11.0\\Excel\\Recent Files", "\\16.0\\Word\\File MRU"})
        EXPECT_TRUE(std::any_of(subkeys.begin(), subkeys.end(), [&](const std::string &s) {
            return s.size() >= strlen(tail) && s.compare(s.size() - strlen(tail), std::string::npos, tail) == 0;
        })) << tail;

    auto bin = Query("select id from apps where name = '回收站'");
    EXPECT_EQ(bin.size(), 1u);
}

TEST_F(TraceData, LoaderKeepsEveryRow)
{
    const ColumnDecoders dec = {Widen, Widen};
    char **cells = nullptr;
    int rows = 0, cols = 0;
    ASSERT_EQ(sqlite3_get_table(db_, kAppsQuery, &cells, &rows, &cols, nullptr), SQLITE_OK);
    std::vector<AppRow> apps;
    EXPECT_TRUE(ConvertAppRows(cells, rows, cols, dec, apps));
    EXPECT_EQ(apps.size(), static_cast<size_t>(rows));
    for (size_t i = 1; i < apps.size(); ++i)
        EXPECT_LT(apps[i - 1].id, apps[i].id);  // "order by id"
    sqlite3_free_table(cells);

    ASSERT_EQ(sqlite3_get_table(db_, kRulesQuery, &cells, &rows, &cols, nullptr), SQLITE_OK);
    std::vector<RuleRow> rules;
    EXPECT_TRUE(ConvertRuleRows(cells, rows, cols, Widen, nullptr, nullptr, rules));
    EXPECT_EQ(rules.size(), static_cast<size_t>(rows));
    sqlite3_free_table(cells);

    for (const char *q : {kProfilesQuery, kRegItemsQuery}) {
        ASSERT_EQ(sqlite3_get_table(db_, q, &cells, &rows, &cols, nullptr), SQLITE_OK) << q;
        EXPECT_GT(rows, 0);
        sqlite3_free_table(cells);
    }
}

TEST_F(TraceData, EveryApplicationHasTracesAndNoRowIsListedTwice)
{
    // Each application but the recycle bin (emptied through the shell) has
    // something to switch or to clean.
    std::set<std::string> withTraces;
    for (const char *sql : {"select aid from apppaths", "select aid from appregs", "select appid from profiles"})
        for (const Row &r : Query(sql))
            withTraces.insert(r[0]);
    std::set<std::string> names;
    for (const Row &a : Query("select id,name from apps")) {
        EXPECT_TRUE(names.insert(a[1]).second) << "two applications named " << a[1];
        if (a[1] != "回收站") {
            EXPECT_TRUE(withTraces.count(a[0])) << "nothing listed for " << a[1];
        }
    }
    EXPECT_GE(Query("select aid from apppaths").size(), 150u);
    EXPECT_GE(Query("select aid from appregs").size(), 120u);

    // A registry item listed twice, or inside a key that is listed whole,
    // would be swapped twice by a switch, which puts it back where it was.
    std::vector<Row> regs = Query("select key,subkey,item,aid from appregs");
    for (size_t i = 0; i < regs.size(); ++i)
        for (size_t j = 0; j < regs.size(); ++j) {
            if (i == j || ParseRegRootName(regs[i][0].c_str()) != ParseRegRootName(regs[j][0].c_str()))
                continue;
            std::string a = Lower(regs[i][1]), b = Lower(regs[j][1]);
            if (a == b && regs[i][2] != kNull && regs[j][2] != kNull) {
                EXPECT_NE(Lower(regs[i][2]), Lower(regs[j][2])) << "listed twice: " << a << " " << regs[i][2];
                continue;
            }
            bool inside = b == a || (b.size() > a.size() && b.compare(0, a.size(), a) == 0 && b[a.size()] == '\\');
            if (regs[i][2] == kNull && inside)
                ADD_FAILURE() << regs[j][1] << " (" << regs[j][2] << ", application " << regs[j][3]
                              << ") lies inside the whole key " << regs[i][1] << " (application " << regs[i][3] << ")";
        }

    // The same folder and names twice would be counted and cleaned twice.
    std::set<std::string> rules;
    for (const Row &r : Query("select path,name from apppaths"))
        EXPECT_TRUE(rules.insert(Lower(r[0]) + "|" + Lower(r[1])).second) << "rule listed twice: " << r[0] << " " << r[1];
}

TEST_F(TraceData, RegistryPathsAreWellFormed)
{
    auto wellFormed = [](const std::string &path) {
        if (path.empty() || path.front() == '\\' || path.back() == '\\' || path.find("\\\\") != std::string::npos)
            return false;
        if (path.rfind("HKEY_", 0) == 0 || path.rfind("HKCU\\", 0) == 0 || path.rfind("HKLM\\", 0) == 0)
            return false;  // the root belongs in its own column
        for (unsigned char c : path)
            if (c < 0x20 || c >= 0x80)
                return false;
        return true;
    };
    for (const Row &r : Query("select subkey,item from appregs")) {
        EXPECT_TRUE(wellFormed(r[0])) << r[0];
        if (r[1] != kNull) {
            EXPECT_FALSE(r[1].empty()) << r[0] << ": an empty value name is written as NULL";
        }
    }
    for (const Row &a : Query("select name,DetectKey from apps")) {
        if (!IsRegistryForm(a[1]))
            continue;
        DetectKeyParts parts = SplitDetectKey(Widen(a[1].c_str()));
        ASSERT_TRUE(parts.isRegistry) << a[1];
        EXPECT_TRUE(wellFormed(a[1].substr(parts.keyOffset))) << a[0] << ": " << a[1];
    }
}

TEST_F(TraceData, DatabasesMoveWithTheirCompanionFiles)
{
    // A redirected database whose journal, write-ahead log or shared-memory
    // file stays on the real disk is split across two disks: whatever the
    // rules name as an SQLite database must take its companions along in
    // the same folder. ESE stores keep logs and checkpoints under other
    // names, so a rule must take their whole folder rather than the store.
    const char *sqliteNames[] = {"history", "archived history", "cookies", "extension cookies", "login data",
                                 "web data", "favicons", "top sites", "shortcuts", "network action predictor",
                                 "reporting and nel", "dips"};
    std::vector<Row> rules = Query("select aid,path,name from apppaths");
    int checked = 0;
    for (const Row &r : rules) {
        if (r[2] == kNull)
            continue;
        for (const std::string &mask : Masks(r[2])) {
            if (mask.find('\\') != std::string::npos)
                continue;
            std::string base = mask;
            if (!base.empty() && base.back() == '*')
                base.pop_back();
            for (char &c : base)
                if (c == '*' || c == '?')
                    c = 'x';
            std::string lower = Lower(base);
            EXPECT_FALSE(EndsWith(lower, ".edb") || lower.rfind("webcachev", 0) == 0 ||
                         EndsWith(lower, ".msmessagestore"))
                << r[1] << " " << mask << ": an ESE store without its logs";
            bool sqlite = EndsWith(lower, ".db") || EndsWith(lower, ".sqlite") || EndsWith(lower, ".sqlite3") ||
                          EndsWith(lower, ".vscdb") ||
                          std::find(std::begin(sqliteNames), std::end(sqliteNames), lower) != std::end(sqliteNames);
            if (!sqlite)
                continue;
            ++checked;
            for (const char *suffix : {"-journal", "-wal", "-shm"}) {
                bool covered = std::any_of(rules.begin(), rules.end(), [&](const Row &o) {
                    return o[0] == r[0] && Lower(o[1]) == Lower(r[1]) && NameMatches(o[2], base + suffix);
                });
                EXPECT_TRUE(covered) << r[1] << base << suffix << " stays behind (application " << r[0] << ")";
            }
        }
    }
    EXPECT_GE(checked, 50);
}

TEST_F(TraceData, NoRuleTakesAProgramOrDocumentsFolderWhole)
{
    // Rules redirect every access and clean every file they cover: a whole
    // program folder would move the program itself, a whole documents or
    // profile folder the user's own files. Those folders are only ever named
    // together with file names.
    const char *roots[] = {"%personal%\\", "%userprofile%\\", "%userprofile%\\documents\\",
                           "%userprofile%\\my documents\\", "%userprofile%\\desktop\\", "%appdata%\\",
                           "%localappdata%\\", "%userprofile%\\appdata\\locallow\\",
                           "%userprofile%\\local settings\\application data\\", "%systemroot%\\"};
    const char *programs[] = {"%programfiles", "%commonprogramfiles", "%systemroot%\\system32", "%windir%"};
    std::map<std::string, std::string> shellOf;
    for (const Row &a : Query("select id,ShellName from apps"))
        shellOf[a[0]] = a[1];
    for (const Row &r : Query("select aid,path,name from apppaths")) {
        std::string path = Lower(r[1]);
        bool sensitive = std::find(std::begin(roots), std::end(roots), path) != std::end(roots);
        for (const char *p : programs)
            sensitive = sensitive || path.rfind(p, 0) == 0;
        // Folders found through a ShellName: an install folder read from the
        // registry, or one of the user's own shell folders.
        const std::string &shell = shellOf[r[0]];
        if (shell != kNull) {
            int csidl = ShellFolderCsidl(Widen(shell.c_str()));
            bool cacheLike = csidl == 0x20 || csidl == 0x21 || csidl == 0x22 || csidl == 0x08;
            sensitive = sensitive || !cacheLike;
        }
        EXPECT_FALSE(sensitive && TakesWholeFolder(r[2])) << r[1] << " taken whole (application " << r[0] << ")";
    }
}

// ------------------------------------------------------------------------
// Chat histories and mailboxes, and the applications of a Chinese desktop.

TEST_F(TraceData, ChatAndMailStoresWarnInTheCleanDialogsWords)
{
    // The clean dialog's button, as the Chinese language file names it.
    std::ifstream in(std::string(VG_TEST_DATA) + "/../../../Mount/lang/language.xml");
    std::stringstream xml;
    xml << in.rdbuf();
    const std::string key = "lang=\"zh-cn\" key=\"ID_CLEAN\">";
    size_t at = xml.str().find(key);
    ASSERT_NE(at, std::string::npos);
    at += key.size();
    std::string button = xml.str().substr(at, xml.str().find('(', at) - at);
    ASSERT_FALSE(button.empty());
    const std::string warning = "按\u201c" + button + "\u201d会将其永久删除";

    // Whatever cleans a chat history or a mailbox says so before it is ticked.
    const std::set<std::string> stores = {"qq.exe",     "wechat.exe",  "weixin.exe", "wxwork.exe",
                                          "skype.exe",  "telegram.exe", "pidgin.exe", "msimn.exe",
                                          "winmail.exe", "wlmail.exe",  "foxmail.exe"};
    std::multiset<std::string> warned;
    for (const Row &a : Query("select exename,describe from apps where exename is not null"))
        if (stores.count(Lower(a[0]))) {
            warned.insert(Lower(a[0]));
            EXPECT_NE(a[1].find(warning), std::string::npos) << a[0] << ": " << a[1];
        }
    for (const std::string &exe : stores)
        EXPECT_GE(warned.count(exe), 1u) << exe;
    EXPECT_GE(warned.count("qq.exe"), 2u);  // QQ and QQNT

    // The daily programs of a Chinese desktop are detected by their own key
    // or folder, and WinRAR's dialog histories and WPS's lists are switched.
    std::set<std::string> detect;
    for (const Row &a : Query("select DetectKey from apps"))
        detect.insert(a[0]);
    for (const char *k : {"HKCU\\Software\\Tencent\\WXWork", "HKCU\\Software\\SogouInput", "HKCU\\Software\\360Safe",
                          "HKCU\\Software\\Foxit Software", "%USERPROFILE%\\Documents\\xwechat_files",
                          "%USERPROFILE%\\Documents\\Tencent Files", "%LOCALAPPDATA%\\Maxthon\\User Data",
                          "%LOCALAPPDATA%\\UC\\User Data", "%LOCALAPPDATA%\\CentBrowser\\User Data",
                          "HKCU\\Software\\Code Sector\\TeraCopy", "%LOCALAPPDATA%\\Softdeluxe\\Free Download Manager"})
        EXPECT_TRUE(detect.count(k)) << k;
    std::set<std::string> subkeys;
    for (const Row &r : Query("select subkey from appregs"))
        subkeys.insert(r[0]);
    for (const char *k : {"Software\\WinRAR\\ArcHistory", "Software\\WinRAR\\DialogEditHistory\\ExtrPath",
                          "Software\\WinRAR\\DialogEditHistory\\ArcName", "Software\\Kingsoft\\Office\\6.0\\wps\\RecentFiles",
                          "Software\\Microsoft\\Internet Explorer\\TypedURLsTime"})
        EXPECT_TRUE(subkeys.count(k)) << k;
}

// The loader drops a rule whose pattern could reach outside its folder; no
// shipped rule may be one of them.
TEST_F(TraceData, EveryRulePatternStaysInItsFolder)
{
    for (const Row &r : Query("select aid,path,name from apppaths")) {
        if (r[2] == kNull)
            continue;
        EXPECT_TRUE(IsContainedRuleName(Widen(r[2].c_str()))) << r[1] << " " << r[2] << " (application " << r[0] << ")";
    }
}
