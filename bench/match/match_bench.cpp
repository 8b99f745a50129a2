// Speed of the redirection decision: every file access that the minifilter
// intercepts waits for it. Measures the decision alone (no folder creation)
// for the shipped rule table and for 1,000 and 10,000 synthetic rules over
// a corpus of realistic NT paths, the indexed lookup side by side with the
// plain linear pass over the sorted table. The two must give identical
// answers on the whole corpus; the program fails otherwise.
//
// Last lines: match_speedup_vs_linear_1000 <x>, match_ns_per_path_1000 <n>.
#include "redirect/path_match.h"
#include "redirect/rule_match.h"
#include "redirect/rule_rows.h"

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

const std::u16string kVolume = u"\\Device\\HarddiskVolume1";
const char16_t kDevice[] = u"\\Device\\QdskVolumeX";

std::u16string Widen(const char *s)
{
    // The shipped table's texts that matter here are ASCII; others keep
    // their bytes as units, which changes no decision in this comparison.
    std::u16string out;
    for (; *s; ++s)
        out.push_back(static_cast<char16_t>(static_cast<unsigned char>(*s)));
    return out;
}

std::u16string ReplaceAll(std::u16string s, const std::u16string &from, const std::u16string &to)
{
    for (size_t pos = 0; (pos = s.find(from, pos)) != std::u16string::npos; pos += to.size())
        s.replace(pos, from.size(), to);
    return s;
}

// Expansion as on a Windows 7 machine of user "li.wei" on C: (the device
// form of C: is kVolume).
std::u16string ExpandLikeWindows(const std::u16string &path)
{
    std::u16string s = path;
    s = ReplaceAll(s, u"%LOCALAPPDATA%", u"C:\\Users\\li.wei\\AppData\\Local");
    s = ReplaceAll(s, u"%APPDATA%", u"C:\\Users\\li.wei\\AppData\\Roaming");
    s = ReplaceAll(s, u"%USERPROFILE%", u"C:\\Users\\li.wei");
    s = ReplaceAll(s, u"%Personal%", u"C:\\Users\\li.wei\\Documents");
    s = ReplaceAll(s, u"%TEMP%", u"C:\\Users\\li.wei\\AppData\\Local\\Temp");
    s = ReplaceAll(s, u"%SystemRoot%", u"C:\\Windows");
    s = ReplaceAll(s, u"%ProgramFiles%", u"C:\\Program Files");
    return s;
}

MatchRule FromRow(const RuleRow &row)
{
    MatchRule r;
    std::u16string expanded = ExpandLikeWindows(row.path);
    r.hasDevicePath = expanded.size() > 2 && expanded[1] == u':';
    if (r.hasDevicePath)
        r.devicePath = kVolume + expanded.substr(2);
    r.hasName = true;
    r.name = row.name;
    r.isRecurse = row.isRecurse != 0;
    r.pathWild = row.pathWild != 0;
    r.nameWild = row.nameWild != 0;
    return r;
}

void SortRules(std::vector<MatchRule> &rules)
{
    std::stable_sort(rules.begin(), rules.end(), [](const MatchRule &a, const MatchRule &b) {
        return CompareDevicePaths(a.hasDevicePath ? a.devicePath.c_str() : nullptr,
                                  b.hasDevicePath ? b.devicePath.c_str() : nullptr) < 0;
    });
}

bool ShippedRules(std::vector<MatchRule> &rules)
{
    std::ifstream in(std::string(VG_DATA_DIR) + "/trace.sql");
    std::stringstream sql;
    sql << in.rdbuf();
    sqlite3 *db = nullptr;
    if (sqlite3_open(":memory:", &db) != SQLITE_OK ||
        sqlite3_exec(db, sql.str().c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        return false;
    }
    char **cells = nullptr;
    int rows = 0, cols = 0;
    bool ok = sqlite3_get_table(db, kRulesQuery, &cells, &rows, &cols, nullptr) == SQLITE_OK;
    std::vector<RuleRow> list;
    ok = ok && ConvertRuleRows(cells, rows, cols, Widen, nullptr, nullptr, list);
    sqlite3_free_table(cells);
    sqlite3_close(db);
    for (const RuleRow &row : list)
        rules.push_back(FromRow(row));
    SortRules(rules);
    return ok && !rules.empty();
}

const char16_t *kVendors[] = {u"Tencent", u"Kingsoft", u"Adobe", u"Mozilla", u"Google", u"Microsoft",
                              u"Baidu", u"Netease", u"Thunder Network", u"VideoLAN", u"Qihoo", u"Sogou"};
const char16_t *kFiles[] = {u"History", u"config.ini", u"cache_001.dat", u"index.db", u"session.xml",
                            u"Cookies", u"thumbs.db", u"log.txt", u"main.db-journal", u"data.json",
                            u"\x804A\x5929\x8BB0\x5F55.db", u"Preferences", u"a.tmp", u"settings.dat"};

// Rules of many applications in the folders such rules name: profile
// folders, install folders, document sub-folders.
std::vector<MatchRule> SyntheticRules(size_t count, std::mt19937 &rng)
{
    std::vector<MatchRule> rules;
    const char16_t *bases[] = {u"\\Users\\li.wei\\AppData\\Roaming\\", u"\\Users\\li.wei\\AppData\\Local\\",
                               u"\\Program Files\\", u"\\Program Files (x86)\\", u"\\Users\\li.wei\\Documents\\",
                               u"\\ProgramData\\"};
    for (size_t i = 0; i < count; ++i) {
        MatchRule r;
        r.hasDevicePath = true;
        std::u16string folder = kVolume + bases[rng() % 6] + kVendors[rng() % 12] + u"\\App" +
                                Widen(std::to_string(i / 3).c_str()) + u"\\";
        if (rng() % 3 == 0)
            folder += u"Data\\";
        unsigned kind = rng() % 20;
        r.hasName = true;
        if (kind < 10) {  // one named file
            r.name = kFiles[rng() % 14];
        } else if (kind < 14) {  // the whole folder and below
            r.name = u"*.*";
            r.isRecurse = true;
        } else if (kind < 17) {  // a list of patterns
            r.name = u"*.db;*.dat;History*";
        } else if (kind < 18) {  // a name with a sub-folder part
            r.name = u"Backup\\*.bak";
            r.isRecurse = true;
        } else if (kind < 19) {  // wildcard folder
            folder = kVolume + u"\\Users\\*\\AppData\\Roaming\\" + kVendors[rng() % 12] + u"\\Profile" +
                     Widen(std::to_string(i).c_str()) + u"\\*\\";
            r.pathWild = true;
            r.name = u"*.sqlite";
        } else {
            r.name = u"*.log";
        }
        r.nameWild = r.name.find_first_of(u"*?") != std::u16string::npos;
        r.devicePath = folder;
        rules.push_back(r);
    }
    SortRules(rules);
    return rules;
}

// Requests as the minifilter sends them: mostly system and program files
// that no rule covers, some under the rules' folders, some deep below them.
std::vector<std::u16string> Corpus(const std::vector<MatchRule> &rules, size_t count, std::mt19937 &rng)
{
    const char16_t *system[] = {u"\\Windows\\System32\\", u"\\Windows\\System32\\drivers\\",
                                u"\\Windows\\SysWOW64\\", u"\\Windows\\WinSxS\\x86_microsoft.windows.common-controls\\",
                                u"\\Program Files\\Common Files\\microsoft shared\\",
                                u"\\Users\\li.wei\\AppData\\Local\\Temp\\", u"\\Users\\li.wei\\Desktop\\",
                                u"\\Windows\\Fonts\\", u"\\ProgramData\\Microsoft\\Windows\\"};
    const char16_t *sysFiles[] = {u"kernel32.dll", u"ntdll.dll", u"user32.dll", u"msyh.ttc", u"desktop.ini",
                                  u"comctl32.dll", u"gdiplus.dll", u"setup.log"};
    std::vector<std::u16string> paths;
    while (paths.size() < count) {
        unsigned kind = rng() % 10;
        if (kind < 6 || rules.empty()) {
            paths.push_back(kVolume + system[rng() % 9] + sysFiles[rng() % 8]);
            continue;
        }
        const MatchRule &r = rules[rng() % rules.size()];
        if (!r.hasDevicePath)
            continue;
        std::u16string folder = r.devicePath;
        for (char16_t &c : folder)
            if (c == u'*' || c == u'?')
                c = u'q';
        if (kind == 9)
            folder += u"sub\\deeper\\";
        paths.push_back(folder + kFiles[rng() % 14]);
    }
    return paths;
}

struct Timing {
    double nsPerPath;
    size_t redirected;
};

// Best of three rounds of at least 0.2 s each, going round the corpus.
template <class Decide>
double Measure(const std::vector<std::u16string> &corpus, Decide decide)
{
    using Clock = std::chrono::steady_clock;
    double best = 1e300;
    volatile size_t sink = 0;
    for (int round = 0; round < 3; ++round) {
        size_t calls = 0, next = 0;
        double elapsed = 0;
        auto start = Clock::now();
        do {
            for (int k = 0; k < 64; ++k) {
                sink = sink + static_cast<size_t>(decide(corpus[next]));
                next = next + 1 == corpus.size() ? 0 : next + 1;
            }
            calls += 64;
            elapsed = std::chrono::duration<double, std::nano>(Clock::now() - start).count();
        } while (elapsed < 2e8);
        best = std::min(best, elapsed / static_cast<double>(calls));
    }
    return best;
}

// Both ways on the table; false when any answer differs.
bool Run(const char *label, const std::vector<MatchRule> &rules, const std::vector<std::u16string> &corpus,
         double *speedup, double *ns)
{
    RuleIndex index;
    index.Build(rules.data(), rules.size());
    char16_t a[TARGET_UNITS], b[TARGET_UNITS];
    size_t hits = 0;
    for (const std::u16string &p : corpus) {
        int x = DecideRedirect(nullptr, rules.data(), rules.size(), p.c_str(), kDevice, a, nullptr, nullptr);
        int y = DecideRedirect(&index, nullptr, 0, p.c_str(), kDevice, b, nullptr, nullptr);
        if (x != y || (x && std::u16string(a) != std::u16string(b))) {
            fprintf(stderr, "match_bench: %s: indexed and linear answers differ\n", label);
            return false;
        }
        hits += static_cast<size_t>(x);
    }
    double linear = Measure(corpus, [&](const std::u16string &p) {
        return DecideRedirect(nullptr, rules.data(), rules.size(), p.c_str(), kDevice, a, nullptr, nullptr);
    });
    double indexed = Measure(corpus, [&](const std::u16string &p) {
        return DecideRedirect(&index, nullptr, 0, p.c_str(), kDevice, b, nullptr, nullptr);
    });
    *speedup = linear / indexed;
    *ns = indexed;
    printf("%s: %zu rules, %zu paths, %zu redirected; linear %.0f ns/path, indexed %.0f ns/path\n", label,
           rules.size(), corpus.size(), hits, linear, indexed);
    printf("match_speedup_vs_linear_%s %.1f\n", label, *speedup);
    printf("match_ns_per_path_%s %.0f\n", label, *ns);
    return true;
}

} // namespace

int main()
{
    std::mt19937 rng(1234567);
    double speedup = 0, ns = 0;

    std::vector<MatchRule> shipped;
    if (!ShippedRules(shipped)) {
        fprintf(stderr, "match_bench: cannot read %s/trace.sql\n", VG_DATA_DIR);
        return 1;
    }
    if (!Run("shipped", shipped, Corpus(shipped, 20000, rng), &speedup, &ns))
        return 1;

    std::vector<MatchRule> big = SyntheticRules(10000, rng);
    if (!Run("10000", big, Corpus(big, 20000, rng), &speedup, &ns))
        return 1;

    std::vector<MatchRule> rules = SyntheticRules(1000, rng);
    if (!Run("1000", rules, Corpus(rules, 20000, rng), &speedup, &ns))
        return 1;
    printf("match_speedup_vs_linear_1000 %.1f\n", speedup);
    printf("match_ns_per_path_1000 %.0f\n", ns);
    return 0;
}
