// Loading, expanding and sorting the rule table at start-up.
#include "redirect/redirect_rules.h"

#include "env/trace_db.h"
#include "env/trace_query.h"
#include "env/wide_text.h"
#include "redirect/path_match.h"
#include "redirect/rule_rows.h"

#include <shlobj.h>
#include <sqlite3.h>
#include <stdlib.h>

#include <algorithm>
#include <vector>

RedirectRule **g_rules;
INT32 g_ruleCount;

void RebuildRuleLookup(void);  // match_redirect.cpp
void ClearRuleLookup(void);

namespace {

// The resolved folder of the first application with the id that has one.
const char16_t *ResolvedFolderOf(int32_t aid, void *context)
{
    std::u16string *scratch = static_cast<std::u16string *>(context);
    for (INT32 i = 0; i < g_appCount; ++i) {
        const AppEntry *a = g_apps[i];
        if (a && a->id == aid && a->resolvedFolder) {
            *scratch = ToU16(a->resolvedFolder);
            return scratch->c_str();
        }
    }
    return nullptr;
}

bool FillRules(const std::vector<RuleRow> &list)
{
    g_rules = static_cast<RedirectRule **>(calloc(list.empty() ? 1 : list.size(), sizeof(RedirectRule *)));
    if (!g_rules)
        return false;
    for (const RuleRow &row : list) {
        RedirectRule *r = static_cast<RedirectRule *>(calloc(1, sizeof(RedirectRule)));
        if (!r)
            return false;
        g_rules[g_ruleCount++] = r;
        for (size_t i = 0; i < row.path.size() && i < MAX_PATH - 1; ++i)
            r->path[i] = static_cast<WCHAR>(row.path[i]);
        r->name = DupText(row.name);
        if (!r->name)
            return false;
        r->aid = row.aid;
        r->isRecurse = row.isRecurse;
        r->isCopy = row.isCopy;
        r->pathWild = row.pathWild;
        r->nameWild = row.nameWild;
    }
    return true;
}

bool IsDriveSpec(const WCHAR *p)
{
    return ((p[0] >= L'A' && p[0] <= L'Z') || (p[0] >= L'a' && p[0] <= L'z')) && p[1] == L':';
}

} // namespace

int LoadRedirectRules(void)
{
    char **cells;
    int rows, cols;
    if (!QueryTraceTable(kRulesQuery, &cells, &rows, &cols))
        return 0;
    std::vector<RuleRow> list;
    std::u16string scratch;
    bool shaped = ConvertRuleRows(cells, rows, cols, DecodeUtf8Column, ResolvedFolderOf, &scratch, list);
    sqlite3_free_table(cells);
    if (!shaped)
        return 0;
    FreeRedirectRules();
    if (!FillRules(list)) {
        FreeRedirectRules();
        return 0;
    }
    return 1;
}

void ResolvePersonalFolder(const WCHAR *rulePath, WCHAR *out)
{
    const WCHAR *first = rulePath;
    while (*first && *first != L'%')
        ++first;
    if (!*first)
        return;
    const WCHAR *second = first + 1;
    while (*second && *second != L'%')
        ++second;
    if (!*second)
        return;
    WCHAR variable[MAX_PATH];
    int length = static_cast<int>(second - first - 1);
    if (length >= MAX_PATH)
        return;
    lstrcpynW(variable, first + 1, length + 1);
    if (lstrcmpiW(variable, L"Personal") != 0) {
        lstrcpynW(out, rulePath, MAX_PATH);
        return;
    }
    WCHAR documents[MAX_PATH] = {0};
    if (!SHGetSpecialFolderPathW(nullptr, documents, CSIDL_PERSONAL, TRUE))
        return;
    // "%s%s" of the folder and the text after the second "%", if it fits.
    if (lstrlenW(documents) + lstrlenW(second + 1) >= MAX_PATH)
        return;
    wsprintfW(out, L"%s%s", documents, second + 1);
}

void ExpandRedirectRules(void)
{
    InstallPlatformMatchFold();
    for (INT32 i = 0; i < g_ruleCount; ++i) {
        RedirectRule *r = g_rules[i];
        WCHAR expanded[MAX_PATH];
        DWORD n = ExpandEnvironmentStringsW(r->path, expanded, MAX_PATH);
        if (n == 0 || n > MAX_PATH)
            continue;
        bool hasPercent = false;
        for (const WCHAR *p = expanded; *p; ++p)
            hasPercent = hasPercent || *p == L'%';
        if (hasPercent && lstrcmpiW(expanded, r->path) == 0)
            ResolvePersonalFolder(r->path, expanded);
        if (!IsDriveSpec(expanded))
            continue;
        WCHAR drive[3] = {expanded[0], L':', 0};
        WCHAR device[MAX_PATH] = {0};
        if (!QueryDosDeviceW(drive, device, MAX_PATH))
            continue;
        device[MAX_PATH - 1] = 0;
        int devLen = lstrlenW(device);
        int restLen = lstrlenW(expanded + 2);
        WCHAR *devicePath = static_cast<WCHAR *>(calloc(static_cast<size_t>(devLen + restLen + 1), sizeof(WCHAR)));
        if (!devicePath)
            continue;
        lstrcpyW(r->path, expanded);
        lstrcpyW(devicePath, device);
        lstrcpyW(devicePath + devLen, expanded + 2);
        free(r->devicePath);
        r->devicePath = devicePath;
    }
    SortRedirectRules();
}

void SortRedirectRules(void)
{
    if (g_ruleCount > 1)
        std::stable_sort(g_rules, g_rules + g_ruleCount, [](const RedirectRule *a, const RedirectRule *b) {
            return CompareDevicePaths(a->devicePath, b->devicePath) < 0;
        });
    RebuildRuleLookup();
}

void FreeRedirectRules(void)
{
    // The filter's workers read the rules and their lookup: a session still
    // serving is ended first. If its workers do not end, the rules are kept.
    if (g_endRuleReaders && !g_endRuleReaders())
        return;
    ClearRuleLookup();
    for (INT32 i = 0; i < g_ruleCount; ++i) {
        if (!g_rules[i])
            continue;
        free(g_rules[i]->devicePath);
        free(g_rules[i]->name);
        free(g_rules[i]);
    }
    free(g_rules);
    g_rules = nullptr;
    g_ruleCount = 0;
}
