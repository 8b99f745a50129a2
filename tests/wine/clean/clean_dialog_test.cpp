// The clean-trace dialog driven as a user would: the scan fills and counts
// the list once (a second scan cannot start while one runs), the ticked
// application is cleaned, closing during a scan ends the scan's thread, and
// in privacy mode the drive's traces are cleaned without a restart question.
#include "clean_support.h"

#include "../volume/volume_support.h"
#include "Mount/resource.h"
#include "clean/clean_dialog.h"

using namespace clean_test;

namespace {

DWORD WINAPI DialogThread(LPVOID)
{
    ShowCleanTraceDialog();
    return 0;
}

HWND WaitForDialog()
{
    for (int i = 0; i < 500; ++i) {
        HWND dialog = FindWindowW(L"CustomDlg", GetString("IDD_APPLIST"));
        if (dialog && IsWindowVisible(dialog))
            return dialog;
        Sleep(20);
    }
    return nullptr;
}

bool WaitForScanEnd(HWND dialog)
{
    for (int i = 0; i < 1500; ++i) {
        if (!IsTraceScanRunning() && IsWindowEnabled(GetDlgItem(dialog, ID_CLEAN)))
            return true;
        Sleep(20);
    }
    return false;
}

bool BoxShown()
{
    BoxSearch search = {GetString("INFORMATION"), nullptr};
    EnumWindows(MatchBox, reinterpret_cast<LPARAM>(&search));
    return search.found != nullptr;
}

std::string ItemText(HWND dialog, int id)
{
    WCHAR text[1024] = {0};
    GetDlgItemTextW(dialog, id, text, 1024);
    return Utf8(text);
}

// A tree of folders x files under the folder.
bool MakeTree(const WCHAR *folder, int folders, int files)
{
    if (!MakeFolders(folder))
        return false;
    for (int d = 0; d < folders; ++d) {
        WCHAR sub[MAX_PATH], file[MAX_PATH];
        wsprintfW(sub, L"%s\\d%d", folder, d);
        if (!CreateDirectoryW(sub, nullptr))
            return false;
        for (int f = 0; f < files; ++f) {
            wsprintfW(file, L"%s\\f%d.dat", sub, f);
            if (!MakeFile(file, 10))
                return false;
        }
    }
    return true;
}

const char kRows[] = "insert into apps values (1,'Alpha','many files','%VGCLEAN%',NULL,NULL,NULL);"
                     "insert into apps values (2,'Beta','a few','%VGCLEAN%',NULL,NULL,NULL);"
                     "insert into apppaths values (1,'%VGCLEAN%\\big\\',NULL,1,0);"
                     "insert into apppaths values (2,'%VGCLEAN%\\small\\','*.tmp',0,0);";

TEST(CleanDialog, ScansOnceCleansTheTickedRowAndClosesDuringAScan)
{
    InitCleanUi();
    ScratchDir dir(L"dialog");
    SetEnvironmentVariableW(L"VGCLEAN", dir.path);
    WCHAR big[MAX_PATH], smallDir[MAX_PATH], file[MAX_PATH];
    dir.File(L"big", big);
    dir.File(L"small", smallDir);
    ASSERT_TRUE(MakeTree(big, 100, 20));
    ASSERT_TRUE(MakeFolders(smallDir));
    for (const WCHAR *name : {L"a.tmp", L"b.tmp", L"c.tmp", L"keep.txt"}) {
        wsprintfW(file, L"%s\\%s", smallDir, name);
        ASSERT_TRUE(MakeFile(file, 1000));
    }
    ASSERT_TRUE(LoadCleanTables(dir, kRows));

    HANDLE thread = CreateThread(nullptr, 0, DialogThread, nullptr, 0, nullptr);
    HWND dialog = WaitForDialog();
    ASSERT_NE(dialog, nullptr) << "no clean dialog";
    // Refresh pressed while the first scan runs starts nothing. Sent, not
    // posted: a posted refresh that arrives after a quick first scan would
    // empty the list and start the next scan after the wait below returned.
    SendMessageW(dialog, WM_COMMAND, IDC_REFRESH, 0);
    SendMessageW(dialog, WM_COMMAND, IDC_REFRESH, 0);
    ASSERT_TRUE(WaitForScanEnd(dialog));
    EXPECT_EQ(ItemText(dialog, IDC_CLEANTIPS), Utf8(GetString("NORMALHELP")));
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, IDCANCEL)));
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(dialog, IDC_PROGRESS)));
    HWND list = GetDlgItem(dialog, IDC_LISTAPP);
    EXPECT_EQ(SendMessageW(list, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0) & 0x24, 0x24);
    EXPECT_EQ(SendMessageW(reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0)), HDM_GETITEMCOUNT, 0, 0), 5);
    EXPECT_EQ(g_appList.RowCount(), 2);
    auto cell = [](INT32 id, int column) {
        WCHAR text[200];
        int row = FindRowByAppId(id);
        if (row < 0)
            return std::string("(no row)");
        g_appList.GetCell(row, column, text, 200);
        return Utf8(text);
    };
    EXPECT_EQ(cell(1, COL_NUMBER), "2000");
    EXPECT_EQ(cell(1, COL_SIZE), SizeText(20000));
    EXPECT_EQ(cell(2, COL_NUMBER), "3");
    EXPECT_EQ(cell(2, COL_SIZE), "3000.00B");

    // Tick Beta and clean: its cells reach 0, Alpha's stay, no question.
    SetRowChecked(FindRowByAppId(2), TRUE);
    PostMessageW(dialog, WM_COMMAND, ID_CLEAN, 0);
    for (int i = 0; i < 250 && cell(2, COL_NUMBER) != "0"; ++i)
        Sleep(20);
    EXPECT_EQ(cell(2, COL_NUMBER), "0");
    EXPECT_EQ(cell(2, COL_SIZE), "0.00B");
    EXPECT_EQ(cell(1, COL_NUMBER), "2000");
    wsprintfW(file, L"%s\\a.tmp", smallDir);
    EXPECT_FALSE(FileExists(file));
    wsprintfW(file, L"%s\\keep.txt", smallDir);
    EXPECT_TRUE(FileExists(file));
    Sleep(300);
    EXPECT_FALSE(BoxShown()) << "a restart question without files left for the restart";
    PostMessageW(dialog, WM_CLOSE, 0, 0);
    EXPECT_EQ(WaitForSingleObject(thread, 10000), WAIT_OBJECT_0);
    CloseHandle(thread);

    // Closed while scanning: the dialog goes, the scan thread ends with it.
    thread = CreateThread(nullptr, 0, DialogThread, nullptr, 0, nullptr);
    dialog = WaitForDialog();
    ASSERT_NE(dialog, nullptr);
    bool scanning = IsTraceScanRunning();
    PostMessageW(dialog, WM_CLOSE, 0, 0);
    EXPECT_EQ(WaitForSingleObject(thread, 10000), WAIT_OBJECT_0);
    CloseHandle(thread);
    EXPECT_FALSE(IsTraceScanRunning());
    EXPECT_TRUE(scanning) << "the scan had ended before the close (make the tree bigger)";
    wsprintfW(file, L"%s\\d0\\f0.dat", big);
    EXPECT_TRUE(FileExists(file));
    FreeCleanTables();
}

using volume_test::VolumeTest;

class VolumeClean : public VolumeTest {};

TEST_F(VolumeClean, PrivacyModeCleansTheDriveAndNeverAsksToRestart)
{
    InitCleanUi();
    ASSERT_EQ(ConnectDriver(), 0u);
    ASSERT_TRUE(volume_test::MakeContainer(container.c_str(), "pw", "pw"));
    int drive = FirstFreeDrive();
    ASSERT_EQ(Mount(drive, "pw"), 1);
    ASSERT_TRUE(AnyVolumeMounted());
    WCHAR letter = static_cast<WCHAR>(L'A' + drive);

    ScratchDir dir(L"privacy");
    SetEnvironmentVariableW(L"VGCLEAN", dir.path);
    ASSERT_TRUE(LoadCleanTables(dir, kRows));
    SetRuleDriveLetter(letter);
    // Beta's traces on the drive, and the same names left alone in normal
    // mode's folder.
    WCHAR onDrive[MAX_PATH], file[MAX_PATH], normal[MAX_PATH];
    wsprintfW(onDrive, L"%c:%s\\small", letter, dir.path + 2);
    ASSERT_TRUE(MakeFolders(onDrive));
    wsprintfW(file, L"%s\\x.tmp", onDrive);
    ASSERT_TRUE(MakeFile(file, 500));
    dir.File(L"small", normal);
    ASSERT_TRUE(MakeFolders(normal));
    wsprintfW(normal, L"%s\\small\\x.tmp", dir.path);
    ASSERT_TRUE(MakeFile(normal, 500));
    // A file left for the restart earlier would make normal mode ask.
    pendingDeleteCount = 1;

    HANDLE thread = CreateThread(nullptr, 0, DialogThread, nullptr, 0, nullptr);
    HWND dialog = WaitForDialog();
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(WaitForScanEnd(dialog));
    EXPECT_EQ(ItemText(dialog, IDC_CLEANTIPS), Utf8(GetString("PRIVACYHELP")));
    int row = FindRowByAppId(2);
    ASSERT_GE(row, 0);
    SetRowChecked(row, TRUE);
    PostMessageW(dialog, WM_COMMAND, ID_CLEAN, 0);
    for (int i = 0; i < 250 && FileExists(file); ++i)
        Sleep(20);
    EXPECT_FALSE(FileExists(file));
    EXPECT_TRUE(FileExists(normal));
    Sleep(500);
    EXPECT_FALSE(BoxShown()) << "privacy mode asked to restart";
    PostMessageW(dialog, WM_CLOSE, 0, 0);
    EXPECT_EQ(WaitForSingleObject(thread, 10000), WAIT_OBJECT_0);
    CloseHandle(thread);
    RestoreRuleDriveLetters();
    FreeCleanTables();
    volume_test::RunAnswering([&] { DismountWithRetry(nullptr, drive, TRUE); });
}

} // namespace
