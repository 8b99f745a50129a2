// Before Vista the system defines no LOCALAPPDATA: start-up defines it as the
// real local application data folder, so that rules and application
// detection naming %LOCALAPPDATA% expand in their one pass.
#include "gtest_wine.h"

#include "env/local_appdata.h"
#include "env/trace_db.h"
#include "redirect/redirect_rules.h"
#include "trace_test_support.h"

TEST(LocalAppDataBeforeVista, RulesAndDetectionReachTheRealFolder)
{
    WCHAR saved[MAX_PATH] = {0};
    GetEnvironmentVariableW(L"LOCALAPPDATA", saved, MAX_PATH);

    // A system that is Vista or later keeps its own variable.
    SetEnvironmentVariableW(L"LOCALAPPDATA", nullptr);
    DefineLocalAppDataVariable(FALSE);
    EXPECT_EQ(GetEnvironmentVariableW(L"LOCALAPPDATA", nullptr, 0), 0u);
    EXPECT_FALSE(IsBeforeVista()) << "Wine reports Windows 7 here";

    // As on XP: the variable is the shell's folder, with nothing left to expand.
    DefineLocalAppDataVariable(TRUE);
    WCHAR value[MAX_PATH] = {0}, shell[MAX_PATH] = {0};
    ASSERT_GT(GetEnvironmentVariableW(L"LOCALAPPDATA", value, MAX_PATH), 0u);
    ASSERT_TRUE(SHGetSpecialFolderPathW(nullptr, shell, CSIDL_LOCAL_APPDATA, FALSE));
    EXPECT_WSTREQ(value, shell);

    WCHAR appFolder[MAX_PATH];
    wsprintfW(appFolder, L"%s\\VgXpApp", value);
    SHCreateDirectoryExW(nullptr, appFolder, nullptr);
    ScratchDir dir(L"xpdb");
    WCHAR db[MAX_PATH];
    char sql[2048];
    wsprintfA(sql,
              "%s insert into apps values (1,'XpApp','','%%LOCALAPPDATA%%\\VgXpApp',NULL,'x.exe',NULL);"
              "insert into apppaths values (1,'%%LOCALAPPDATA%%\\VgXpApp\\Cache\\','',1,0);",
              TraceSchemaSql());
    ASSERT_TRUE(OpenTraceDatabaseFromSql(dir, sql, db));
    ASSERT_EQ(LoadApplications(), 1);
    ASSERT_EQ(LoadRedirectRules(), 1);
    CloseTraceDatabase(db);
    ExpandRedirectRules();

    EXPECT_TRUE(IsAppPresent(g_apps[0]->DetectKey)) << "detected through the folder";
    ASSERT_EQ(g_ruleCount, 1);
    EXPECT_NE(g_rules[0]->devicePath, nullptr) << "the rule's folder expanded to a drive path";
    EXPECT_EQ(StrCmpNIW(g_rules[0]->path, value, lstrlenW(value)), 0);

    FreeRedirectRules();
    FreeApplications();
    RemoveDirectoryW(appFolder);
    SetEnvironmentVariableW(L"LOCALAPPDATA", saved[0] ? saved : nullptr);
}
