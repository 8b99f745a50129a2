// The rule table against Wine: the pattern match against the platform's
// PathMatchSpecW, expansion into device form (with %Personal%), the binding
// to a drive, the copy rules, the folder made on a match, and the shipped
// table answered the same by the index and by a linear pass over the
// platform's own calls.
#define NOMINMAX
#include "gtest_wine.h"

#include "../env/trace_test_support.h"
#include "env/trace_db.h"
#include "redirect/path_match.h"
#include "redirect/redirect_rules.h"
#include "redirect/rule_rows.h"

#include <random>
#include <string>
#include <vector>

namespace {

std::u16string U16(const WCHAR *w)
{
    std::u16string s;
    for (; *w; ++w)
        s.push_back(static_cast<char16_t>(*w));
    return s;
}

std::vector<WCHAR> W(const std::u16string &s)
{
    std::vector<WCHAR> w(s.begin(), s.end());
    w.push_back(0);
    return w;
}

bool Ours(const std::u16string &name, const std::u16string &mask)
{
    return PathMatchSpec16(name.c_str(), mask.c_str());
}

bool Platform(const std::u16string &name, const std::u16string &mask)
{
    return PathMatchSpecW(W(name).data(), W(mask).data()) != FALSE;
}

std::string Utf8(const std::u16string &s)
{
    std::vector<WCHAR> w = W(s);
    char out[2048];
    WideCharToMultiByte(CP_UTF8, 0, w.data(), -1, out, sizeof out, nullptr, nullptr);
    return out;
}

// The decision exactly as written out step by step, with the platform's
// calls, over the loaded table: the reference for the indexed MatchRedirect.
int LinearPlatformDecision(const WCHAR *path, WCHAR *target)
{
    target[0] = 0;
    WCHAR d[512], f[512];
    if (!path[0] || lstrlenW(path) >= 512)
        return 0;
    lstrcpyW(d, path);
    WCHAR *slash = StrRChrW(d, nullptr, L'\\');
    if (!slash || !slash[1])
        return 0;
    lstrcpyW(f, slash + 1);
    slash[1] = 0;
    bool found = false;
    for (INT32 i = 0; i < g_ruleCount && !found; ++i) {
        const RedirectRule *r = g_rules[i];
        if (!r->devicePath)
            continue;
        bool folder;
        if (r->isRecurse) {
            WCHAR pattern[1100];
            wsprintfW(pattern, L"%s%s", r->devicePath, L"*");
            folder = PathMatchSpecW(d, pattern);
        } else if (r->pathWild) {
            folder = PathMatchSpecW(d, r->devicePath);
        } else {
            folder = lstrcmpiW(d, r->devicePath) == 0;
        }
        if (!folder)
            continue;
        bool name = true;
        if (r->name) {
            WCHAR c[1100];
            const WCHAR *last = StrRChrW(r->name, nullptr, L'\\');
            if (last) {
                lstrcpynW(c, r->name, static_cast<int>(last - r->name) + 2);
                lstrcatW(c, f);
            } else {
                lstrcpyW(c, f);
            }
            name = r->nameWild ? PathMatchSpecW(c, r->name) != FALSE : lstrcmpiW(c, r->name) == 0;
        }
        found = name;
    }
    if (!found)
        return 0;
    const WCHAR *first = StrChrW(path + 1, L'\\');
    const WCHAR *second = first ? StrChrW(first + 1, L'\\') : nullptr;
    if (!second)
        return 0;
    if (lstrlenW(g_redirectionDevice) + 1 + lstrlenW(second + 1) > 511)
        return 0;
    wsprintfW(target, L"%s\\%s", g_redirectionDevice, second + 1);
    return 1;
}

} // namespace

TEST(RuleMatchPlatform, PatternMatchAgreesWithPathMatchSpecW)
{
    InstallPlatformMatchFold();
    const char16_t *names[] = {
        u"", u"a", u"A", u"readme", u"README.TXT", u"x.tar.gz", u".hidden", u"a b.doc", u"a;b.txt",
        u"History", u"History-journal", u"Visited Links", u"places.sqlite-wal", u"thumbcache_256.db",
        u"\\Device\\HarddiskVolume1\\Users\\u\\AppData\\", u"Data\\x.xml", u"Data\\x.XML", u"Sub\\Deep\\y.xml",
        u"\x56DE\x6536\x7AD9.lnk", u"\x6587\x6863.DOCX", u"r\x00E9sum\x00E9.pdf", u"R\x00C9SUM\x00C9.PDF",
        u"\x0444\x0430\x0439\x043B.txt", u"\x0424\x0410\x0419\x041B.TXT", u"\x03C3\x03BF\x03C6\x03AF\x03B1",
        u"\x03A3\x039F\x03A6\x0399\x0391", u"stra\x00DF" u"e", u"STRASSE", u"\x0131nd\x0131r", u"INDIR",
        u"\x0130stanbul", u"istanbul", u"\x017Fs", u"SS", u"\xFF41\xFF42\xFF43", u"\xFF21\xFF22\xFF23",
        u"\x0561\x0562", u"\x0531\x0532", u"\xD801\xDC28", u"\xD801\xDC00", u"\x01C5", u"\x01C6", u"\x01C4",
        u"*", u"?", u"a*b", u"  lead", u"trail  ", u"x.", u"...", u"~$temp.docx"};
    const char16_t *masks[] = {
        u"*.*", u"*", u"?", u"", u" ", u";", u"*.txt", u"*.TXT", u"*.doc;*.docx", u"History*;Visited Links",
        u"Current *;Last *", u"places.sqlite*", u"thumbcache_*.db", u"Data\\*.xml", u"*\\*", u"??????",
        u"a?b", u"*a*b*", u" *.pdf", u"*.pdf; *.doc", u"*.*;x", u"r\x00C9SUM\x00C9.*", u"\x0424*",
        u"\x03C3*", u"\x03A3*", u"STRASSE", u"stra\x00DF" u"e", u"INDIR", u"\x0131*", u"I*", u"\x0130*",
        u"i*", u"S*", u"\xFF21*", u"\x0531*", u"\xD801\xDC00", u"\x01C4", u"\x01C5", u"*.", u"*..*",
        u"~$*", u"**", u"*?*", u"\\Device\\HarddiskVolume1\\Users\\*\\", u"\\DEVICE\\harddiskvolume1\\*"};
    int compared = 0;
    for (const char16_t *n : names)
        for (const char16_t *m : masks) {
            ASSERT_EQ(Ours(n, m), Platform(n, m)) << Utf8(n) << " / " << Utf8(m);
            ++compared;
        }

    // Every character against its upper- and lower-case forms.
    for (unsigned c = 1; c < 65536; ++c) {
        if (c == '*' || c == '?' || c == ';' || c == ' ')
            continue;
        WCHAR up = static_cast<WCHAR>(reinterpret_cast<ULONG_PTR>(CharUpperW(reinterpret_cast<WCHAR *>(static_cast<ULONG_PTR>(c)))));
        WCHAR low = static_cast<WCHAR>(reinterpret_cast<ULONG_PTR>(CharLowerW(reinterpret_cast<WCHAR *>(static_cast<ULONG_PTR>(c)))));
        std::u16string name(1, static_cast<char16_t>(c));
        for (WCHAR other : {up, low}) {
            if (other == '*' || other == '?' || other == ';' || other == ' ' || other == 0)
                continue;
            std::u16string mask(1, static_cast<char16_t>(other));
            ASSERT_EQ(Ours(name, mask), Platform(name, mask)) << "U+" << std::hex << c << " / U+" << static_cast<unsigned>(other);
            ++compared;
        }
    }

    // Random names and patterns over letters that have case pairs.
    std::mt19937 rng(7);
    const char16_t alphabet[] = u"aAbB.\\ *?;\x00E9\x00C9\x0444\x0424\x03C3\x03C2\x03A3\x0131I\x0130i\xFF41\xFF21\x00DF";
    const size_t n = sizeof alphabet / sizeof alphabet[0] - 1;
    for (int i = 0; i < 100000; ++i) {
        std::u16string name, mask;
        for (size_t k = rng() % 10; k > 0; --k) {
            char16_t ch = alphabet[rng() % n];
            if (ch != u'*' && ch != u'?' && ch != u';')
                name.push_back(ch);
        }
        for (size_t k = rng() % 8; k > 0; --k)
            mask.push_back(alphabet[rng() % n]);
        ASSERT_EQ(Ours(name, mask), Platform(name, mask)) << Utf8(name) << " / " << Utf8(mask);
        ++compared;
    }
    EXPECT_GT(compared, 100000);
}

TEST(RuleExpansion, PersonalVariablesResolvedFoldersAndDeviceForm)
{
    ScratchDir dir(L"expand");
    SetEnvironmentVariableW(L"VGTEST_ROOT", L"C:\\VgRoot");
    char sql[4096];
    wsprintfA(sql,
              "%s"
              "insert into apps values (1,'a','a',NULL,'Desktop',NULL,NULL);"
              "insert into apps values (2,'b','b',NULL,NULL,NULL,NULL);"
              "insert into apppaths values (1,'%%APPDATA%%\\Ignored','x.txt',0,0);"
              "insert into apppaths values (2,'%%Personal%%\\App','',1,0);"
              "insert into apppaths values (2,'%%VGTEST_ROOT%%\\Sub\\','*.log',0,0);"
              "insert into apppaths values (2,'%%VGTEST_NO_SUCH%%\\X\\','a',0,0);"
              "insert into apppaths values (2,'%%Other%%\\X\\','a',0,0);"
              "insert into apppaths values (2,'C:\\Aa\\','a',0,0);"
              "insert into apppaths values (2,'c:\\ab\\','a',0,0);",
              TraceSchemaSql());
    WCHAR db[MAX_PATH];
    ASSERT_TRUE(OpenTraceDatabaseFromSql(dir, sql, db));
    ASSERT_EQ(LoadApplications(), 1);
    ASSERT_EQ(LoadRedirectRules(), 1);
    CloseTraceDatabase(nullptr);
    ExpandRedirectRules();
    ASSERT_EQ(g_ruleCount, 7);

    WCHAR device[MAX_PATH];
    ASSERT_NE(QueryDosDeviceW(L"C:", device, MAX_PATH), 0u);
    WCHAR documents[MAX_PATH], desktop[MAX_PATH], expected[MAX_PATH];
    SHGetSpecialFolderPathW(nullptr, documents, CSIDL_PERSONAL, TRUE);
    SHGetSpecialFolderPathW(nullptr, desktop, CSIDL_DESKTOP, TRUE);

    int seen = 0;
    for (INT32 i = 0; i < g_ruleCount; ++i) {
        const RedirectRule *r = g_rules[i];
        if (i > 0) {
            EXPECT_LE(CompareDevicePaths(g_rules[i - 1]->devicePath, r->devicePath), 0) << "order at " << i;
        }
        if (r->aid == 1) {  // the application's folder replaces the row's
            wsprintfW(expected, L"%s\\", desktop);
            EXPECT_WSTREQ(r->path, expected);
            ++seen;
        } else if (StrStrIW(r->path, L"\\App\\")) {
            wsprintfW(expected, L"%s\\App\\", documents);
            EXPECT_WSTREQ(r->path, expected);
            ASSERT_NE(r->devicePath, nullptr);
            WCHAR deviceForm[1024];
            WCHAR drive[3] = {expected[0], L':', 0};
            WCHAR dev[MAX_PATH];
            QueryDosDeviceW(drive, dev, MAX_PATH);
            wsprintfW(deviceForm, L"%s%s", dev, expected + 2);
            EXPECT_WSTREQ(r->devicePath, deviceForm);
            EXPECT_EQ(r->isRecurse, 1);
            EXPECT_WSTREQ(r->name, L"*.*");
            ++seen;
        } else if (StrStrIW(r->path, L"VgRoot")) {
            EXPECT_WSTREQ(r->path, L"C:\\VgRoot\\Sub\\");
            wsprintfW(expected, L"%s\\VgRoot\\Sub\\", device);
            EXPECT_WSTREQ(r->devicePath, expected);
            ++seen;
        } else if (r->path[0] == L'%') {  // does not expand: never matches
            EXPECT_EQ(r->devicePath, nullptr);
            EXPECT_EQ(i >= g_ruleCount - 2, true) << "absent device paths sort last";
            ++seen;
        }
    }
    EXPECT_EQ(seen, 5);
    FreeRedirectRules();
    FreeApplications();
}

TEST(RuleBinding, MatchCreatesTheLocalFolderAndCopyRulesCopyOnce)
{
    ScratchDir disk(L"vdisk");
    ScratchDir src(L"src");
    TestDrive drive(L'T', disk.path);
    ASSERT_TRUE(drive.ok);
    WCHAR conf[MAX_PATH];
    src.File(L"conf.ini", conf);
    ASSERT_TRUE(WriteText(conf, "[s]\r\nk=original\r\n"));
    SetEnvironmentVariableW(L"VGTEST_SRC", src.path);

    char sql[2048];
    wsprintfA(sql,
              "%s"
              "insert into apps values (1,'a','a',NULL,NULL,NULL,NULL);"
              "insert into apppaths values (1,'%%VGTEST_SRC%%','conf.ini',0,1);"
              "insert into apppaths values (1,'%%VGTEST_SRC%%\\cache\\','',1,0);",
              TraceSchemaSql());
    WCHAR db[MAX_PATH];
    ASSERT_TRUE(OpenTraceDatabaseFromSql(src, sql, db));
    ASSERT_EQ(LoadApplications(), 1);
    ASSERT_EQ(LoadRedirectRules(), 1);
    CloseTraceDatabase(db);
    ExpandRedirectRules();
    ASSERT_EQ(g_ruleCount, 2);

    PrepareRedirection(L"T:");
    // The copy sits at the same path on the drive.
    WCHAR copy[MAX_PATH];
    wsprintfW(copy, L"T:\\%s", conf + 3);
    char text[256];
    ASSERT_TRUE(ReadText(copy, text, sizeof text));
    EXPECT_STREQ(text, "[s]\r\nk=original\r\n");
    for (INT32 i = 0; i < g_ruleCount; ++i)
        EXPECT_EQ(g_rules[i]->path[0], L'T');
    // An existing copy is never replaced.
    ASSERT_TRUE(WriteText(copy, "changed in privacy mode"));
    CopyRuleFiles();
    ASSERT_TRUE(ReadText(copy, text, sizeof text));
    EXPECT_STREQ(text, "changed in privacy mode");
    // Leaving gives each rule its own drive back.
    RestoreRuleDriveLetters();
    for (INT32 i = 0; i < g_ruleCount; ++i)
        EXPECT_EQ(g_rules[i]->path[0], conf[0]);

    // A match answers with the device and makes the folder on the drive.
    BindRedirectionDrive(L"T:", L"\\Device\\VgTestDisk");
    const RedirectRule *cache = nullptr;
    for (INT32 i = 0; i < g_ruleCount; ++i)
        if (g_rules[i]->isRecurse)
            cache = g_rules[i];
    ASSERT_NE(cache, nullptr);
    ASSERT_NE(cache->devicePath, nullptr);
    WCHAR request[512], target[512];
    wsprintfW(request, L"%sa\\b\\file.dat", cache->devicePath);
    WCHAR localFolder[MAX_PATH];
    wsprintfW(localFolder, L"T:\\%sa\\b\\", cache->path + 3);
    ASSERT_FALSE(FileExists(localFolder));
    ASSERT_EQ(DecideRedirectOnly(request, target), 1);
    EXPECT_FALSE(FileExists(localFolder));  // the decision alone makes nothing
    ASSERT_EQ(MatchRedirect(request, target), 1);
    const WCHAR *rest = StrChrW(StrChrW(request + 1, L'\\') + 1, L'\\') + 1;
    WCHAR expected[600];
    wsprintfW(expected, L"\\Device\\VgTestDisk\\%s", rest);
    EXPECT_WSTREQ(target, expected);
    EXPECT_TRUE(FileExists(localFolder));
    // Not covered, or ending in a backslash: empty target.
    lstrcpyW(request, cache->devicePath);
    request[lstrlenW(request) - 6] = 0;  // drop "cache\"
    lstrcatW(request, L"other\\x.dat");
    EXPECT_EQ(MatchRedirect(request, target), 0);
    EXPECT_EQ(target[0], 0);
    wsprintfW(request, L"%sa\\", cache->devicePath);
    EXPECT_EQ(MatchRedirect(request, target), 0);
    // Unbound: nothing is redirected.
    BindRedirectionDrive(L"bad", nullptr);
    wsprintfW(request, L"%sa\\b\\file.dat", cache->devicePath);
    EXPECT_EQ(MatchRedirect(request, target), 0);
    FreeRedirectRules();
    FreeApplications();
}

TEST(RuleMatchPlatform, ShippedTableAnswersLikeTheLinearPlatformPass)
{
    WCHAR archive[MAX_PATH], temp[MAX_PATH];
    BuildBinFile(L"mani.sys", archive);
    ASSERT_EQ(UnpackTraceDatabaseFrom(archive, temp), 1);
    ASSERT_EQ(OpenTraceDatabase(temp), 1);
    ASSERT_EQ(LoadApplications(), 1);
    ASSERT_EQ(LoadRedirectRules(), 1);
    CloseTraceDatabase(temp);
    ExpandRedirectRules();
    BindRedirectionDrive(L"Q:", L"\\Device\\QdskVolumeQ");

    // Paths made from every rule's folder, with file names that the rules
    // name and that they do not, directly and in sub-folders.
    const WCHAR *files[] = {L"History", L"History-journal", L"Bookmarks", L"x.lnk", L"a.xml", L"cookies.sqlite",
                            L"Default.rdp", L"conf.ini", L"TaskDb.dat", L"in.box", L"thumbcache_96.db",
                            L"\x56DE\x6536\x7AD9.txt", L"README"};
    const WCHAR *subs[] = {L"", L"Sub\\", L"ab.default\\", L"12345\\Image\\Group\\", L"AutomaticDestinations\\"};
    int requests = 0, redirected = 0;
    for (INT32 i = 0; i < g_ruleCount; ++i) {
        const RedirectRule *r = g_rules[i];
        if (!r->devicePath)
            continue;
        WCHAR base[512];
        lstrcpynW(base, r->devicePath, 400);
        // A wildcard folder: put a real name in place of each star.
        for (WCHAR *p = base; *p; ++p)
            if (*p == L'*' || *p == L'?')
                *p = L'q';
        for (const WCHAR *sub : subs)
            for (const WCHAR *file : files) {
                WCHAR request[1024], ours[512], reference[512];
                wsprintfW(request, L"%s%s%s", base, sub, file);
                int a = DecideRedirectOnly(request, ours);
                int b = LinearPlatformDecision(request, reference);
                ASSERT_EQ(a, b) << Utf8(U16(request));
                if (a) {
                    EXPECT_WSTREQ(ours, reference);
                    ++redirected;
                }
                ++requests;
            }
    }
    EXPECT_GT(requests, 1000);
    EXPECT_GT(redirected, 100);
    EXPECT_LT(redirected, requests);

    // A browser history file is redirected, its bookmarks are not.
    WCHAR local[MAX_PATH], dos[MAX_PATH], dev[MAX_PATH], request[1024], target[512];
    ASSERT_NE(ExpandEnvironmentStringsW(L"%LOCALAPPDATA%\\Google\\Chrome\\User Data\\Default\\", dos, MAX_PATH), 0u);
    WCHAR drive[3] = {dos[0], L':', 0};
    ASSERT_NE(QueryDosDeviceW(drive, dev, MAX_PATH), 0u);
    wsprintfW(local, L"%s%s", dev, dos + 2);
    wsprintfW(request, L"%sHistory", local);
    EXPECT_EQ(DecideRedirectOnly(request, target), 1);
    wsprintfW(request, L"%sBookmarks", local);
    EXPECT_EQ(DecideRedirectOnly(request, target), 0);
    FreeRedirectRules();
    FreeApplications();
}
