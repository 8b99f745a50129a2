// Replacing a file with a download only once the download is known good.
#include "update/http_download.h"

#include <cstring>

#include "env/trace_db.h"
#include "env/trace_startup.h"
#include "update/file_digest.h"
#include "update/update_rules.h"

namespace {

// True when the archive passes the checks start-up applies: it opens with
// the archive password and its database loads. The tables it loads are
// released again; start-up loads them for real afterwards.
bool LoadsAsTraceArchive(const WCHAR *path)
{
    if (LoadTraceDatabaseFromArchive(path) != TRACE_STARTUP_CONTINUE)
        return false;
    ReleaseTraceTables();
    FreeApplications();
    return true;
}

} // namespace

int DownloadReplacing(HINTERNET connection, const char *object, const WCHAR *target,
                      const DownloadCheck &check)
{
    // The temporary file lies beside the target, on the same volume, so that
    // the final move is a rename.
    if (lstrlenW(target) >= MAX_PATH)
        return 0;
    WCHAR folder[MAX_PATH];
    lstrcpynW(folder, target, MAX_PATH);
    WCHAR *slash = nullptr;
    for (WCHAR *p = folder; *p; ++p)
        if (*p == L'\\')
            slash = p;
    if (!slash || (slash - folder) + 1 > MAX_PATH - 14)
        return 0;
    slash[1] = 0;
    WCHAR temp[MAX_PATH];
    if (!GetTempFileNameW(folder, L"vgu", 0, temp))
        return 0;

    bool good = HttpDownloadLimited(connection, object, temp, check.maxBytes, check.maxMillis,
                                    check.lengthRequired) == 1;
    if (good && check.digest) {
        char digest[33];
        good = FileDigestHex(temp, digest) && SameDigest(digest, check.digest);
    }
    if (good && check.sha512) {
        unsigned char digest[64];
        good = FileSha512(temp, digest) && memcmp(digest, check.sha512, sizeof digest) == 0;
    }
    if (good && check.traceArchive)
        good = LoadsAsTraceArchive(temp);
    if (good)
        good = MoveFileExW(temp, target, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
    if (!good)
        DeleteFileW(temp);
    return good ? 1 : 0;
}
