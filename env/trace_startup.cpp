#include "env/trace_startup.h"

#include "env/trace_db.h"
#include "redirect/redirect_rules.h"

TraceStartupResult LoadTraceDatabaseAtStartup(void)
{
    WCHAR folder[MAX_PATH], archive[MAX_PATH];
    if (!GetProgramFolder(folder) || lstrlenW(folder) + 10 >= MAX_PATH)
        return TRACE_STARTUP_QUIT_SILENTLY;
    wsprintfW(archive, L"%s\\mani.sys", folder);
    return LoadTraceDatabaseFromArchive(archive);
}

TraceStartupResult LoadTraceDatabaseFromArchive(const WCHAR *archivePath)
{
    WCHAR tempPath[MAX_PATH] = {0};
    if (!UnpackTraceDatabaseFrom(archivePath, tempPath))
        return TRACE_STARTUP_QUIT_SILENTLY;
    if (!OpenTraceDatabase(tempPath)) {
        CloseTraceDatabase(tempPath);  // deletes the temporary file
        return TRACE_STARTUP_QUIT_SILENTLY;
    }
    // The rules take the folders that the applications resolved, so the
    // application table comes first.
    bool loaded = LoadApplications() && LoadRedirectRules();
    if (loaded)
        ExpandRedirectRules();
    loaded = loaded && LoadRegistryItems() && LoadProfiles();
    CloseTraceDatabase(tempPath);
    if (!loaded) {
        FreeRedirectRules();
        FreeRegistryItems();
        FreeProfiles();
        FreeApplications();
        return TRACE_STARTUP_SQL_ERROR;
    }
    return TRACE_STARTUP_CONTINUE;
}

void ReleaseTraceTables(void)
{
    FreeRedirectRules();
    FreeRegistryItems();
    FreeProfiles();
}
