// The update check against a local HTTP server on loopback: when the two
// questions come, what each answer does to "mani.sys" and to the chosen
// file, and that no failed or doubtful download ever touches the archive.
#include "gtest_wine.h"

#include <commdlg.h>
#include <shlwapi.h>
#include <gcrypt.h>
#include <zip.h>

#include "Mount/language.h"
#include "env/archive_password.h"
#include "env/trace_startup.h"
#include "../env/trace_test_support.h"
#include "update/http_download.h"
#include "update/update_check.h"
#include "update/update_manifest.h"
#include "update/update_rules.h"
#include "update_server_support.h"

#include <atomic>
#include <string>
#include <vector>

namespace {

// Answers the update check's windows from a second thread, as a user would,
// and counts what was shown.
struct Answerer {
    int database = IDNO;            // answer to the new-database question
    int program = IDNO;             // answer to the new-program question
    const WCHAR *saveAs = nullptr;  // file typed into the save dialog; null: Cancel
    std::atomic<int> databaseAsked{0}, programAsked{0}, saveShown{0}, otherShown{0};

    std::atomic<bool> running{false};
    HANDLE thread = nullptr;

    void Reset(int db, int prog, const WCHAR *file)
    {
        database = db;
        program = prog;
        saveAs = file;
        databaseAsked = programAsked = saveShown = otherShown = 0;
    }

    static BOOL CALLBACK Visit(HWND hwnd, LPARAM param)
    {
        DWORD pid = 0;
        GetWindowThreadProcessId(hwnd, &pid);
        WCHAR cls[64];
        GetClassNameW(hwnd, cls, 64);
        if (pid == GetCurrentProcessId() && IsWindowVisible(hwnd) && lstrcmpW(cls, L"#32770") == 0) {
            *reinterpret_cast<HWND *>(param) = hwnd;
            return FALSE;
        }
        return TRUE;
    }

    void Handle(HWND dialog)
    {
        WCHAR title[256] = {0}, text[1024] = {0};
        GetWindowTextW(dialog, title, 256);
        GetDlgItemTextW(dialog, 0xFFFF, text, 1024);
        int button = IDCANCEL;
        if (lstrcmpW(title, GetString("VGRD")) == 0 && lstrcmpW(text, GetString("NEW_DBFILE")) == 0) {
            ++databaseAsked;
            button = database;
        } else if (lstrcmpW(title, GetString("VGRD")) == 0 && lstrcmpW(text, GetString("NEW_SETUP")) == 0) {
            ++programAsked;
            button = program;
        } else if (lstrcmpW(title, GetString("SAVE_TO")) == 0) {
            ++saveShown;
            Sleep(300);  // let the dialog finish filling itself
            if (saveAs) {
                HWND name = GetDlgItem(dialog, edt1);
                if (!name)
                    name = GetDlgItem(dialog, cmb13);
                SetWindowTextW(name, saveAs);
                button = IDOK;
            }
        } else {
            ++otherShown;
        }
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
        for (int i = 0; i < 100 && IsWindow(dialog); ++i)
            Sleep(50);
    }

    static DWORD WINAPI Run(void *param)
    {
        Answerer *self = static_cast<Answerer *>(param);
        while (self->running) {
            HWND found = nullptr;
            EnumWindows(Visit, reinterpret_cast<LPARAM>(&found));
            if (found)
                self->Handle(found);
            else
                Sleep(50);
        }
        return 0;
    }

    void Start()
    {
        running = true;
        thread = CreateThread(nullptr, 0, Run, this, 0, nullptr);
    }
    void Stop()
    {
        running = false;
        if (thread) {
            WaitForSingleObject(thread, 10000);
            CloseHandle(thread);
            thread = nullptr;
        }
    }
};

std::vector<unsigned char> FileBytes(const WCHAR *path)
{
    HANDLE h = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return {};
    std::vector<unsigned char> data(GetFileSize(h, nullptr));
    DWORD got = 0;
    ReadFile(h, data.data(), static_cast<DWORD>(data.size()), &got, nullptr);
    CloseHandle(h);
    data.resize(got);
    return data;
}

// SHA-512 of a whole file, computed here independently of the program.
void Sha512OfFile(const WCHAR *path, uint8_t out[64])
{
    std::vector<unsigned char> data = FileBytes(path);
    gcry_md_hash_buffer(GCRY_MD_SHA512, out, data.data(), data.size());
}

// MD5 of a whole file, computed here independently of the program.
std::string Md5OfFile(const WCHAR *path)
{
    if (GetFileAttributesW(path) == INVALID_FILE_ATTRIBUTES)
        return "";
    std::vector<unsigned char> data = FileBytes(path);
    size_t got = data.size();
    unsigned char digest[16];
    gcry_md_hash_buffer(GCRY_MD_MD5, digest, data.data(), got);
    char hex[33];
    for (int i = 0; i < 16; ++i)
        snprintf(hex + 2 * i, 3, "%02x", digest[i]);
    return hex;
}

std::string Upper(std::string s)
{
    for (auto &c : s)
        c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    return s;
}

std::string UnixPath(const WCHAR *path)
{
    char *u = wine_get_unix_file_name(path);
    std::string s = u ? u : "";
    if (u)
        HeapFree(GetProcessHeap(), 0, u);
    return s;
}

// A trace database archive holding one application of its own and, so that
// it takes several download blocks, 300000 bytes of incompressible padding.
bool MakeNewArchive(const ScratchDir &dir, const WCHAR *archive)
{
    WCHAR db[MAX_PATH];
    dir.File(L"new.db", db);
    std::string sql = TraceSchemaSql();
    sql += "insert into apps values (901,'UpdatedApp','from the update server',NULL,NULL,NULL,NULL);"
           "create table padding (data blob); insert into padding values (randomblob(300000));";
    if (MakeDatabase(db, sql.c_str()) != SQLITE_OK)
        return false;
    int error = 0;
    zip_t *za = zip_open(UnixPath(archive).c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (!za)
        return false;
    zip_source_t *src = zip_source_file(za, UnixPath(db).c_str(), 0, -1);
    zip_int64_t idx = zip_file_add(za, "mani.db", src, 0);
    char password[ARCHIVE_PASSWORD_LENGTH + 1];
    BuildArchivePassword(password);
    bool ok = idx >= 0 &&
              zip_file_set_encryption(za, static_cast<zip_uint64_t>(idx), ZIP_EM_TRAD_PKWARE, password) == 0;
    WipeArchivePassword(password);
    return zip_close(za) == 0 && ok;
}

int CountTemporaryFiles(const ScratchDir &dir)
{
    WCHAR pattern[MAX_PATH];
    dir.File(L"vgu*.tmp", pattern);
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW(pattern, &fd);
    if (h == INVALID_HANDLE_VALUE)
        return 0;
    int n = 0;
    do
        ++n;
    while (FindNextFileW(h, &fd));
    FindClose(h);
    return n;
}

int CountRequests(const WCHAR *log, const char *path)
{
    char text[16384];
    if (!ReadText(log, text, sizeof text))
        return 0;
    int n = 0;
    std::string all = text, needle = std::string(path) + "\t";
    for (size_t at = all.find(needle); at != std::string::npos; at = all.find(needle, at + 1))
        ++n;
    return n;
}

class UpdateCheck : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetPreferredLanguage("zh-cn");
        ASSERT_EQ(LoadLanguage(), 1);
        dir.File(L"mani.sys", archive);
        WCHAR shipped[MAX_PATH];
        BuildBinFile(L"mani.sys", shipped);
        ASSERT_TRUE(CopyFileW(shipped, archive, FALSE));
        shippedDigest = Md5OfFile(archive);
        dir.File(L"www", www);
        WCHAR vgrd[MAX_PATH];
        wsprintfW(vgrd, L"%s\\vgrd", www);
        SHCreateDirectoryExW(nullptr, vgrd, nullptr);
        Serve(L"update.txt", shippedDigest.c_str());
        Serve(L"setup.txt", "2.02");
        wsprintfW(log, L"%s\\requests.log", www);
        ASSERT_TRUE(server.Start(UnixPath(www))) << "python3 could not start the update server";
        answers.Start();
    }
    void TearDown() override
    {
        answers.Stop();
        server.Stop();
    }

    void Serve(const WCHAR *name, const char *text, const char *mode = nullptr)
    {
        WCHAR path[MAX_PATH];
        wsprintfW(path, L"%s\\vgrd\\%s", www, name);
        ASSERT_TRUE(WriteText(path, text));
        lstrcatW(path, L".mode");
        DeleteFileW(path);
        if (mode) {
            ASSERT_TRUE(WriteText(path, mode));
        }
    }
    void ServeFile(const WCHAR *name, const WCHAR *from, const char *mode = nullptr)
    {
        WCHAR path[MAX_PATH];
        wsprintfW(path, L"%s\\vgrd\\%s", www, name);
        ASSERT_TRUE(CopyFileW(from, path, FALSE));
        lstrcatW(path, L".mode");
        DeleteFileW(path);
        if (mode) {
            ASSERT_TRUE(WriteText(path, mode));
        }
    }

    int Check(int database, int program = IDNO, const WCHAR *saveAs = nullptr)
    {
        answers.Reset(database, program, saveAs);
        return CheckForUpdatesAt(nullptr, archive, L"127.0.0.1", static_cast<INTERNET_PORT>(server.port), trust);
    }

    const UpdateTrust *trust = nullptr;

    ScratchDir dir{L"update"};
    WCHAR archive[MAX_PATH], www[MAX_PATH], log[MAX_PATH];
    std::string shippedDigest;
    LocalUpdateServer server;
    Answerer answers;
};

TEST_F(UpdateCheck, NewDatabaseReplacesTheArchiveOnlyWhenCompleteAndVerified)
{
    WCHAR fresh[MAX_PATH], garbage[MAX_PATH];
    dir.File(L"fresh.zip", fresh);
    dir.File(L"garbage.zip", garbage);
    ASSERT_TRUE(MakeNewArchive(dir, fresh));
    std::string freshDigest = Md5OfFile(fresh);
    ASSERT_EQ(freshDigest.size(), 32u);

    // The archive's own digest, in upper case: nothing to offer.
    Serve(L"update.txt", Upper(shippedDigest).c_str());
    EXPECT_EQ(Check(IDYES), 1);
    EXPECT_EQ(answers.databaseAsked, 0);
    // 31 characters never offer anything, nor 32 with anything after them
    // but one line end.
    Serve(L"update.txt", freshDigest.substr(0, 31).c_str());
    EXPECT_EQ(Check(IDYES), 1);
    Serve(L"update.txt", (freshDigest + " ").c_str());
    EXPECT_EQ(Check(IDYES), 1);
    Serve(L"update.txt", (freshDigest + "\n\n").c_str());
    EXPECT_EQ(Check(IDYES), 1);
    EXPECT_EQ(answers.databaseAsked, 0);
    EXPECT_EQ(CountRequests(log, "/vgrd/update.txt"), 4);
    EXPECT_EQ(CountRequests(log, "/vgrd/setup.txt"), 4);
    EXPECT_EQ(CountRequests(log, "/vgrd/manifest.txt"), 0);  // no key: no manifest asked for

    // A different digest asks (a byte-order mark before it is fine); No
    // downloads nothing.
    ServeFile(L"mani.zip", fresh);
    Serve(L"update.txt", ("\xEF\xBB\xBF" + freshDigest + "\r\n").c_str());
    EXPECT_EQ(Check(IDNO), 1);
    EXPECT_EQ(answers.databaseAsked, 1);
    EXPECT_EQ(CountRequests(log, "/vgrd/mani.zip"), 0);
    EXPECT_EQ(Md5OfFile(archive), shippedDigest);

    // Yes, but every download that is not the archive offered leaves the old
    // one intact and no temporary file behind: cut off half-way, another
    // digest than offered, refused by the server, not an archive at all.
    ServeFile(L"mani.zip", fresh, "cut");
    EXPECT_EQ(Check(IDYES), 1);
    ServeFile(L"mani.zip", fresh);
    // (A digest that differs from the archive's own in its last digit: one
    // that ended in the digit used would offer nothing.)
    Serve(L"update.txt", (shippedDigest.substr(0, 31) + (shippedDigest[31] == '0' ? "1" : "0")).c_str());
    EXPECT_EQ(Check(IDYES), 1);
    Serve(L"update.txt", freshDigest.c_str());
    ServeFile(L"mani.zip", fresh, "status 404");
    EXPECT_EQ(Check(IDYES), 1);
    ASSERT_TRUE(WriteText(garbage, "PK\x03\x04 but no archive follows at all"));
    Serve(L"update.txt", Md5OfFile(garbage).c_str());
    ServeFile(L"mani.zip", garbage);
    EXPECT_EQ(Check(IDYES), 1);
    EXPECT_EQ(answers.databaseAsked, 1);
    EXPECT_EQ(CountRequests(log, "/vgrd/mani.zip"), 4);
    EXPECT_EQ(Md5OfFile(archive), shippedDigest);
    EXPECT_EQ(CountTemporaryFiles(dir), 0);

    // Yes to the real thing, sent without a length (read in blocks until the
    // connection ends): the archive is replaced, loads, and the next check
    // offers nothing.
    Serve(L"update.txt", Upper(freshDigest).c_str());
    ServeFile(L"mani.zip", fresh, "nolength");
    EXPECT_EQ(Check(IDYES), 1);
    EXPECT_EQ(Md5OfFile(archive), freshDigest);
    EXPECT_EQ(CountTemporaryFiles(dir), 0);
    ASSERT_EQ(LoadTraceDatabaseFromArchive(archive), TRACE_STARTUP_CONTINUE);
    ASSERT_EQ(g_appCount, 1);
    EXPECT_EQ(g_apps[0]->id, 901);
    EXPECT_WSTREQ(g_apps[0]->name, L"UpdatedApp");
    ReleaseTraceTables();
    FreeApplications();
    EXPECT_EQ(Check(IDYES), 1);
    EXPECT_EQ(answers.databaseAsked, 0);

    // Every request named the program; downloads carried the referrer.
    char text[16384];
    ASSERT_TRUE(ReadText(log, text, sizeof text));
    EXPECT_NE(strstr(text, "/vgrd/mani.zip\tTessaline Veilguard/2.0\thttp://"), nullptr) << text;
    EXPECT_EQ(answers.otherShown, 0);

    // Without an archive there is no check and no request at all.
    int before = CountRequests(log, "/vgrd/update.txt");
    ASSERT_TRUE(DeleteFileW(archive));
    EXPECT_EQ(Check(IDYES), 0);
    EXPECT_EQ(CountRequests(log, "/vgrd/update.txt"), before);
}

TEST_F(UpdateCheck, NewProgramIsOfferedForAnyOtherVersionAndSavedWhereChosen)
{
    const char *offers[] = {"2.03", "2.01", "2.0x", "2.0X\n"};
    for (const char *version : offers) {
        Serve(L"setup.txt", version);
        EXPECT_EQ(Check(IDNO, IDNO), 1);
        if (answers.programAsked != 1)
            ADD_FAILURE() << "no question for " << version;
    }
    const char *noOffers[] = {"2.02", "2.02 and then more text", ""};
    for (const char *version : noOffers) {
        Serve(L"setup.txt", version);
        EXPECT_EQ(Check(IDNO, IDYES), 1);
        if (answers.programAsked != 0)
            ADD_FAILURE() << "a question for " << version;
    }
    EXPECT_EQ(answers.saveShown, 0);

    // Yes, then Cancel in the save dialog: nothing is downloaded.
    WCHAR setup[MAX_PATH];
    dir.File(L"setup-body.bin", setup);
    ASSERT_TRUE(WriteText(setup, "the new program, packed"));
    ServeFile(L"update.zip", setup);
    Serve(L"setup.txt", "2.10");
    EXPECT_EQ(Check(IDNO, IDYES, nullptr), 1);
    EXPECT_EQ(answers.programAsked, 1);
    EXPECT_EQ(answers.saveShown, 1);
    EXPECT_EQ(CountRequests(log, "/vgrd/update.zip"), 0);

    // A file chosen and the server refusing: nothing is written.
    WCHAR target[MAX_PATH];
    dir.File(L"Setup.exe", target);
    ServeFile(L"update.zip", setup, "status 500");
    EXPECT_EQ(Check(IDNO, IDYES, target), 1);
    EXPECT_EQ(answers.saveShown, 1);
    EXPECT_EQ(CountRequests(log, "/vgrd/update.zip"), 1);
    EXPECT_FALSE(FileExists(target));

    // Answers that cannot be told from a complete program never create the
    // file: without a length (it may have ended early), cut off, or
    // announcing more than 64 MiB.
    const char *refusals[] = {"nolength", "cut", "biglength"};
    for (const char *mode : refusals) {
        ServeFile(L"update.zip", setup, mode);
        EXPECT_EQ(Check(IDNO, IDYES, target), 1);
        EXPECT_FALSE(FileExists(target)) << mode;
    }
    EXPECT_EQ(CountRequests(log, "/vgrd/update.zip"), 4);

    // The same with the server answering: the file holds the download.
    ServeFile(L"update.zip", setup);
    EXPECT_EQ(Check(IDNO, IDYES, target), 1);
    EXPECT_EQ(CountRequests(log, "/vgrd/update.zip"), 5);
    EXPECT_EQ(Md5OfFile(target), Md5OfFile(setup));
    EXPECT_EQ(CountTemporaryFiles(dir), 0);
    EXPECT_EQ(Md5OfFile(archive), shippedDigest);
    EXPECT_EQ(answers.otherShown, 0);
}

TEST_F(UpdateCheck, ServerDownOrAnsweringErrorsEndsSilentlyAndPromptly)
{
    // Error pages are no version files: no question from their text.
    Serve(L"update.txt", "0123456789abcdef0123456789abcdef", "status 404");
    Serve(L"setup.txt", "2.03", "status 503");
    EXPECT_EQ(Check(IDYES, IDYES), 0);
    EXPECT_EQ(answers.databaseAsked + answers.programAsked, 0);

    // Nobody listens any more.
    server.Stop();
    DWORD start = GetTickCount();
    EXPECT_EQ(Check(IDYES, IDYES), 0);
    EXPECT_LT(GetTickCount() - start, 10000u);
    EXPECT_EQ(answers.databaseAsked + answers.programAsked + answers.saveShown + answers.otherShown, 0);
    EXPECT_EQ(Md5OfFile(archive), shippedDigest);
}

// A server that keeps sending slowly, or stops sending, holds a download no
// longer than its time limit, and a body over the size bound is cut off;
// none of them counts.
TEST_F(UpdateCheck, DownloadStopsAtItsTimeAndSizeLimits)
{
    WCHAR body[MAX_PATH], out[MAX_PATH];
    dir.File(L"body.bin", body);
    dir.File(L"out.bin", out);
    ASSERT_TRUE(WriteText(body, "0123456789012345678901234567890123456789012345678901234567890123456789"));
    HINTERNET internet = InternetOpenW(L"test", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    ASSERT_NE(internet, nullptr);
    HINTERNET connection = InternetConnectW(internet, L"127.0.0.1", static_cast<INTERNET_PORT>(server.port),
                                            nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0);
    ASSERT_NE(connection, nullptr);

    ServeFile(L"body.bin", body, "trickle");  // 70 bytes at 5 a second: 14 s
    DWORD start = GetTickCount();
    EXPECT_EQ(HttpDownloadLimited(connection, "/vgrd/body.bin", out, 1000, 2000, TRUE), 0);
    DWORD took = GetTickCount() - start;
    EXPECT_GE(took, 2000u);
    EXPECT_LT(took, 6000u);

    // Stalled after half the body, with the check's own 30 s receive
    // time-out: the limit holds, not one time-out after it.
    DWORD timeout = kNetworkTimeoutMs;
    InternetSetOptionW(internet, INTERNET_OPTION_RECEIVE_TIMEOUT, &timeout, sizeof timeout);
    ServeFile(L"body.bin", body, "stall");
    start = GetTickCount();
    EXPECT_EQ(HttpDownloadLimited(connection, "/vgrd/body.bin", out, 1000, 3000, TRUE), 0);
    took = GetTickCount() - start;
    EXPECT_GE(took, 2500u);
    EXPECT_LT(took, 8000u);

    ServeFile(L"body.bin", body, "nolength");
    EXPECT_EQ(HttpDownloadLimited(connection, "/vgrd/body.bin", out, 69, 10000, FALSE), 0);
    EXPECT_EQ(HttpDownloadLimited(connection, "/vgrd/body.bin", out, 70, 10000, TRUE), 0);
    EXPECT_EQ(HttpDownloadLimited(connection, "/vgrd/body.bin", out, 70, 10000, FALSE), 1);
    EXPECT_EQ(Md5OfFile(out), Md5OfFile(body));
    InternetCloseHandle(connection);
    InternetCloseHandle(internet);
}

// With a key built in, nothing is believed before a manifest signed with it
// and not older than the last one accepted: each refusal offers and
// replaces nothing; a good manifest lets both updates through, checked
// against its digests.
TEST_F(UpdateCheck, SignedManifestGuardsBothUpdates)
{
    const WCHAR serialKey[] = L"Software\\Tessaline\\VeilguardTest\\Update";
    SHDeleteKeyW(HKEY_CURRENT_USER, serialKey);
    uint8_t secret[32], pub[32], otherSecret[32], otherPub[32];
    ASSERT_TRUE(MakeUpdateKeyPair(secret, pub));
    ASSERT_TRUE(MakeUpdateKeyPair(otherSecret, otherPub));
    UpdateTrust keyed = {pub, serialKey};
    trust = &keyed;

    WCHAR fresh[MAX_PATH], setup[MAX_PATH], target[MAX_PATH];
    dir.File(L"fresh.zip", fresh);
    dir.File(L"setup-body.bin", setup);
    dir.File(L"Setup.exe", target);
    ASSERT_TRUE(MakeNewArchive(dir, fresh));
    ASSERT_TRUE(WriteText(setup, "the new program, packed"));
    std::string freshDigest = Md5OfFile(fresh);
    uint8_t maniSha[64], setupSha[64], otherSha[64] = {1};
    Sha512OfFile(fresh, maniSha);
    Sha512OfFile(setup, setupSha);
    ServeFile(L"mani.zip", fresh);
    ServeFile(L"update.zip", setup);
    Serve(L"update.txt", freshDigest.c_str());
    Serve(L"setup.txt", "2.10");
    auto manifest = [&](const uint8_t *key, uint64_t serial, const char *version, const uint8_t *mani,
                        const uint8_t *update) {
        char text[UPDATE_MANIFEST_MAX_BYTES + 1];
        size_t len = FormatUnsignedManifest(serial, version, mani, update, text, sizeof text);
        len = SignUpdateManifest(key, text, len, sizeof text);
        Serve(L"manifest.txt", std::string(text, len).c_str());
    };
    auto offersNothing = [&](const char *what) {
        EXPECT_EQ(Check(IDYES, IDYES, target), 0) << what;
        EXPECT_EQ(answers.databaseAsked + answers.programAsked + answers.saveShown, 0) << what;
    };

    // Unsigned answer: no manifest at all, or a damaged one.
    offersNothing("no manifest");
    Serve(L"manifest.txt", "veilguard-manifest 1\nserial 1\n");
    offersNothing("damaged manifest");
    // Bad signature: signed with another key.
    manifest(otherSecret, 5, "2.10", maniSha, setupSha);
    offersNothing("another key");
    EXPECT_EQ(CountRequests(log, "/vgrd/manifest.txt"), 3);
    EXPECT_EQ(CountRequests(log, "/vgrd/update.txt") + CountRequests(log, "/vgrd/mani.zip"), 0);

    // Digest mismatch: a signed manifest naming other files; the downloads
    // are asked for and refused.
    manifest(secret, 5, "2.10", otherSha, otherSha);
    EXPECT_EQ(Check(IDYES, IDYES, target), 1);
    EXPECT_EQ(answers.databaseAsked, 1);
    EXPECT_EQ(answers.programAsked, 1);
    EXPECT_EQ(CountRequests(log, "/vgrd/mani.zip"), 1);
    EXPECT_EQ(CountRequests(log, "/vgrd/update.zip"), 1);
    EXPECT_EQ(Md5OfFile(archive), shippedDigest);
    EXPECT_FALSE(FileExists(target));
    // "setup.txt" offering another version than the signed one: no question.
    manifest(secret, 5, "2.11", maniSha, setupSha);
    EXPECT_EQ(Check(IDNO, IDYES, target), 1);
    EXPECT_EQ(answers.programAsked, 0);

    // The right manifest: both replaced, the serial kept.
    manifest(secret, 6, "2.10", maniSha, setupSha);
    EXPECT_EQ(Check(IDYES, IDYES, target), 1);
    EXPECT_EQ(Md5OfFile(archive), freshDigest);
    EXPECT_EQ(Md5OfFile(target), Md5OfFile(setup));
    HKEY key;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, serialKey, 0, KEY_QUERY_VALUE, &key), ERROR_SUCCESS);
    uint64_t stored = 0;
    DWORD type = 0, size = sizeof stored;
    EXPECT_EQ(RegQueryValueExW(key, L"UpdateSerial", nullptr, &type, reinterpret_cast<BYTE *>(&stored), &size),
              ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(type, static_cast<DWORD>(REG_QWORD));
    EXPECT_EQ(stored, 6u);

    // Old serial: a validly signed older manifest is refused, whatever it
    // names; the same serial again is fine.
    ASSERT_TRUE(CopyFileW(setup, archive, FALSE));
    manifest(secret, 5, "2.10", maniSha, setupSha);
    offersNothing("old serial");
    manifest(secret, 6, "2.10", maniSha, setupSha);
    EXPECT_EQ(Check(IDYES, IDNO, nullptr), 1);
    EXPECT_EQ(answers.databaseAsked, 1);
    EXPECT_EQ(Md5OfFile(archive), freshDigest);
    EXPECT_EQ(CountTemporaryFiles(dir), 0);
    EXPECT_EQ(answers.otherShown, 0);
    SHDeleteKeyW(HKEY_CURRENT_USER, L"Software\\Tessaline\\VeilguardTest");
}

} // namespace
