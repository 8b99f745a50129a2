// The four passes of the clean dialog: counting and removing the registry
// items and the rule folders' files of the listed applications.
#include "clean/clean_ops.h"

#include <commctrl.h>

#include <map>

#include "clean/app_list.h"
#include "clean/handle_closer.h"
#include "env/reg_trace_walk.h"
#include "env/trace_db.h"
#include "redirect/redirect_rules.h"

namespace {

void StartProgress(HWND progress, INT32 entries)
{
    if (progress)
        SendMessageW(progress, PBM_SETRANGE32, 1, entries > 1 ? entries : 1);
}

void Step(HWND progress, INT32 index)
{
    if (progress)
        SendMessageW(progress, PBM_SETPOS, index, 0);
}

void Show(HWND text, const WCHAR *what)
{
    if (text)
        SetWindowTextW(text, what ? what : L"");
}

bool Selected(INT32 aid)
{
    const AppEntry *app = FindAppById(aid);
    return app && app->uiFlag;
}

void Report(INT32 aid, UINT64 count, UINT64 size, int sign)
{
    int row = FindRowByAppId(aid);
    // Empty files and values still count as traces: a zero size alone does
    // not hide them.
    if (row < 0 || count == 0)
        return;
    AddToCell(row, COL_NUMBER, sign * static_cast<INT64>(count));
    AddToCell(row, COL_SIZE, sign * static_cast<INT64>(size));
}

WalkOptions RuleOptions(const RedirectRule *rule)
{
    WalkOptions options = {rule->isRecurse ? TRUE : FALSE, TRUE, TRUE, FALSE};
    return options;
}

} // namespace

void ScanRegistryTraces(HWND progress, HWND text)
{
    StartProgress(progress, g_regItemCount);
    for (INT32 i = 0; i < g_regItemCount && !g_cleanAbort; ++i) {
        const AppRegEntry *item = g_regItems[i];
        Show(text, item->subkey);
        if (item->aid != 0) {
            UINT64 count = 0, size = 0;
            MeasureRegTrace(item->root, item->subkey, item->item, &count, &size);
            Report(item->aid, count, size, 1);
        }
        Step(progress, i);
    }
}

void CleanRegistryTraces(HWND progress, HWND text)
{
    StartProgress(progress, g_regItemCount);
    for (INT32 i = 0; i < g_regItemCount && !g_cleanAbort; ++i) {
        const AppRegEntry *item = g_regItems[i];
        if (item->aid != 0 && Selected(item->aid)) {
            Show(text, item->subkey);
            UINT64 count = 0, size = 0;
            DeleteRegTrace(item->root, item->subkey, item->item, &count, &size);
            Report(item->aid, count, size, -1);
        }
        Step(progress, i);
    }
}

void ScanFileTraces(HWND progress, HWND text)
{
    RefreshTraceGuard();
    StartProgress(progress, g_ruleCount);
    // Per application, the files already counted: two rules of one
    // application that name the same file count it once.
    std::map<INT32, SeenFiles> seen;
    for (INT32 i = 0; i < g_ruleCount && !g_cleanAbort; ++i) {
        const RedirectRule *rule = g_rules[i];
        Show(text, rule->path);
        if (rule->aid != 0) {
            WalkOptions options = RuleOptions(rule);
            TraceCounters found = CountFiles(rule->path, rule->name, &options, nullptr, &seen[rule->aid]);
            Report(rule->aid, found.count, found.size, 1);
        }
        Step(progress, i);
    }
}

void CleanFileTraces(HWND progress, HWND text)
{
    RefreshTraceGuard();
    StartProgress(progress, g_ruleCount);
    PathList().swap(undeletedPaths);
    std::vector<uint64_t> sizes;
    std::vector<INT32> owners;
    for (INT32 i = 0; i < g_ruleCount && !g_cleanAbort; ++i) {
        const RedirectRule *rule = g_rules[i];
        if (rule->aid != 0 && Selected(rule->aid)) {
            Show(text, rule->path);
            WalkOptions options = RuleOptions(rule);
            TraceCounters removed = DeleteFiles(rule->path, rule->name, &options, &undeletedPaths, &sizes);
            Report(rule->aid, removed.count, removed.size, -1);
            owners.resize(undeletedPaths.size(), rule->aid);
        }
        Step(progress, i);
    }
    // Files in use: the handle closer frees and deletes what it can first;
    // only what is still there afterwards is left for the next restart (and
    // stays counted, it has not been removed yet).
    if (!undeletedPaths.empty())
        CloseFileHandles(undeletedPaths);
    for (size_t i = 0; i < undeletedPaths.size(); ++i) {
        const WCHAR *path = reinterpret_cast<const WCHAR *>(undeletedPaths[i].c_str());
        DWORD gone = GetFileAttributesW(path) == INVALID_FILE_ATTRIBUTES ? GetLastError() : 0;
        if (gone == ERROR_FILE_NOT_FOUND || gone == ERROR_PATH_NOT_FOUND) {
            Report(owners[i], 1, i < sizes.size() ? sizes[i] : 0, -1);
            continue;
        }
        if (MoveFileExW(path, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT))
            pendingDeleteCount += 1;
    }
    PathList().swap(undeletedPaths);
}
