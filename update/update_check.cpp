#include "update/update_check.h"

#include <commdlg.h>

#include "Mount/language.h"
#include "Mount/msgbox.h"
#include "env/trace_archive.h"
#include "common/program_folder.h"
#include "update/file_digest.h"
#include "update/http_download.h"
#include "update/update_manifest.h"
#include "update/update_rules.h"

// The update server of this build; both are build settings.
#ifndef VG_UPDATE_HOST
#error "VG_UPDATE_HOST must be set by the build"
#endif
#ifndef VG_UPDATE_PORT
#error "VG_UPDATE_PORT must be set by the build"
#endif
// VG_UPDATE_PUBLIC_KEY: the manifests' public key in 64 hexadecimal digits,
// or "" for a build that asks for no manifest.
#ifndef VG_UPDATE_PUBLIC_KEY
#define VG_UPDATE_PUBLIC_KEY ""
#endif
#define VG_WIDEN2(x) L##x
#define VG_WIDEN(x) VG_WIDEN2(x)

namespace {

const WCHAR kUserAgent[] = L"Tessaline Veilguard/2.0";

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
// always ends); *length is the number of bytes read. False when the read
// failed and what the buffer holds is not what was read.
bool ReadVersionFile(HINTERNET file, char text[UPDATE_VERSION_READ_MAX + 1], DWORD *length)
{
    ZeroMemory(text, UPDATE_VERSION_READ_MAX + 1);
    DWORD got = 0;
    BOOL ok = InternetReadFile(file, text, UPDATE_VERSION_READ_MAX, &got);
    if (got > UPDATE_VERSION_READ_MAX)
        got = 0;
    text[got] = 0;
    *length = got;
    return ok || static_cast<DWORD>(lstrlenA(text)) == got;
}

// Reads the whole manifest (at most UPDATE_MANIFEST_MAX_BYTES; a longer
// answer is refused). *length is its length.
bool ReadManifest(HINTERNET file, char text[UPDATE_MANIFEST_MAX_BYTES + 1], size_t *length)
{
    size_t total = 0;
    for (;;) {
        DWORD got = 0;
        DWORD room = static_cast<DWORD>(UPDATE_MANIFEST_MAX_BYTES + 1 - total);
        if (!InternetReadFile(file, text + total, room, &got) || got > room)
            return false;
        if (got == 0)
            break;
        total += got;
        if (total > UPDATE_MANIFEST_MAX_BYTES)
            return false;
    }
    text[total] = 0;
    *length = total;
    return true;
}

const WCHAR kSerialValue[] = L"UpdateSerial";

uint64_t LastAcceptedSerial(const WCHAR *serialKey)
{
    HKEY key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, serialKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return 0;
    uint64_t serial = 0;
    DWORD type = 0, size = sizeof serial;
    if (RegQueryValueExW(key, kSerialValue, nullptr, &type, reinterpret_cast<BYTE *>(&serial), &size) !=
            ERROR_SUCCESS ||
        type != REG_QWORD || size != sizeof serial)
        serial = 0;
    RegCloseKey(key);
    return serial;
}

bool StoreAcceptedSerial(const WCHAR *serialKey, uint64_t serial)
{
    HKEY key;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, serialKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return false;
    bool ok = RegSetValueExW(key, kSerialValue, 0, REG_QWORD, reinterpret_cast<const BYTE *>(&serial),
                             sizeof serial) == ERROR_SUCCESS;
    RegCloseKey(key);
    return ok;
}

// Fetches "manifest.txt" and accepts it only when it is well formed, signed
// with the trusted key and not older than the last one accepted; the
// accepted serial is then kept. A serial that cannot be kept is not
// accepted either: the next check could not refuse an older one.
bool AcceptManifest(HINTERNET internet, const WCHAR *host, INTERNET_PORT port, const UpdateTrust &trust,
                    UpdateManifest *manifest)
{
    HINTERNET file = OpenVersionFile(internet, host, port, L"/vgrd/manifest.txt");
    if (!file)
        return false;
    char text[UPDATE_MANIFEST_MAX_BYTES + 1];
    size_t length = 0;
    bool ok = ReadManifest(file, text, &length);
    InternetCloseHandle(file);
    ok = ok && ParseUpdateManifest(text, length, manifest) &&
         VerifyUpdateManifest(text, *manifest, trust.publicKey) &&
         ManifestSerialAcceptable(manifest->serial, LastAcceptedSerial(trust.serialKey)) &&
         StoreAcceptedSerial(trust.serialKey, manifest->serial);
    return ok;
}

// Whether "setup.txt" names the version the manifest signs (compared as
// the offer is: its first 4 bytes, without regard to case).
bool ManifestNamesVersion(const char *received, const UpdateManifest &manifest)
{
    char cut[UPDATE_VERSION_CHARS + 1];
    CutUpdateText(received, UPDATE_VERSION_CHARS, cut);
    return lstrcmpiA(cut, manifest.version) == 0;
}

// The built-in key, read once from its hexadecimal form.
struct BuiltInKey {
    unsigned char bytes[ED25519_KEY_BYTES];
    bool present;
    BuiltInKey()
    {
        const char hex[] = VG_UPDATE_PUBLIC_KEY;
        present = ParseHexBytes(hex, sizeof hex - 1, bytes, sizeof bytes);
    }
};

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

UpdateTrust BuiltInUpdateTrust()
{
    static const BuiltInKey key;
    UpdateTrust trust = {key.present ? key.bytes : nullptr, L"Software\\Tessaline\\Veilguard"};
    return trust;
}

int CheckForUpdatesAt(HWND owner, const WCHAR *archivePath, const WCHAR *host, INTERNET_PORT port,
                      const UpdateTrust *trust)
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

    // A build with a key believes nothing the server says before its
    // signed manifest has been accepted.
    UpdateManifest manifest;
    bool signedManifest = trust && trust->publicKey;
    if (signedManifest && !AcceptManifest(internet, host, port, *trust, &manifest)) {
        InternetCloseHandle(connection);
        InternetCloseHandle(internet);
        return 0;
    }

    int result = 0;
    char text[UPDATE_VERSION_READ_MAX + 1];
    DWORD length = 0;
    HINTERNET file = OpenVersionFile(internet, host, port, L"/vgrd/update.txt");
    if (file && ReadVersionFile(file, text, &length)) {
        if (OffersNewDatabase(text, length, haveDigest ? localDigest : nullptr) &&
            AskQuestionYesNo(owner, GetString("NEW_DBFILE")) == IDYES) {
            // The archive is replaced only by one whose digest is the one
            // offered (and the one signed) and which start-up can load;
            // anything else leaves the current archive as it is. The MD5
            // check also tells a transfer without a length that ended early.
            char offered[UPDATE_DIGEST_CHARS + 1];
            ParseUpdateDigest(text, length, offered);
            DownloadCheck check = {offered, signedManifest ? manifest.maniDigest : nullptr, TRUE,
                                   TRACE_ARCHIVE_MAX_BYTES, UPDATE_DOWNLOAD_MAX_MS, FALSE};
            DownloadReplacing(connection, "/vgrd/mani.zip", archivePath, check);
        }
        InternetCloseHandle(file);
        file = OpenVersionFile(internet, host, port, L"/vgrd/setup.txt");
        if (file && ReadVersionFile(file, text, &length)) {
            if (OffersNewProgram(text, kThisProgramVersion) &&
                (!signedManifest || ManifestNamesVersion(text, manifest)) &&
                AskQuestionYesNo(owner, GetString("NEW_SETUP")) == IDYES) {
                WCHAR target[1024];
                if (AskWhereToSave(target)) {
                    // Without a signed digest only the announced length can
                    // tell a complete program from a cut-off one.
                    DownloadCheck check = {nullptr, signedManifest ? manifest.updateDigest : nullptr, FALSE,
                                           UPDATE_PROGRAM_MAX_BYTES, UPDATE_DOWNLOAD_MAX_MS, !signedManifest};
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
    UpdateTrust trust = BuiltInUpdateTrust();
    return CheckForUpdatesAt(owner, archive, VG_WIDEN(VG_UPDATE_HOST), VG_UPDATE_PORT, &trust);
}
