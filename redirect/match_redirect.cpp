// The decision for each request of the minifilter.
#include "redirect/redirect_rules.h"

#include "env/wide_text.h"
#include "redirect/path_match.h"
#include "redirect/rule_match.h"

#include <shlobj.h>

#include <vector>

namespace {

RuleIndex g_ruleIndex;
char16_t g_device16[MAX_PATH];
bool g_foldInstalled;

int Decide(const WCHAR *path, WCHAR *target, bool createFolder)
{
    if (target)
        target[0] = 0;
    if (!path || !target)
        return 0;
    // The working copy of the path: at most a request's 512 units.
    char16_t path16[REQUEST_PATH_UNITS];
    size_t len = 0;
    while (len < REQUEST_PATH_UNITS && path[len]) {
        path16[len] = static_cast<char16_t>(path[len]);
        ++len;
    }
    if (len == REQUEST_PATH_UNITS)
        return 0;
    path16[len] = 0;

    char16_t target16[TARGET_UNITS];
    size_t localOffset = 0, localLen = 0;
    if (!DecideRedirect(&g_ruleIndex, nullptr, 0, path16, g_device16, target16, &localOffset, &localLen))
        return 0;
    size_t i = 0;
    for (; target16[i]; ++i)
        target[i] = static_cast<WCHAR>(target16[i]);
    target[i] = 0;

    if (createFolder) {
        // "%s\%s" of the redirection drive and the folder below the volume
        // root: the folder is made to exist there, the file is not copied.
        WCHAR local[4 + REQUEST_PATH_UNITS];
        int n = 0;
        for (const WCHAR *d = g_redirectionDrive; *d; ++d)
            local[n++] = *d;
        local[n++] = L'\\';
        for (size_t k = 0; k < localLen; ++k)
            local[n++] = static_cast<WCHAR>(path16[localOffset + k]);
        local[n] = 0;
        if (GetFileAttributesW(local) == INVALID_FILE_ATTRIBUTES)
            SHCreateDirectoryExW(nullptr, local, nullptr);
    }
    return 1;
}

} // namespace

void SetRedirectionDevice16(const WCHAR *device)
{
    size_t i = 0;
    for (; device && device[i] && i < MAX_PATH - 1; ++i)
        g_device16[i] = static_cast<char16_t>(device[i]);
    g_device16[i] = 0;
}

void InstallPlatformMatchFold(void)
{
    if (g_foldInstalled)
        return;
    std::vector<char16_t> table(65536);
#ifdef __WINE__
    // Wine's PathMatchSpecW folds with ntdll's towupper.
    typedef WCHAR(__cdecl * ToUpper)(WCHAR);
    ToUpper upper = reinterpret_cast<ToUpper>(
        reinterpret_cast<void *>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "towupper")));
    if (!upper)
        return;
    for (unsigned c = 0; c < 65536; ++c)
        table[c] = static_cast<char16_t>(upper(static_cast<WCHAR>(c)));
#else
    std::vector<WCHAR> chars(65536);
    for (unsigned c = 0; c < 65536; ++c)
        chars[c] = static_cast<WCHAR>(c);
    CharUpperBuffW(chars.data(), 65536);
    for (unsigned c = 0; c < 65536; ++c)
        table[c] = static_cast<char16_t>(chars[c]);
#endif
    SetMatchFoldTable(table.data());
    g_foldInstalled = true;
}

void RebuildRuleLookup(void)
{
    InstallPlatformMatchFold();
    std::vector<MatchRule> rules(static_cast<size_t>(g_ruleCount > 0 ? g_ruleCount : 0));
    for (INT32 i = 0; i < g_ruleCount; ++i) {
        const RedirectRule *r = g_rules[i];
        MatchRule &m = rules[static_cast<size_t>(i)];
        m.hasDevicePath = r->devicePath != nullptr;
        m.devicePath = ToU16(r->devicePath);
        m.hasName = r->name != nullptr;
        m.name = ToU16(r->name);
        m.isRecurse = r->isRecurse != 0;
        m.pathWild = r->pathWild != 0;
        m.nameWild = r->nameWild != 0;
    }
    g_ruleIndex.Build(rules.data(), rules.size());
}

void ClearRuleLookup(void)
{
    g_ruleIndex.Clear();
}

int MatchRedirect(const WCHAR *path, WCHAR *target)
{
    return Decide(path, target, true);
}

int DecideRedirectOnly(const WCHAR *path, WCHAR *target)
{
    return Decide(path, target, false);
}
