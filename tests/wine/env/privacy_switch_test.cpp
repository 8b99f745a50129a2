// The environment switch against Wine's registry and file system: a whole
// round trip into privacy mode on a test drive and back, and the cases a
// careless switch would break. These tests change the prefix's environment
// and shell folders, so they run alone (and put everything back).
#include "gtest_wine.h"

#include <map>

#include <dbt.h>

#include "Mount/app_state.h"
#include "Mount/language.h"
#include "Mount/main_window.h"
#include "env/item_journal.h"
#include "env/mode_marker.h"
#include "env/privacy_env.h"
#include "env/reg_trace_walk.h"
#include "env/trace_db.h"
#include "env/sqlite_win32.h"
#include "redirect/redirect_rules.h"
#include "switch_test_support.h"
#include "wine/volume/volume_support.h"

using namespace switch_test;
using volume_test::Box;
using volume_test::RunAnswering;

namespace {

const WCHAR kApp[] = L"Software\\VgSwitchApp";
const WCHAR kAppMru[] = L"Software\\VgSwitchApp\\MRU";
const WCHAR kOtherApp[] = L"Software\\VgSwitchOtherData";

std::string Expand(const WCHAR *text)
{
    WCHAR out[MAX_PATH];
    ExpandEnvironmentStringsW(text, out, MAX_PATH);
    return Utf8(out);
}

// The expanded text with its drive letter replaced.
std::string OnDrive(const WCHAR *text, char letter)
{
    std::string s = Expand(text);
    s[0] = letter;
    return s;
}

bool FolderExists(const std::string &utf8)
{
    WCHAR wide[MAX_PATH];
    MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, wide, MAX_PATH);
    DWORD a = GetFileAttributesW(wide);
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

std::string ClipboardText()
{
    std::string text;
    if (!OpenClipboard(nullptr))
        return "(not open)";
    if (HANDLE h = GetClipboardData(CF_TEXT)) {
        text = static_cast<const char *>(GlobalLock(h));
        GlobalUnlock(h);
    }
    CloseClipboard();
    return text;
}

void SetClipboardText(const char *text)
{
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, lstrlenA(text) + 1);
    lstrcpyA(static_cast<char *>(GlobalLock(h)), text);
    GlobalUnlock(h);
    SetClipboardData(CF_TEXT, h);
    CloseClipboard();
}

std::string IniValue(const WCHAR *file, const WCHAR *section, const WCHAR *key)
{
    WCHAR out[MAX_PATH] = {0};
    GetPrivateProfileStringW(section, key, L"(missing)", out, MAX_PATH, file);
    return Utf8(out);
}

std::u16string U16(const char *ascii)
{
    std::u16string s;
    while (*ascii)
        s += char16_t(*ascii++);
    return s;
}

std::string Bytes(const WCHAR *text) { return Text(REG_SZ, text).data; }

// The boxes of a switch step. The filter thread's warning that no filter
// could be loaded (none here) comes whenever that thread gets to it, and is
// titled when it comes while a step below sets the title: not the switch's.
template <typename Step>
std::vector<Box> SwitchBoxes(Step step)
{
    const std::u16string filterWarning(reinterpret_cast<const char16_t *>(GetString("WARNING360")));
    std::vector<Box> boxes;
    for (const Box &b : RunAnswering(step))
        if (b.text != filterWarning)
            boxes.push_back(b);
    return boxes;
}

// Two applications: VgSwitchApp installed with a settings file, a whole key
// and values; the other one not installed (its detection key is absent) with
// the same kinds of items.
const char kRows[] =
    "insert into apps values (1,'App','','HKCU\\Software\\VgSwitchApp',NULL,'app.exe',"
    "'%VGSW_DIR%\\app.ini');"
    "insert into apps values (2,'Other','','HKCU\\Software\\VgSwitchOther',NULL,'o.exe',"
    "'%VGSW_DIR%\\other.ini');"
    "insert into profiles values (1,'cache','%VGSW_DIR%\\cache','paths');"
    "insert into profiles values (2,'cache','%VGSW_DIR%\\cache','paths');"
    "insert into appregs values ('HKEY_CURRENT_USER','Software\\VgSwitchApp\\MRU',NULL,1);"
    "insert into appregs values ('HKEY_CURRENT_USER','Software\\VgSwitchApp','LastFile',1);"
    "insert into appregs values ('HKEY_CURRENT_USER','Software\\VgSwitchApp','Big',1);"
    "insert into appregs values ('HKEY_CURRENT_USER','Software\\VgSwitchApp','O''Brien''s',1);"
    "insert into appregs values ('HKEY_CURRENT_USER','Software\\VgSwitchApp','NeverThere',1);"
    "insert into appregs values ('HKEY_CURRENT_USER','Software\\VgSwitchOtherData',NULL,2);"
    "insert into appregs values ('HKEY_CURRENT_USER','Software\\VgSwitchApp','Orphan',0);";

class PrivacySwitch : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        SetPreferredLanguage("zh-cn");
        LoadLanguage();
    }
    void SetUp() override
    {
        SetEnvironmentVariableW(L"VGSW_DIR", work.path);
        work.File(L"app.ini", appIni);
        work.File(L"other.ini", otherIni);
        wsprintfW(appBackup, L"%s.vgrd", appIni);
        wsprintfW(otherBackup, L"%s.vgrd", otherIni);
        wsprintfW(switchDb, L"V:\\fest.sys");
        WCHAR festTemplate[MAX_PATH];
        BuildBinFile(L"fest.sys", festTemplate);
        ASSERT_TRUE(CopyFileW(festTemplate, switchDb, FALSE)) << "the test drive V: and the build's fest.sys";
    }
    void TearDown() override
    {
        FreeTables();
        SHDeleteKeyW(HKEY_CURRENT_USER, kApp);
        SHDeleteKeyW(HKEY_CURRENT_USER, kOtherApp);
        SHDeleteKeyW(HKEY_CURRENT_USER, L"Software\\VgSwitchOther");
        SetEnvironmentVariableW(L"VGSW_DIR", nullptr);
    }

    bool LoadTestTables() { return LoadTables(work, kRows); }

    // The user's environment before privacy mode: known TEMP values and the
    // ten shell folders in both keys.
    void SeedEnvironment()
    {
        WriteValue(HKEY_LOCAL_MACHINE, kSystemEnv, L"TEMP", Text(REG_EXPAND_SZ, L"%SystemRoot%\\VgSysTemp"));
        WriteValue(HKEY_LOCAL_MACHINE, kSystemEnv, L"TMP", Text(REG_EXPAND_SZ, L"%SystemRoot%\\VgSysTmp"));
        WriteValue(HKEY_CURRENT_USER, L"Environment", L"TEMP", Text(REG_EXPAND_SZ, L"%USERPROFILE%\\VgTemp"));
        WriteValue(HKEY_CURRENT_USER, L"Environment", L"TMP", Text(REG_EXPAND_SZ, L"%USERPROFILE%\\VgTmp"));
        for (int i = 0; i < SHELL_FOLDER_COUNT; ++i) {
            wsprintfW(userSeed[i], L"%%USERPROFILE%%\\VgUsf\\%s", g_shellFolderNames[i]);
            // The shell keeps "Shell Folders" in step with "User Shell
            // Folders" (it may rewrite a value whenever the environment
            // changes).
            ExpandEnvironmentStringsW(userSeed[i], shellSeed[i], MAX_PATH);
            WriteValue(HKEY_CURRENT_USER, kUserShellFolders, g_shellFolderNames[i], Text(REG_EXPAND_SZ, userSeed[i]));
            WriteValue(HKEY_CURRENT_USER, kShellFolders, g_shellFolderNames[i], Text(REG_SZ, shellSeed[i]));
        }
    }
    WCHAR userSeed[SHELL_FOLDER_COUNT][MAX_PATH], shellSeed[SHELL_FOLDER_COUNT][MAX_PATH];

    PrefixSnapshot snapshot;
    ScratchDir work{L"switch"};
    ScratchDir disk{L"switchdisk"};
    TestDrive drive{L'V', disk.path};
    WCHAR appIni[MAX_PATH], otherIni[MAX_PATH], appBackup[MAX_PATH], otherBackup[MAX_PATH], switchDb[MAX_PATH];
};

}  // namespace

TEST_F(PrivacySwitch, RoundTripMovesEverythingOntoTheDriveAndBack)
{
    SeedEnvironment();
    ASSERT_TRUE(WriteText(appIni, "[paths]\r\ncache=C:\\real\\cache\r\n"));
    ASSERT_TRUE(WriteText(otherIni, "[paths]\r\ncache=C:\\other\\cache\r\n"));
    const RegValue lastFile = Text(REG_SZ, L"C:\\work\\secret-plan.doc");
    WriteValue(HKEY_CURRENT_USER, kApp, L"LastFile", lastFile);
    RegValue big;
    big.exists = true;
    big.type = REG_BINARY;
    for (int i = 0; i < 10000; ++i)
        big.data += char('a' + i % 26);
    WriteValue(HKEY_CURRENT_USER, kApp, L"Big", big);
    WriteValue(HKEY_CURRENT_USER, kApp, L"O'Brien's", Text(REG_SZ, L"quoted"));
    WriteValue(HKEY_CURRENT_USER, kApp, L"Orphan", Text(REG_SZ, L"no application"));
    WriteValue(HKEY_CURRENT_USER, kAppMru, L"a", Text(REG_SZ, L"normal-1"));
    WriteValue(HKEY_CURRENT_USER, L"Software\\VgSwitchApp\\MRU\\Sub", L"x", Text(REG_DWORD, L"\x0007"));
    WriteValue(HKEY_CURRENT_USER, kOtherApp, L"kept", Text(REG_SZ, L"other data"));
    ASSERT_TRUE(LoadTestTables());
    SetClipboardText("copied before");

    std::vector<Box> boxes = RunAnswering([] { EnterPrivacyEnvironment(L'V'); });
    EXPECT_TRUE(boxes.empty()) << Utf8(reinterpret_cast<const WCHAR *>(boxes[0].text.c_str()));

    // Temporary folders: TMP takes TEMP's path, both on the drive.
    std::string sysTemp = OnDrive(L"%SystemRoot%\\VgSysTemp", 'V');
    EXPECT_EQ(Utf8(ReadValue(HKEY_LOCAL_MACHINE, kSystemEnv, L"TEMP")), sysTemp);
    EXPECT_EQ(Utf8(ReadValue(HKEY_LOCAL_MACHINE, kSystemEnv, L"TMP")), sysTemp);
    EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, kSystemEnv, L"TMP").type, DWORD(REG_EXPAND_SZ));
    std::string userTemp = OnDrive(L"%USERPROFILE%\\VgTemp", 'V');
    EXPECT_EQ(Utf8(ReadValue(HKEY_CURRENT_USER, L"Environment", L"TEMP")), userTemp);
    EXPECT_EQ(Utf8(ReadValue(HKEY_CURRENT_USER, L"Environment", L"TMP")), userTemp);
    // Shell folders: every one on the drive, made there.
    for (int i = 0; i < SHELL_FOLDER_COUNT; ++i) {
        RegValue u = ReadValue(HKEY_CURRENT_USER, kUserShellFolders, g_shellFolderNames[i]);
        EXPECT_EQ(Utf8(u), OnDrive(userSeed[i], 'V'));
        EXPECT_EQ(u.type, DWORD(REG_SZ));
        EXPECT_TRUE(FolderExists(Utf8(u))) << Utf8(u);
        EXPECT_EQ(Utf8(ReadValue(HKEY_CURRENT_USER, kShellFolders, g_shellFolderNames[i])), OnDrive(shellSeed[i], 'V'));
    }
    // Settings files: the installed application's entry on the drive, its
    // backup beside it; the other one untouched.
    EXPECT_EQ(IniValue(appIni, L"paths", L"cache"), OnDrive(L"%VGSW_DIR%\\cache", 'V'));
    EXPECT_EQ(IniValue(appBackup, L"paths", L"cache"), "C:\\real\\cache");
    EXPECT_EQ(IniValue(otherIni, L"paths", L"cache"), "C:\\other\\cache");
    EXPECT_FALSE(FileExists(otherBackup));
    // Registry items: contents in the switch database, the items emptied;
    // nothing created, nothing of other applications touched.
    EXPECT_EQ(KeyEntries(HKEY_CURRENT_USER, kAppMru), 0);
    EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, kApp, L"LastFile").data, "");
    EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, kApp, L"LastFile").type, DWORD(REG_SZ));
    EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, kApp, L"Big").data, "");
    EXPECT_FALSE(ReadValue(HKEY_CURRENT_USER, kApp, L"NeverThere").exists);
    EXPECT_EQ(Utf8(ReadValue(HKEY_CURRENT_USER, kApp, L"Orphan")), "no application");
    EXPECT_EQ(Utf8(ReadValue(HKEY_CURRENT_USER, kOtherApp, L"kept")), "other data");
    EXPECT_EQ(StoredValue(switchDb, "pubvalue", "Software\\VgSwitchApp", "LastFile"), lastFile.data);
    EXPECT_EQ(StoredValue(switchDb, "pubvalue", "Software\\VgSwitchApp", "Big"), big.data);
    EXPECT_EQ(StoredValue(switchDb, "pubvalue", "Software\\VgSwitchApp", "O'Brien's"), Bytes(L"quoted"));
    EXPECT_EQ(StoredValue(switchDb, "pubvalue", "Software\\VgSwitchApp", "NeverThere"), "(none)");
    EXPECT_EQ(KeyEntries(HKEY_CURRENT_USER, L"Software\\Tessaline\\Veilguard\\public"), -1) << "staging keys gone";
    EXPECT_EQ(ReadModeMarkerIsPrivate(), 1);
    EXPECT_EQ(ClipboardText(), "copied before") << "entering keeps the clipboard";

    // The entering switch could not drop the notes of two finished items (a
    // failed registry delete): they still say it had moved them out. They
    // must not make leaving skip saving what privacy mode writes into them.
    for (INT32 i = 0; i < g_regItemCount; ++i) {
        const AppRegEntry *e = g_regItems[i];
        if (IsSwitchedItem(e) && ((e->item && lstrcmpW(e->item, L"LastFile") == 0) ||
                                  (!e->item && lstrcmpiW(e->subkey, kAppMru) == 0)))
            ASSERT_EQ(WriteItemNote(e, kItemMovedOut + 1), ERROR_SUCCESS);
    }

    // Work in privacy mode.
    WriteValue(HKEY_CURRENT_USER, kApp, L"LastFile", Text(REG_SZ, L"V:\\private.txt"));
    WriteValue(HKEY_CURRENT_USER, kAppMru, L"a", Text(REG_SZ, L"private-1"));
    WriteValue(HKEY_CURRENT_USER, L"Software\\VgSwitchApp\\MRU\\Deep\\Er", L"y", Text(REG_EXPAND_SZ, L"%deep%"));

    // Entering again changes nothing.
    boxes = RunAnswering([] { EnterPrivacyEnvironment(L'V'); });
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(Utf8(ReadValue(HKEY_CURRENT_USER, L"Environment", L"TEMP")), userTemp);
    EXPECT_EQ(Utf8(ReadValue(HKEY_CURRENT_USER, kApp, L"LastFile")), "V:\\private.txt");
    EXPECT_EQ(Utf8(ReadValue(HKEY_CURRENT_USER, kAppMru, L"a")), "private-1");
    EXPECT_EQ(IniValue(appBackup, L"paths", L"cache"), "C:\\real\\cache");

    SetClipboardText("copied in privacy mode");
    boxes = RunAnswering([] { LeavePrivacyEnvironment(); });
    EXPECT_TRUE(boxes.empty());

    // Leaving again (a logoff that retries the dismount, the end of the
    // session) changes nothing: the privacy-mode contents stay stored.
    boxes = RunAnswering([] { LeavePrivacyEnvironment(); });
    EXPECT_TRUE(boxes.empty());

    // Everything is back exactly as it was, with its own type.
    EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, kSystemEnv, L"TEMP"), Text(REG_EXPAND_SZ, L"%SystemRoot%\\VgSysTemp"));
    EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, kSystemEnv, L"TMP"), Text(REG_EXPAND_SZ, L"%SystemRoot%\\VgSysTmp"));
    EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, L"Environment", L"TEMP"), Text(REG_EXPAND_SZ, L"%USERPROFILE%\\VgTemp"));
    EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, L"Environment", L"TMP"), Text(REG_EXPAND_SZ, L"%USERPROFILE%\\VgTmp"));
    for (int i = 0; i < SHELL_FOLDER_COUNT; ++i) {
        EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, kUserShellFolders, g_shellFolderNames[i]),
                  Text(REG_EXPAND_SZ, userSeed[i]));
        EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, kShellFolders, g_shellFolderNames[i]), Text(REG_SZ, shellSeed[i]))
            << Utf8(g_shellFolderNames[i]);
    }
    EXPECT_EQ(IniValue(appIni, L"paths", L"cache"), "C:\\real\\cache");
    EXPECT_FALSE(FileExists(appBackup)) << "the backup goes once the file is back";
    EXPECT_EQ(KeyEntries(HKEY_CURRENT_USER, L"Software\\Tessaline\\Veilguard\\normal\\HKEY_CURRENT_USER\\Environment"),
              0)
        << "the record forgets what it gave back";
    EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, kApp, L"LastFile"), lastFile);
    EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, kApp, L"Big"), big);
    EXPECT_EQ(Utf8(ReadValue(HKEY_CURRENT_USER, kApp, L"O'Brien's")), "quoted");
    EXPECT_EQ(Utf8(ReadValue(HKEY_CURRENT_USER, kAppMru, L"a")), "normal-1");
    EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, L"Software\\VgSwitchApp\\MRU\\Sub", L"x"), Text(REG_DWORD, L"\x0007"));
    EXPECT_EQ(KeyEntries(HKEY_CURRENT_USER, L"Software\\VgSwitchApp\\MRU\\Deep"), -1);
    EXPECT_EQ(StoredValue(switchDb, "privalue", "Software\\VgSwitchApp", "LastFile"), Bytes(L"V:\\private.txt"));
    EXPECT_LE(KeyEntries(HKEY_CURRENT_USER, L"Software\\Tessaline\\Veilguard\\unswitched"), 0) << "notes left";
    EXPECT_EQ(ClipboardText(), "");
    EXPECT_EQ(ReadModeMarkerIsPrivate(), 0);
    HKEY marker;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Tessaline\\Veilguard\\inprivate", 0, KEY_READ, &marker), 0);
    WCHAR text[32] = {0};
    DWORD bytes = sizeof text;
    RegQueryValueExW(marker, nullptr, nullptr, nullptr, reinterpret_cast<BYTE *>(text), &bytes);
    RegCloseKey(marker);
    EXPECT_EQ(Utf8(text), "inpublic");
    EXPECT_EQ(KeyEntries(HKEY_CURRENT_USER, L"Software\\Tessaline\\Veilguard\\private"), -1);

    // A change made in normal mode between two sessions is kept.
    ASSERT_TRUE(WriteText(appIni, "[paths]\r\ncache=C:\\moved\\cache\r\n"));

    // The next session finds its privacy-mode contents again, whole keys
    // with their types and sub-keys.
    boxes = RunAnswering([] { EnterPrivacyEnvironment(L'V'); });
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(Utf8(ReadValue(HKEY_CURRENT_USER, kApp, L"LastFile")), "V:\\private.txt");
    EXPECT_EQ(Utf8(ReadValue(HKEY_CURRENT_USER, kAppMru, L"a")), "private-1");
    EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, L"Software\\VgSwitchApp\\MRU\\Deep\\Er", L"y"),
              Text(REG_EXPAND_SZ, L"%deep%"));
    EXPECT_EQ(KeyEntries(HKEY_CURRENT_USER, L"Software\\VgSwitchApp\\MRU\\Sub"), -1);
    RunAnswering([] { LeavePrivacyEnvironment(); });
    EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, kApp, L"LastFile"), lastFile);
    EXPECT_EQ(IniValue(appIni, L"paths", L"cache"), "C:\\moved\\cache");
    EXPECT_EQ(Utf8(ReadValue(HKEY_CURRENT_USER, kAppMru, L"a")), "normal-1");
}

TEST_F(PrivacySwitch, FaultsStayLocalAndNothingIsOverwritten)
{
    WriteValue(HKEY_CURRENT_USER, kApp, L"LastFile", Text(REG_SZ, L"x"));
    ASSERT_TRUE(LoadTestTables());
    SeedEnvironment();
    // Leaving in a run that never entered: nothing was recorded, so nothing
    // is written (no defaults), and without a drive the items stay.
    BindRedirectionDrive(nullptr, nullptr);
    std::vector<Box> boxes = RunAnswering([] { LeavePrivacyEnvironment(); });
    EXPECT_TRUE(boxes.empty());
    for (int i = 0; i < SHELL_FOLDER_COUNT; ++i)
        EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, kUserShellFolders, g_shellFolderNames[i]),
                  Text(REG_EXPAND_SZ, userSeed[i]));
    EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, L"Environment", L"TEMP"), Text(REG_EXPAND_SZ, L"%USERPROFILE%\\VgTemp"));
    EXPECT_EQ(Utf8(ReadValue(HKEY_CURRENT_USER, kApp, L"LastFile")), "x");
    EXPECT_FALSE(ReadValue(HKEY_CURRENT_USER, L"Software\\Tessaline\\Veilguard\\inprivate", nullptr).exists);

    // One shell folder missing, one too long for the copies, one empty.
    WriteValue(HKEY_CURRENT_USER, kShellFolders, L"NetHood", RegValue());
    WCHAR longPath[400] = L"%USERPROFILE%\\";
    for (int i = lstrlenW(longPath); i < 300; ++i)
        longPath[i] = L'x';
    longPath[300] = 0;
    WriteValue(HKEY_CURRENT_USER, kUserShellFolders, L"Recent", Text(REG_EXPAND_SZ, longPath));
    WriteValue(HKEY_CURRENT_USER, kShellFolders, L"Favorites", Text(REG_SZ, L""));
    // A backup an earlier version left from its first session is not the
    // file as it is now: it is made afresh.
    ASSERT_TRUE(WriteText(appIni, "[paths]\r\ncache=C:\\current\r\n"));
    ASSERT_TRUE(WriteText(appBackup, "[paths]\r\ncache=C:\\before-first-switch\r\n"));

    // A registry item that cannot be copied: a sub-key that is a link to a
    // key that does not exist.
    HKEY link;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\VgSwitchApp\\MRU\\Closed", 0, nullptr,
                              REG_OPTION_CREATE_LINK | REG_OPTION_VOLATILE, KEY_ALL_ACCESS | KEY_CREATE_LINK, nullptr,
                              &link, nullptr),
              0);
    static const WCHAR target[] = L"\\Registry\\Machine\\Software\\VgNoSuchKey";
    ASSERT_EQ(RegSetValueExW(link, L"SymbolicLinkValue", 0, REG_LINK, reinterpret_cast<const BYTE *>(target),
                             sizeof(target) - sizeof(WCHAR)),
              0);
    RegCloseKey(link);
    WriteValue(HKEY_CURRENT_USER, kAppMru, L"a", Text(REG_SZ, L"normal-1"));

    boxes = SwitchBoxes([] { EnterPrivacyEnvironment(L'V'); });
    // One box each for the missing and the too long value; the others moved.
    // The item that cannot be copied stays where it is, and its registry
    // error shows above the Converting dialog, which owns it.
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_EQ(Utf8(reinterpret_cast<const WCHAR *>(boxes[2].ownerTitle.c_str())), Utf8(GetString("IDD_MOUNT_DLG")));
    EXPECT_EQ(Utf8(ReadValue(HKEY_CURRENT_USER, kAppMru, L"a")), "normal-1");
    EXPECT_FALSE(ReadValue(HKEY_CURRENT_USER, kShellFolders, L"NetHood").exists);
    EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, kUserShellFolders, L"Recent"), Text(REG_EXPAND_SZ, longPath));
    for (int i = 0; i < SHELL_FOLDER_COUNT; ++i) {
        if (lstrcmpW(g_shellFolderNames[i], L"NetHood") == 0 || lstrcmpW(g_shellFolderNames[i], L"Recent") == 0)
            continue;
        EXPECT_EQ(Utf8(ReadValue(HKEY_CURRENT_USER, kShellFolders, g_shellFolderNames[i])), OnDrive(userSeed[i], 'V'))
            << Utf8(g_shellFolderNames[i]);
    }
    EXPECT_EQ(IniValue(appBackup, L"paths", L"cache"), "C:\\current");

    RunAnswering([] { LeavePrivacyEnvironment(); });
    EXPECT_EQ(IniValue(appIni, L"paths", L"cache"), "C:\\current");
    // The values left alone on entering are not overwritten on leaving.
    EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, kUserShellFolders, L"Recent"), Text(REG_EXPAND_SZ, longPath));
    EXPECT_FALSE(ReadValue(HKEY_CURRENT_USER, kShellFolders, L"NetHood").exists);
    EXPECT_EQ(Utf8(ReadValue(HKEY_CURRENT_USER, kApp, L"LastFile")), "x");
    EXPECT_EQ(Utf8(ReadValue(HKEY_CURRENT_USER, kAppMru, L"a")), "normal-1");

    typedef LONG(WINAPI * NtDeleteKeyFn)(HANDLE);
    NtDeleteKeyFn ntDeleteKey =
        reinterpret_cast<NtDeleteKeyFn>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtDeleteKey"));
    if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\VgSwitchApp\\MRU\\Closed", REG_OPTION_OPEN_LINK, DELETE,
                      &link) == 0) {
        ntDeleteKey(link);
        RegCloseKey(link);
    }
}

TEST(RegTraceWalk, CountsAndDeletesWhatItCanOpen)
{
    const WCHAR root[] = L"Software\\VgWalkTest";
    SHDeleteKeyW(HKEY_CURRENT_USER, root);
    WriteValue(HKEY_CURRENT_USER, root, L"v1", Text(REG_SZ, L"12345"));                  // 12 bytes
    WriteValue(HKEY_CURRENT_USER, L"Software\\VgWalkTest\\Open", L"v2", Text(REG_SZ, L"a"));  // 4 bytes
    WriteValue(HKEY_CURRENT_USER, L"Software\\VgWalkTest\\Open\\Deeper", L"v3", Text(REG_SZ, L"")); // 2 bytes
    // A sub-key that cannot be opened: a link to a key that does not exist.
    HKEY link;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\VgWalkTest\\Closed", 0, nullptr,
                              REG_OPTION_CREATE_LINK | REG_OPTION_VOLATILE, KEY_ALL_ACCESS | KEY_CREATE_LINK, nullptr,
                              &link, nullptr),
              0);
    static const WCHAR target[] = L"\\Registry\\Machine\\Software\\VgNoSuchKey";
    ASSERT_EQ(RegSetValueExW(link, L"SymbolicLinkValue", 0, REG_LINK, reinterpret_cast<const BYTE *>(target),
                             sizeof(target) - sizeof(WCHAR)),
              0);
    RegCloseKey(link);

    UINT64 count = 0, bytes = 0;
    MeasureRegTrace(HKEY_CURRENT_USER, root, nullptr, &count, &bytes);
    EXPECT_EQ(count, 3u);
    EXPECT_EQ(bytes, 18u);
    count = bytes = 0;
    MeasureRegTrace(HKEY_CURRENT_USER, root, L"v1", &count, &bytes);
    EXPECT_EQ(count, 1u);
    EXPECT_EQ(bytes, 12u);

    count = bytes = 0;
    EXPECT_EQ(DeleteRegTrace(HKEY_CURRENT_USER, root, nullptr, &count, &bytes), 0) << "the closed sub-key stays";
    EXPECT_EQ(count, 3u);
    EXPECT_EQ(bytes, 18u);
    EXPECT_EQ(KeyEntries(HKEY_CURRENT_USER, L"Software\\VgWalkTest\\Open"), -1);
    EXPECT_FALSE(ReadValue(HKEY_CURRENT_USER, root, L"v1").exists);

    // Clean-up: the link itself is deleted through a handle to it.
    typedef LONG(WINAPI * NtDeleteKeyFn)(HANDLE);
    NtDeleteKeyFn ntDeleteKey =
        reinterpret_cast<NtDeleteKeyFn>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtDeleteKey"));
    if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\VgWalkTest\\Closed", REG_OPTION_OPEN_LINK, DELETE, &link) == 0) {
        ntDeleteKey(link);
        RegCloseKey(link);
    }
    count = bytes = 0;
    EXPECT_EQ(DeleteRegTrace(HKEY_CURRENT_USER, root, nullptr, &count, &bytes), 1);
    EXPECT_EQ(DeleteRegTrace(HKEY_CURRENT_USER, root, L"v1", &count, &bytes), 0);
}

// Runs in the child process of KilledSessionLosesNothing: enters privacy
// mode, or only moves the locations (VGSW_KILLAT=folders: killed before the
// marker is written), and is killed without leaving it. With
// VGSW_KILLAT=entering or leaving it is killed while the registry items
// move: as soon as the item "v20" has changed.
namespace {
DWORD WINAPI KillWhenItemMoved(LPVOID)
{
    HKEY key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\VgSwitchApp", 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return 1;
    BYTE first[256] = {0}, now[256];
    DWORD firstSize = sizeof first;
    RegQueryValueExW(key, L"v20", nullptr, nullptr, first, &firstSize);
    for (;;) {
        DWORD size = sizeof now;
        memset(now, 0, sizeof now);
        if (RegQueryValueExW(key, L"v20", nullptr, nullptr, now, &size) == ERROR_SUCCESS &&
            (size != firstSize || memcmp(now, first, size) != 0))
            TerminateProcess(GetCurrentProcess(), 9);
    }
}
}  // namespace

TEST(PrivacySwitchChild, DISABLED_EnterThenKilled)
{
    WCHAR db[MAX_PATH], killAt[32] = {0};
    ASSERT_TRUE(GetEnvironmentVariableW(L"VGSW_DB", db, MAX_PATH));
    GetEnvironmentVariableW(L"VGSW_KILLAT", killAt, 32);
    ASSERT_EQ(OpenTraceDatabase(db), 1);
    ASSERT_TRUE(LoadApplications() && LoadRegistryItems() && LoadProfiles());
    sqlite3_close(g_traceDb);
    g_traceDb = nullptr;
    if (lstrcmpW(killAt, L"folders") == 0) {
        RecordTempFolders();
        RecordShellFolders();
        RedirectSystemTemp(L'V');
        RedirectUserTemp(L'V');
        RedirectUserShellFolders(L'V');
        RedirectShellFolders(L'V');
        RedirectAppProfiles(L'V');
    } else if (lstrcmpW(killAt, L"leaving") == 0) {
        // A start in privacy mode on W:, then a logoff.
        ResumePrivacyEnvironment(L'W');
        CloseHandle(CreateThread(nullptr, 0, KillWhenItemMoved, nullptr, 0, nullptr));
        LeavePrivacyEnvironment();
    } else {
        if (lstrcmpW(killAt, L"entering") == 0)
            CloseHandle(CreateThread(nullptr, 0, KillWhenItemMoved, nullptr, 0, nullptr));
        EnterPrivacyEnvironment(L'V');
    }
    TerminateProcess(GetCurrentProcess(), 9);
}

namespace {

// Every value of a key, by name.
std::map<std::u16string, RegValue> WholeKey(HKEY root, const WCHAR *path)
{
    std::map<std::u16string, RegValue> out;
    HKEY key;
    if (RegOpenKeyExW(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return out;
    static WCHAR name[16384];
    static BYTE data[65536];
    for (DWORD i = 0;; ++i) {
        DWORD length = ARRAYSIZE(name), bytes = sizeof data, type = 0;
        if (RegEnumValueW(key, i, name, &length, nullptr, &type, data, &bytes) != ERROR_SUCCESS)
            break;
        RegValue v;
        v.exists = true;
        v.type = type;
        v.data.assign(reinterpret_cast<const char *>(data), bytes);
        out[std::u16string(reinterpret_cast<const char16_t *>(name), length)] = v;
    }
    RegCloseKey(key);
    return out;
}

// What the user's normal-mode environment is made of: the four keys whole
// and the settings file's bytes.
struct NormalEnvironment {
    std::map<std::u16string, RegValue> keys[4];
    std::string settings;
};

// The names whose values differ, for messages.
std::string Differences(const NormalEnvironment &a, const NormalEnvironment &b)
{
    std::string out;
    for (int k = 0; k < 4; ++k) {
        std::map<std::u16string, RegValue> all = a.keys[k];
        all.insert(b.keys[k].begin(), b.keys[k].end());
        for (const auto &entry : all) {
            auto x = a.keys[k].find(entry.first), y = b.keys[k].find(entry.first);
            RegValue before = x == a.keys[k].end() ? RegValue() : x->second;
            RegValue after = y == b.keys[k].end() ? RegValue() : y->second;
            if (!(before == after))
                out += Utf8(reinterpret_cast<const WCHAR *>(entry.first.c_str())) + ": " + Utf8(before) + " -> " +
                       Utf8(after) + "\n";
        }
    }
    if (a.settings != b.settings)
        out += "settings: " + a.settings + " -> " + b.settings;
    return out;
}

NormalEnvironment Capture(const WCHAR *settingsFile)
{
    NormalEnvironment e;
    e.keys[0] = WholeKey(HKEY_LOCAL_MACHINE, kSystemEnv);
    e.keys[1] = WholeKey(HKEY_CURRENT_USER, L"Environment");
    e.keys[2] = WholeKey(HKEY_CURRENT_USER, kShellFolders);
    e.keys[3] = WholeKey(HKEY_CURRENT_USER, kUserShellFolders);
    char text[4096] = {0};
    if (ReadText(settingsFile, text, sizeof text - 1))
        e.settings = text;
    return e;
}

// Values enough that the item loop lasts while a child is killed in it.
const int kManyValues = 40;
const WCHAR *ManyName(int i)
{
    static WCHAR names[kManyValues][8];
    wsprintfW(names[i], L"v%d", i);
    return names[i];
}
std::string ManyRows()
{
    std::string rows;
    for (int i = 0; i < kManyValues; ++i)
        rows += "insert into appregs values ('HKEY_CURRENT_USER','Software\\VgSwitchApp','v" + std::to_string(i) + "',1);";
    return rows;
}

// Starts this test program as a child that runs the test above and is
// killed at the point named; its exit code.
DWORD RunKilledChild(const WCHAR *db, const WCHAR *killAt)
{
    WCHAR self[MAX_PATH], command[MAX_PATH + 128];
    SetEnvironmentVariableW(L"VGSW_DB", db);
    SetEnvironmentVariableW(L"VGSW_KILLAT", killAt);
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    if (!StrStrIW(self, L".exe.so"))
        lstrcatW(self, L".so");  // a Winelib program starts through its .so
    wsprintfW(command, L"\"%s\" --gtest_also_run_disabled_tests --gtest_filter=PrivacySwitchChild.*", self);
    STARTUPINFOW si = {sizeof(si)};
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessW(nullptr, command, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return 0xFFFFFFFF;
    if (WaitForSingleObject(pi.hProcess, 60000) != WAIT_OBJECT_0)
        TerminateProcess(pi.hProcess, 1);
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    SetEnvironmentVariableW(L"VGSW_DB", nullptr);
    SetEnvironmentVariableW(L"VGSW_KILLAT", nullptr);
    return code;
}

}  // namespace

TEST_F(PrivacySwitch, KilledSessionLosesNothing)
{
    SeedEnvironment();
    const RegValue lastFile = Text(REG_SZ, L"C:\\work\\plan.doc");
    WriteValue(HKEY_CURRENT_USER, kApp, L"LastFile", lastFile);
    WriteValue(HKEY_CURRENT_USER, kAppMru, L"a", Text(REG_SZ, L"normal-1"));
    ASSERT_TRUE(WriteText(appIni, "[paths]\r\ncache=C:\\real\\cache\r\n"));
    WCHAR db[MAX_PATH];
    work.File(L"child.db", db);
    ASSERT_EQ(MakeDatabase(db, (std::string(TraceSchemaSql()) + kRows + ManyRows()).c_str()), SQLITE_OK);
    const NormalEnvironment before = Capture(appIni);
    // The next starts find the volume on another drive letter (the old one
    // still taken, or another device on it after a reboot).
    TestDrive other{L'W', disk.path};
    ASSERT_TRUE(other.ok);

    // Killed after the locations moved, before the marker was written.
    ASSERT_EQ(RunKilledChild(db, L"folders"), 9u);
    EXPECT_EQ(ReadModeMarkerIsPrivate(), 0);
    EXPECT_EQ(Utf8(ReadValue(HKEY_CURRENT_USER, L"Environment", L"TEMP")), OnDrive(L"%USERPROFILE%\\VgTemp", 'V'));
    // The fresh start logs in on W: and then logs off.
    ASSERT_TRUE(LoadTables(work, (kRows + ManyRows()).c_str()));
    EXPECT_TRUE(RunAnswering([] { EnterPrivacyEnvironment(L'W'); }).empty());
    EXPECT_EQ(Utf8(ReadValue(HKEY_CURRENT_USER, L"Environment", L"TEMP")), OnDrive(L"%USERPROFILE%\\VgTemp", 'W'));
    EXPECT_EQ(Utf8(ReadValue(HKEY_CURRENT_USER, kUserShellFolders, L"Desktop")), OnDrive(userSeed[2], 'W'));
    EXPECT_EQ(IniValue(appIni, L"paths", L"cache"), OnDrive(L"%VGSW_DIR%\\cache", 'W'));
    EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, kApp, L"LastFile").data, "");
    EXPECT_TRUE(RunAnswering([] { LeavePrivacyEnvironment(); }).empty());
    EXPECT_EQ(Differences(before, Capture(appIni)), "") << "after a session cut off before the marker";
    EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, kApp, L"LastFile"), lastFile);
    EXPECT_EQ(Utf8(ReadValue(HKEY_CURRENT_USER, kAppMru, L"a")), "normal-1");

    // Killed in privacy mode. What outlived the process: the marker, the
    // switched registry items and the normal-mode contents in the switch
    // database on the drive.
    ASSERT_EQ(RunKilledChild(db, L"entered"), 9u) << "the child entered privacy mode and was killed";
    EXPECT_EQ(ReadModeMarkerIsPrivate(), 1);
    EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, kApp, L"LastFile").data, "");
    EXPECT_EQ(KeyEntries(HKEY_CURRENT_USER, kAppMru), 0);
    EXPECT_EQ(StoredValue(switchDb, "pubvalue", "Software\\VgSwitchApp", "LastFile"), lastFile.data);

    // The next start, on W: again, working on in privacy mode: every
    // location follows the volume; the items are not switched again.
    WriteValue(HKEY_CURRENT_USER, kApp, L"LastFile", Text(REG_SZ, L"W:\\after-restart.txt"));
    EXPECT_TRUE(RunAnswering([] { EnterPrivacyEnvironment(L'W'); }).empty());
    EXPECT_EQ(Utf8(ReadValue(HKEY_CURRENT_USER, L"Environment", L"TEMP")), OnDrive(L"%USERPROFILE%\\VgTemp", 'W'));
    EXPECT_EQ(Utf8(ReadValue(HKEY_LOCAL_MACHINE, kSystemEnv, L"TMP")), OnDrive(L"%SystemRoot%\\VgSysTemp", 'W'));
    EXPECT_EQ(Utf8(ReadValue(HKEY_CURRENT_USER, kShellFolders, L"Personal")), OnDrive(shellSeed[7], 'W'));
    EXPECT_EQ(IniValue(appIni, L"paths", L"cache"), OnDrive(L"%VGSW_DIR%\\cache", 'W'));
    EXPECT_EQ(Utf8(ReadValue(HKEY_CURRENT_USER, kApp, L"LastFile")), "W:\\after-restart.txt");
    EXPECT_EQ(StoredValue(switchDb, "pubvalue", "Software\\VgSwitchApp", "LastFile"), lastFile.data);
    EXPECT_TRUE(RunAnswering([] { LeavePrivacyEnvironment(); }).empty());
    EXPECT_EQ(Differences(before, Capture(appIni)), "") << "after a session killed in privacy mode";
    EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, kApp, L"LastFile"), lastFile);
    EXPECT_EQ(Utf8(ReadValue(HKEY_CURRENT_USER, kAppMru, L"a")), "normal-1");
    EXPECT_EQ(StoredValue(switchDb, "privalue", "Software\\VgSwitchApp", "LastFile"), Bytes(L"W:\\after-restart.txt"));
    EXPECT_EQ(ReadModeMarkerIsPrivate(), 0);

    // Killed while the registry items move into privacy mode: some moved,
    // some not. The next start goes on with the ones left, and its logoff
    // gives back the whole key of normal mode.
    for (int i = 0; i < kManyValues; ++i)
        WriteValue(HKEY_CURRENT_USER, kApp, ManyName(i), Text(REG_SZ, ManyName(i)));
    const auto normalApp = WholeKey(HKEY_CURRENT_USER, kApp), normalMru = WholeKey(HKEY_CURRENT_USER, kAppMru);
    ASSERT_EQ(RunKilledChild(db, L"entering"), 9u);
    EXPECT_EQ(Utf8(ReadValue(HKEY_CURRENT_USER, kApp, ManyName(kManyValues - 1))), Utf8(ManyName(kManyValues - 1)))
        << "the child was killed after the last item moved";
    std::vector<Box> boxes = SwitchBoxes([] { EnterPrivacyEnvironment(L'W'); });
    EXPECT_TRUE(boxes.empty());
    for (int i = 0; i < kManyValues; ++i)
        EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, kApp, ManyName(i)).data, "") << "no privacy-mode contents yet";
    EXPECT_EQ(KeyEntries(HKEY_CURRENT_USER, kAppMru), 0);
    // Privacy-mode work, then the logoff.
    WriteValue(HKEY_CURRENT_USER, kApp, L"LastFile", Text(REG_SZ, L"W:\\private-2.txt"));
    WriteValue(HKEY_CURRENT_USER, kApp, ManyName(kManyValues - 1), Text(REG_SZ, L"private-last"));
    WriteValue(HKEY_CURRENT_USER, kAppMru, L"p", Text(REG_SZ, L"private-mru"));
    const auto privateApp = WholeKey(HKEY_CURRENT_USER, kApp), privateMru = WholeKey(HKEY_CURRENT_USER, kAppMru);
    EXPECT_TRUE(SwitchBoxes([] { LeavePrivacyEnvironment(); }).empty());
    EXPECT_TRUE(WholeKey(HKEY_CURRENT_USER, kApp) == normalApp) << "normal mode after a kill while entering";
    EXPECT_TRUE(WholeKey(HKEY_CURRENT_USER, kAppMru) == normalMru);
    EXPECT_EQ(Differences(before, Capture(appIni)), "");

    // Killed while the items move back (a start in privacy mode, then its
    // logoff): the next logoff goes on with the items left; both modes keep
    // their whole keys.
    boxes = SwitchBoxes([] { EnterPrivacyEnvironment(L'W'); });
    EXPECT_TRUE(boxes.empty());
    EXPECT_TRUE(WholeKey(HKEY_CURRENT_USER, kApp) == privateApp) << "privacy mode after a kill while entering";
    ASSERT_EQ(RunKilledChild(db, L"leaving"), 9u);
    EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, kApp, ManyName(kManyValues - 1)).data,
              Text(REG_SZ, L"private-last").data)
        << "the child was killed after the last item moved";
    EXPECT_EQ(ReadModeMarkerIsPrivate(), 1);
    EXPECT_TRUE(SwitchBoxes([] { LeavePrivacyEnvironment(); }).empty());
    EXPECT_TRUE(WholeKey(HKEY_CURRENT_USER, kApp) == normalApp) << "normal mode after a kill while leaving";
    EXPECT_TRUE(WholeKey(HKEY_CURRENT_USER, kAppMru) == normalMru);
    EXPECT_EQ(ReadModeMarkerIsPrivate(), 0);
    EXPECT_TRUE(SwitchBoxes([] { EnterPrivacyEnvironment(L'W'); }).empty());
    EXPECT_TRUE(WholeKey(HKEY_CURRENT_USER, kApp) == privateApp) << "privacy mode after a kill while leaving";
    EXPECT_TRUE(WholeKey(HKEY_CURRENT_USER, kAppMru) == privateMru);
    EXPECT_TRUE(SwitchBoxes([] { LeavePrivacyEnvironment(); }).empty());
    EXPECT_TRUE(WholeKey(HKEY_CURRENT_USER, kApp) == normalApp);
    EXPECT_EQ(KeyEntries(HKEY_CURRENT_USER, L"Software\\Tessaline\\Veilguard\\unswitched"), 0)
        << "every item finished";
}

namespace {
struct SwitchRun {
    int mode;
};
DWORD WINAPI RunSwitch(LPVOID param)
{
    SwitchRegistryState(static_cast<SwitchRun *>(param)->mode);
    return 0;
}
}  // namespace

TEST_F(PrivacySwitch, ConvertingDialogShowsWhileItemsMove)
{
    // Enough items that the switch lasts a while.
    std::string rows = "insert into apps values (1,'App','','HKCU\\Software\\VgSwitchApp',NULL,'a.exe',NULL);";
    for (int i = 0; i < 400; ++i) {
        WCHAR name[16];
        wsprintfW(name, L"v%d", i);
        WriteValue(HKEY_CURRENT_USER, kApp, name, Text(REG_SZ, L"normal"));
        rows += "insert into appregs values ('HKEY_CURRENT_USER','Software\\VgSwitchApp','v" + std::to_string(i) +
                "',1);";
    }
    ASSERT_TRUE(LoadTables(work, rows.c_str()));
    BindRedirectionDrive(L"V:", L"\\Device\\VgTest");

    SwitchRun run{1};
    HANDLE thread = CreateThread(nullptr, 0, RunSwitch, &run, 0, nullptr);
    HWND dialog = nullptr;
    for (int i = 0; i < 2000 && !dialog; ++i) {
        dialog = FindWindowW(L"#32770", GetString("IDD_MOUNT_DLG"));
        if (!dialog)
            Sleep(5);
    }
    ASSERT_NE(dialog, nullptr) << "no Converting dialog while the items moved";
    Sleep(300);  // painted on creation; let the bar move a little
    WCHAR title[64] = {0}, text[128] = {0};
    // The switching thread answers no messages: read the texts directly.
    InternalGetWindowText(dialog, title, 64);
    InternalGetWindowText(GetDlgItem(dialog, 19028), text, 128);
    EXPECT_EQ(Utf8(title), Utf8(GetString("IDD_MOUNT_DLG")));
    EXPECT_EQ(Utf8(text), Utf8(GetString("IDC_CONVERTING")));
    EXPECT_TRUE(GetWindowLongW(dialog, GWL_EXSTYLE) & WS_EX_TOPMOST);
    // The text is drawn in red.
    RECT r;
    GetWindowRect(GetDlgItem(dialog, 19028), &r);
    HDC screen = GetDC(nullptr);
    int red = 0;
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x)
            red += GetPixel(screen, x, y) == RGB(255, 0, 0);
    ReleaseDC(nullptr, screen);
    system("mkdir -p '" VG_SHOTS "' && import -window root '" VG_SHOTS "/converting-dialog.png' 2>/dev/null");
    EXPECT_GT(red, 20) << "red pixels in the text";
    ASSERT_EQ(WaitForSingleObject(thread, 120000), WAIT_OBJECT_0);
    CloseHandle(thread);
    EXPECT_EQ(g_hConvertingDlg, nullptr);
    EXPECT_FALSE(IsWindow(dialog));
    EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, kApp, L"v399").data, "");
    EXPECT_EQ(StoredValue(switchDb, "pubvalue", "Software\\VgSwitchApp", "v399"), Bytes(L"normal"));
}

namespace {

// The write lock of a database, taken through a connection of its own.
struct DatabaseLock {
    sqlite3 *db = nullptr;
    bool Take(const WCHAR *path)
    {
        return OpenSqliteAtPath(path, SQLITE_OPEN_READWRITE, &db) == SQLITE_OK &&
               sqlite3_exec(db, "begin immediate", nullptr, nullptr, nullptr) == SQLITE_OK;
    }
    void Release()
    {
        if (db) {
            sqlite3_exec(db, "commit", nullptr, nullptr, nullptr);
            sqlite3_close(db);
        }
        db = nullptr;
    }
    ~DatabaseLock() { Release(); }
};

// Takes the lock as soon as the Converting dialog shows: the items are
// moving then.
struct LockWhileConverting {
    const WCHAR *path;
    DatabaseLock lock;
    bool taken = false;
};

DWORD WINAPI LockOnConvertingDialog(LPVOID param)
{
    LockWhileConverting *l = static_cast<LockWhileConverting *>(param);
    for (int i = 0; i < 12000 && !l->taken; ++i) {
        if (FindWindowW(L"#32770", GetString("IDD_MOUNT_DLG")))
            l->taken = l->lock.Take(l->path);
        else
            Sleep(5);
    }
    return 0;
}

const WCHAR kPublicStagingMru[] = L"Software\\Tessaline\\Veilguard\\public\\Software\\VgSwitchApp\\MRU";

}  // namespace

TEST_F(PrivacySwitch, UnwritableSwitchDatabaseLosesNothing)
{
    // Enough values that the switch lasts a while; the whole key last.
    std::string rows = "insert into apps values (1,'App','','HKCU\\Software\\VgSwitchApp',NULL,'a.exe',NULL);";
    const int kValues = 300;
    for (int i = 0; i < kValues; ++i) {
        WCHAR name[16];
        wsprintfW(name, L"v%d", i);
        WriteValue(HKEY_CURRENT_USER, kApp, name, Text(REG_SZ, L"normal"));
        rows += "insert into appregs values ('HKEY_CURRENT_USER','Software\\VgSwitchApp','v" + std::to_string(i) +
                "',1);";
    }
    rows += "insert into appregs values ('HKEY_CURRENT_USER','Software\\VgSwitchApp\\MRU',NULL,1);";
    WriteValue(HKEY_CURRENT_USER, kAppMru, L"a", Text(REG_SZ, L"normal-1"));
    ASSERT_TRUE(LoadTables(work, rows.c_str()));
    auto allNormal = [&] {
        int normal = 0;
        for (int i = 0; i < kValues; ++i) {
            WCHAR name[16];
            wsprintfW(name, L"v%d", i);
            normal += ReadValue(HKEY_CURRENT_USER, kApp, name) == Text(REG_SZ, L"normal");
        }
        return normal;
    };

    // Not writable when the switch starts: no item moves, the user is told.
    {
        DatabaseLock held;
        ASSERT_TRUE(held.Take(switchDb));
        std::vector<Box> boxes = RunAnswering([] { EnterPrivacyEnvironment(L'V'); });
        EXPECT_EQ(boxes.size(), 1u);
    }
    EXPECT_EQ(ReadModeMarkerIsPrivate(), 0);
    EXPECT_EQ(allNormal(), kValues);
    EXPECT_EQ(Utf8(ReadValue(HKEY_CURRENT_USER, kAppMru, L"a")), "normal-1");
    EXPECT_TRUE(RunAnswering([] { LeavePrivacyEnvironment(); }).empty());
    EXPECT_EQ(allNormal(), kValues);

    // Unwritable while the items move: the values it could not store stay
    // as they are, the whole key waits in its staging key and in the hive
    // on the drive, and the user is told.
    LockWhileConverting watcher{switchDb};
    HANDLE thread = CreateThread(nullptr, 0, LockOnConvertingDialog, &watcher, 0, nullptr);
    std::vector<Box> boxes = RunAnswering([] { EnterPrivacyEnvironment(L'V'); });
    WaitForSingleObject(thread, 70000);
    CloseHandle(thread);
    ASSERT_TRUE(watcher.taken) << "no Converting dialog";
    EXPECT_GE(boxes.size(), 1u);
    EXPECT_EQ(ReadModeMarkerIsPrivate(), 1);
    EXPECT_EQ(KeyEntries(HKEY_CURRENT_USER, kAppMru), 0);
    EXPECT_EQ(Utf8(ReadValue(HKEY_CURRENT_USER, kPublicStagingMru, L"a")), "normal-1");
    EXPECT_TRUE(FileExists(L"V:\\switch.hiv"));
    WCHAR temp[MAX_PATH], pattern[MAX_PATH + 8];
    GetTempPathW(MAX_PATH, temp);
    wsprintfW(pattern, L"%sREG*.tmp", temp);
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(pattern, &found);
    EXPECT_EQ(search, INVALID_HANDLE_VALUE) << "a hive on the real disk: " << Utf8(found.cFileName);
    if (search != INVALID_HANDLE_VALUE)
        FindClose(search);
    int switched = kValues - allNormal();
    WriteValue(HKEY_CURRENT_USER, kAppMru, L"a", Text(REG_SZ, L"private-1"));

    // Still unwritable: the next switch does not start, nothing is lost.
    boxes = RunAnswering([] { LeavePrivacyEnvironment(); });
    EXPECT_EQ(boxes.size(), 1u);
    EXPECT_EQ(Utf8(ReadValue(HKEY_CURRENT_USER, kPublicStagingMru, L"a")), "normal-1");
    EXPECT_EQ(Utf8(ReadValue(HKEY_CURRENT_USER, kAppMru, L"a")), "private-1");
    EXPECT_EQ(ReadModeMarkerIsPrivate(), 1);

    // Writable again: the next switch stores what was kept, then runs.
    watcher.lock.Release();
    EXPECT_TRUE(RunAnswering([] { LeavePrivacyEnvironment(); }).empty());
    EXPECT_EQ(ReadModeMarkerIsPrivate(), 0);
    EXPECT_EQ(Utf8(ReadValue(HKEY_CURRENT_USER, kAppMru, L"a")), "normal-1");
    EXPECT_EQ(allNormal(), kValues) << switched << " values had moved";
    EXPECT_EQ(KeyEntries(HKEY_CURRENT_USER, L"Software\\Tessaline\\Veilguard\\public"), -1);
    EXPECT_FALSE(FileExists(L"V:\\switch.hiv"));
    EXPECT_TRUE(RunAnswering([] { EnterPrivacyEnvironment(L'V'); }).empty());
    EXPECT_EQ(Utf8(ReadValue(HKEY_CURRENT_USER, kAppMru, L"a")), "private-1");
    EXPECT_TRUE(RunAnswering([] { LeavePrivacyEnvironment(); }).empty());
    EXPECT_EQ(Utf8(ReadValue(HKEY_CURRENT_USER, kAppMru, L"a")), "normal-1");
}

TEST_F(PrivacySwitch, VanishedDriveGivesBackWhatLivesOutsideIt)
{
    SeedEnvironment();
    ASSERT_TRUE(WriteText(appIni, "[paths]\r\ncache=C:\\real\\cache\r\n"));
    WriteValue(HKEY_CURRENT_USER, kApp, L"LastFile", Text(REG_SZ, L"C:\\normal.txt"));
    ASSERT_TRUE(LoadTestTables());
    EXPECT_TRUE(RunAnswering([] { EnterPrivacyEnvironment(L'V'); }).empty());
    WriteValue(HKEY_CURRENT_USER, kApp, L"LastFile", Text(REG_SZ, L"V:\\private.txt"));

    // The drive goes away without a logoff (medium removed, dismounted from
    // outside): the folders and the settings file come back at once, with
    // a warning; the registry items wait for the volume.
    DEV_BROADCAST_VOLUME record = {sizeof(record), DBT_DEVTYP_VOLUME, 0, 1u << ('V' - 'A'), 0};
    // Titled so that the boxes are found (the filter's own warning, with no
    // filter here, stays unanswered and untitled in the other steps).
    lstrcpynW(g_szProgramTitle, GetString("VGRD"), ARRAYSIZE(g_szProgramTitle));
    std::vector<Box> boxes = RunAnswering(
        [&] { MainWndProc(nullptr, WM_DEVICECHANGE, DBT_DEVICEREMOVECOMPLETE, reinterpret_cast<LPARAM>(&record)); });
    g_szProgramTitle[0] = 0;
    const std::u16string warning(reinterpret_cast<const char16_t *>(GetString("DRIVE_GONE")));
    int warned = 0;
    for (const Box &b : boxes)
        warned += b.text == warning;
    EXPECT_EQ(warned, 1);
    EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, L"Environment", L"TEMP"), Text(REG_EXPAND_SZ, L"%USERPROFILE%\\VgTemp"));
    for (int i = 0; i < SHELL_FOLDER_COUNT; ++i)
        EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, kUserShellFolders, g_shellFolderNames[i]),
                  Text(REG_EXPAND_SZ, userSeed[i]));
    EXPECT_EQ(IniValue(appIni, L"paths", L"cache"), "C:\\real\\cache");
    EXPECT_EQ(ReadModeMarkerIsPrivate(), 1);
    EXPECT_EQ(g_redirectionDrive[0], 0);

    // The volume back (on its letter) and a logoff: all of it is normal.
    EXPECT_TRUE(SwitchBoxes([] { EnterPrivacyEnvironment(L'V'); }).empty());
    EXPECT_EQ(Utf8(ReadValue(HKEY_CURRENT_USER, kApp, L"LastFile")), "V:\\private.txt");
    EXPECT_TRUE(SwitchBoxes([] { LeavePrivacyEnvironment(); }).empty());
    EXPECT_EQ(Utf8(ReadValue(HKEY_CURRENT_USER, kApp, L"LastFile")), "C:\\normal.txt");
    EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, L"Environment", L"TEMP"), Text(REG_EXPAND_SZ, L"%USERPROFILE%\\VgTemp"));
    EXPECT_EQ(IniValue(appIni, L"paths", L"cache"), "C:\\real\\cache");
}
