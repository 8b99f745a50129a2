// Detection of every application of the shipped trace database in a fresh
// prefix: an application that is not there is not shown, and making its
// detection key or folder "installs" it, as its installer would. A key or
// folder that Wine itself already has would show the application on every
// system; one the loader cannot read would never show it.
#include "gtest_wine.h"

#include "env/trace_db.h"
#include "env/trace_startup.h"
#include "redirect/redirect_rules.h"
#include "trace_test_support.h"

#include <shlobj.h>

namespace {

// What one installation made, so that exactly that is taken away again.
struct Installed {
    HKEY root = nullptr;
    WCHAR top[MAX_PATH] = {0};   // registry: the first key that was missing
    WCHAR full[MAX_PATH] = {0};  // folder: the whole folder made
    int folderTop = 0;           // folder: length of the part that existed
};

bool InstallKey(HKEY root, const WCHAR *path, Installed *made)
{
    WCHAR prefix[MAX_PATH];
    int length = lstrlenW(path);
    for (int i = 0; i <= length; ++i) {
        if (path[i] != L'\\' && path[i] != 0)
            continue;
        lstrcpynW(prefix, path, i + 1);
        HKEY key;
        if (RegOpenKeyExW(root, prefix, 0, KEY_QUERY_VALUE, &key) == ERROR_SUCCESS) {
            RegCloseKey(key);
            continue;
        }
        made->root = root;
        lstrcpyW(made->top, prefix);
        break;
    }
    HKEY key;
    if (RegCreateKeyExW(root, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

bool InstallFolder(const WCHAR *detectKey, Installed *made)
{
    if (ExpandEnvironmentStringsW(detectKey, made->full, MAX_PATH) == 0 || StrChrW(made->full, L'%'))
        return false;
    int length = lstrlenW(made->full);
    made->folderTop = length;
    for (int i = length; i > 3; --i)
        if (made->full[i] == L'\\' || made->full[i] == 0) {
            WCHAR part[MAX_PATH];
            lstrcpynW(part, made->full, i + 1);
            if (GetFileAttributesW(part) != INVALID_FILE_ATTRIBUTES)
                break;
            made->folderTop = i;
        }
    return SHCreateDirectoryExW(nullptr, made->full, nullptr) == ERROR_SUCCESS;
}

void Uninstall(Installed *made)
{
    if (made->root && made->top[0])
        RegDeleteTreeW(made->root, made->top);
    if (made->full[0]) {
        // Only the folders this test made, deepest first.
        for (int i = lstrlenW(made->full); i >= made->folderTop; --i)
            if (made->full[i] == L'\\' || made->full[i] == 0) {
                made->full[i] = 0;
                RemoveDirectoryW(made->full);
            }
    }
}

bool Install(const WCHAR *detectKey, Installed *made)
{
    struct { const WCHAR *name; HKEY root; } roots[] = {
        {L"HKCU\\", HKEY_CURRENT_USER}, {L"HKLM\\", HKEY_LOCAL_MACHINE}, {L"HKU\\", HKEY_USERS}};
    for (const auto &r : roots)
        if (StrCmpNW(detectKey, r.name, lstrlenW(r.name)) == 0)
            return InstallKey(r.root, detectKey + lstrlenW(r.name), made);
    return InstallFolder(detectKey, made);
}

} // namespace

TEST(ShippedDetection, EachApplicationAbsentUntilItsKeyOrFolderIsMade)
{
    WCHAR archive[MAX_PATH], temp[MAX_PATH] = {0};
    BuildBinFile(L"mani.sys", archive);
    ASSERT_EQ(UnpackTraceDatabaseFrom(archive, temp), 1) << "build the vg_trace_data target first";
    ASSERT_EQ(OpenTraceDatabase(temp), 1);
    ASSERT_EQ(LoadApplications(), 1);
    ASSERT_EQ(LoadRedirectRules(), 1);
    ExpandRedirectRules();
    CloseTraceDatabase(temp);

    // What a fresh Wine prefix has of itself: Windows' own components, the
    // shell's keys and the temporary folder. Nothing else may show.
    const INT32 partOfWindows[] = {1, 2, 3, 4, 20, 21, 22, 23, 24, 25, 26, 27, 30, 31, 33};
    int installed = 0;
    for (INT32 i = 0; i < g_appCount; ++i) {
        const AppEntry *app = g_apps[i];
        ASSERT_NE(app->DetectKey, nullptr) << app->id;
        bool windows = false;
        for (INT32 id : partOfWindows)
            windows = windows || id == app->id;
        if (IsAppPresent(app->DetectKey)) {
            EXPECT_TRUE(windows) << "application " << app->id << " shows without being installed";
            continue;
        }
        Installed made;
        ASSERT_TRUE(Install(app->DetectKey, &made)) << "application " << app->id << " cannot be installed";
        EXPECT_TRUE(IsAppPresent(app->DetectKey)) << "application " << app->id << " not found once installed";
        EXPECT_TRUE(IsAppIdPresent(app->id)) << app->id;
        Uninstall(&made);
        EXPECT_FALSE(IsAppPresent(app->DetectKey)) << "application " << app->id << " left behind";
        ++installed;
    }
    EXPECT_GE(installed, 100);

    // Every rule of every application names a folder this prefix can expand,
    // so that what the application keeps is redirected and cleaned.
    for (INT32 i = 0; i < g_ruleCount; ++i) {
        const RedirectRule *rule = g_rules[i];
        EXPECT_NE(rule->devicePath, nullptr) << "application " << rule->aid << ": rule does not expand";
    }

    ReleaseTraceTables();
    FreeApplications();
}
