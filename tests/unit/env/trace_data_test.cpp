// The shipped trace database source (data/trace.sql): it must build, and its
// rows must be usable as the program reads them. Mistakes here would detect
// nothing, redirect program files, end the shell at logoff, or leave rows
// that the loader drops.
#include "env/trace_rows.h"
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

} // namespace

TEST_F(TraceData, EnoughApplicationsEachDetectableAndNamed)
{
    auto apps = Query("select id,name,describe,DetectKey,ShellName,exename,profile from apps");
    EXPECT_GE(apps.size(), 40u);
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
    for (const char *exe : {"iexplore.exe", "msedge.exe", "firefox.exe", "chrome.exe", "opera.exe",
                            "wmplayer.exe", "winword.exe", "excel.exe", "powerpnt.exe", "wps.exe",
                            "acrord32.exe", "winrar.exe", "7zfm.exe", "qq.exe", "wechat.exe",
                            "foxmail.exe", "msimn.exe", "winmail.exe", "thunder.exe"})
        EXPECT_TRUE(exes.count(exe)) << exe;

    std::vector<std::string> subkeys;
    for (const Row &r : Query("select subkey from appregs"))
        subkeys.push_back(r[0]);
    for (const char *tail : {"\\RecentDocs", "\\RunMRU", "\\TypedPaths", "\\WordWheelQuery",
                             "\\ComDlg32\\OpenSavePidlMRU", "\\ComDlg32\\OpenSaveMRU"})
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
