#include "update/update_check.h"

#include <commdlg.h>

#include "Mount/language.h"
#include "Mount/msgbox.h"
#include "env/trace_archive.h"
#include "common/program_folder.h"
#include "update/file_digest.h"
#include "update/http_download.h"
#include "update/update_rules.h"

// The update server of this build; both are build settings.
#ifndef VG_UPDATE_HOST
#error "VG_UPDATE_HOST must be set by the build"
#endif
#ifndef VG_UPDATE_PORT
#error "VG_UPDATE_PORT must be set by the build"
#endif
#define VG_WIDEN2(x) L##x
#define VG_WIDEN(x) VG_WIDEN2(x)

namespace {

const WCHAR kUserAgent[] = L"Tessaline Veilguard/2.0";

// A server that accepts the connection and then says nothing must not hold
// start-up for ever.
const DWORD kNetworkTimeoutMs = 30000;

// Opens "http://host[:port]" + path. Reloaded from the server, never taken
// from the cache: a stale version file would compare against old facts.
HINTERNET OpenVersionFile(HINTERNET internet, const WCHAR *host, INTERNET_PORT port, const WCHAR *path)
{
    WCHAR url[512];
    if (lstrlenW(host) + lstrlenW(path) > 400)
        return nullptr;
    if (port == INTERNET_DEFAULT_HTTP_PORT)
        wsprintfW(url, L"http://%s%s", host, path);
    else
        wsprintfW(url, L"http://%s:%u%s", host, static_cast<unsigned>(port), path);
    HINTERNET file = InternetOpenUrlW(internet, url, nullptr, 0, INTERNET_FLAG_RELOAD, 0);
    if (!file)
        return nullptr;
    // An error page is no version file.
    char status[32] = {0};
    DWORD size = sizeof status - 1;
    if (!HttpQueryInfoA(file, HTTP_QUERY_STATUS_CODE, status, &size, nullptr) || !IsStatusOk(status)) {
        InternetCloseHandle(file);
        return nullptr;
    }
    return file;
}

// One read of at most 100 bytes into a cleared buffer of 101 (so the text
// always ends). False when the read failed and what the buffer holds is not
// what was read.
bool ReadVersionFile(HINTERNET file, char text[UPDATE_VERSION_READ_MAX + 1])
{
    ZeroMemory(text, UPDATE_VERSION_READ_MAX + 1);
    DWORD got = 0;
    BOOL ok = InternetReadFile(file, text, UPDATE_VERSION_READ_MAX, &got);
    if (got > UPDATE_VERSION_READ_MAX)
        got = 0;
    text[got] = 0;
    return ok || static_cast<DWORD>(lstrlenA(text)) == got;
}

// Asks where the new program goes. TRUE with the path in file (1024 units)
// when the user confirmed one.
BOOL AskWhereToSave(WCHAR file[1024])
{
    lstrcpyW(file, L"update.zip");
    OPENFILENAMEW ofn = {};
    ofn.lStructSize = sizeof(ofn);
    ofn.hwndOwner = nullptr;
    // One pair: the text shown and its pattern.
    ofn.lpstrFilter = L"(*.exe)\0*.exe\0";
    ofn.lpstrFile = file;
    ofn.nMaxFile = 1024;
    ofn.lpstrTitle = GetString("SAVE_TO");
    ofn.lpstrDefExt = L"exe";
    ofn.Flags = OFN_EXPLORER | OFN_OVERWRITEPROMPT;
    return GetSaveFileNameW(&ofn);
}

} // namespace

int CheckForUpdatesAt(HWND owner, const WCHAR *archivePath, const WCHAR *host, INTERNET_PORT port)
{
    // Without an archive there is nothing to compare: no network at all.
    DWORD attributes = GetFileAttributesW(archivePath);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return 0;
    char localDigest[33];
    BOOL haveDigest = FileDigestHex(archivePath, localDigest);

    HINTERNET internet = InternetOpenW(kUserAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    if (!internet)
        return 0;
    DWORD timeout = kNetworkTimeoutMs;
    InternetSetOptionW(internet, INTERNET_OPTION_CONNECT_TIMEOUT, &timeout, sizeof timeout);
    InternetSetOptionW(internet, INTERNET_OPTION_SEND_TIMEOUT, &timeout, sizeof timeout);
    InternetSetOptionW(internet, INTERNET_OPTION_RECEIVE_TIMEOUT, &timeout, sizeof timeout);
    HINTERNET connection = InternetConnectW(internet, host, port, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0);
    if (!connection) {
        InternetCloseHandle(internet);
        return 0;
    }

    int result = 0;
    char text[UPDATE_VERSION_READ_MAX + 1];
    HINTERNET file = OpenVersionFile(internet, host, port, L"/vgrd/update.txt");
    if (file && ReadVersionFile(file, text)) {
        if (OffersNewDatabase(text, haveDigest ? localDigest : nullptr) && AskQuestionYesNo(owner, GetString("NEW_DBFILE")) == IDYES) {
            // The archive is replaced only by one whose digest is the one
            // offered and which start-up can load; anything else leaves the
            // current archive as it is.
            char offered[UPDATE_DIGEST_CHARS + 1];
            CutUpdateText(text, UPDATE_DIGEST_CHARS, offered);
            DownloadCheck check = {offered, TRUE, TRACE_ARCHIVE_MAX_BYTES};
            DownloadReplacing(connection, "/vgrd/mani.zip", archivePath, check);
        }
        InternetCloseHandle(file);
        file = OpenVersionFile(internet, host, port, L"/vgrd/setup.txt");
        if (file && ReadVersionFile(file, text)) {
            if (OffersNewProgram(text, kThisProgramVersion) && AskQuestionYesNo(owner, GetString("NEW_SETUP")) == IDYES) {
                WCHAR target[1024];
                if (AskWhereToSave(target)) {
                    DownloadCheck check = {nullptr, FALSE, ~0ULL};
                    DownloadReplacing(connection, "/vgrd/update.zip", target, check);
                }
            }
            result = 1;
        }
    }
    if (file)
        InternetCloseHandle(file);
    InternetCloseHandle(connection);
    InternetCloseHandle(internet);
    return result;
}

int CheckForUpdates(HWND owner)
{
    WCHAR folder[MAX_PATH], archive[MAX_PATH];
    if (!GetProgramFolder(folder) || lstrlenW(folder) + 10 >= MAX_PATH)
        return 0;
    wsprintfW(archive, L"%s\\mani.sys", folder);
    return CheckForUpdatesAt(owner, archive, VG_WIDEN(VG_UPDATE_HOST), VG_UPDATE_PORT);
}
