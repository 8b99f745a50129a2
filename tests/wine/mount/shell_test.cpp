// The application shell's Win32 pieces against Wine's real user interface,
// token and resources.
#include "gtest_wine.h"

#include <string>

#include <shlwapi.h>

#include "Mount/app_state.h"
#include "Mount/dialog_look.h"
#include "Mount/init_app.h"
#include "Mount/language.h"
#include "Mount/main_window.h"
#include "Mount/msgbox.h"
#include "Mount/privileges.h"
#include "Mount/resource.h"

namespace {

std::u16string Text(const WCHAR *s) { return std::u16string(reinterpret_cast<const char16_t *>(s)); }

std::u16string WindowText(HWND hwnd)
{
    WCHAR text[512] = {};
    GetWindowTextW(hwnd, text, 512);
    return Text(text);
}

class Shell : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        SetPreferredLanguage("zh-cn");
        ASSERT_EQ(LoadLanguage(), 1);
        lstrcpynW(g_szProgramTitle, GetString("VGRD"), ARRAYSIZE(g_szProgramTitle));
        InitApplication(GetModuleHandleW(nullptr));
    }
};

TEST_F(Shell, LanguageFromResourcesWithControlIds)
{
    EXPECT_EQ(Text(GetString("VGRD")), u"Veilguard");
    EXPECT_EQ(Text(GetString("IDD_ABOUT_DLG")), u"关于Veilguard");
    EXPECT_EQ(Text(GetString("NO_SUCH_KEY")), u"[?]NO_SUCH_KEY[?]");
    // The second "IDT_PASSWORD" entry of the file wins.
    EXPECT_EQ(Text(GetString("IDT_PASSWORD")), u"密码(&P):");
}

// Menu order and ids, with real menus (menu handles do not cross processes,
// so the end-to-end tests cannot read them).
TEST_F(Shell, TrayMenuOrder)
{
    for (BOOL mounted : {FALSE, TRUE}) {
        HMENU menu = BuildTrayMenu(mounted);
        ASSERT_NE(menu, nullptr);
        const int expected[] = {IDM_ABOUT, 0, mounted ? IDM_LOGOFF : IDM_LOGIN, 0, IDM_CHANGEPASS, IDM_CLEAN,
                                0, IDM_HELP, 0, IDM_QUIT};
        const char *keys[] = {"MENU_ABOUT", nullptr, mounted ? "MENU_LOGOFF" : "MENU_LOGIN", nullptr,
                              "MENU_CHANGEPASS", "MENU_CLEAN", nullptr, "MENU_HELP", nullptr, "MENU_QUIT"};
        ASSERT_EQ(GetMenuItemCount(menu), 10);
        for (int i = 0; i < 10; ++i) {
            WCHAR text[128] = {};
            MENUITEMINFOW mii = {};
            mii.cbSize = sizeof(mii);
            mii.fMask = MIIM_ID | MIIM_FTYPE | MIIM_STRING | MIIM_STATE;
            mii.dwTypeData = text;
            mii.cch = 128;
            ASSERT_TRUE(GetMenuItemInfoW(menu, i, TRUE, &mii));
            if (!expected[i]) {
                EXPECT_TRUE(mii.fType & MFT_SEPARATOR) << "item " << i;
                continue;
            }
            EXPECT_EQ((int)mii.wID, expected[i]) << "item " << i;
            EXPECT_EQ(Text(text), Text(GetString(keys[i]))) << "item " << i;
            EXPECT_EQ(mii.fState & (MFS_GRAYED | MFS_CHECKED), 0u);
        }
        DestroyMenu(menu);
    }
    EXPECT_EQ(Text(GetString("MENU_ABOUT")), u"关于(&A)");
}

TEST_F(Shell, AboutDialogIsLocalized)
{
    HWND dlg = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_ABOUT_DLG), nullptr, AboutDlgProc, 0);
    ASSERT_NE(dlg, nullptr);
    WCHAR cls[64];
    GetClassNameW(dlg, cls, 64);
    EXPECT_EQ(lstrcmpiW(cls, L"CustomDlg"), 0);
    EXPECT_EQ(WindowText(dlg), u"关于Veilguard");
    EXPECT_EQ(WindowText(GetDlgItem(dlg, IDOK)), u"确定(&O)");
    EXPECT_EQ(WindowText(GetDlgItem(dlg, IDT_ABOUT_VERSION2)), u"Veilguard 2.0");
    EXPECT_NE(WindowText(GetDlgItem(dlg, IDC_HOMEPAGE)).find(u"https://"), std::u16string::npos);
    EXPECT_TRUE(GetWindowLongW(dlg, GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_STREQ(g_szLastLocalizedDialog, "IDD_ABOUT_DLG");
    // The link was shrunk to its text and took over the control's procedure.
    HWND link = GetDlgItem(dlg, IDC_HOMEPAGE);
    EXPECT_NE(GetWindowLongPtrW(link, GWLP_USERDATA), 0);
    DestroyWindow(dlg);
}

TEST_F(Shell, CustomDialogKeepsTheProgramsCursor)
{
    HWND dlg = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_ABOUT_DLG), nullptr, AboutDlgProc, 0);
    ASSERT_NE(dlg, nullptr);
    ShowWaitCursor();
    EXPECT_EQ(SendMessageW(dlg, WM_SETCURSOR, (WPARAM)dlg, MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)), TRUE);
    EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_WAIT));
    ShowNormalCursor();
    EXPECT_EQ(g_hCurrentCursor, nullptr);
    DestroyWindow(dlg);
}

// A message box shown on another thread, inspected and answered from here.
struct BoxRun {
    int (*show)(const WCHAR *);
    int result = -1;
};

DWORD WINAPI ShowBoxThread(LPVOID param)
{
    BoxRun *run = static_cast<BoxRun *>(param);
    run->result = run->show(L"box text");
    return 0;
}

HWND WaitForBox()
{
    for (int i = 0; i < 100; ++i) {
        HWND box = FindWindowW(L"#32770", L"Veilguard");
        if (box && IsWindowVisible(box))
            return box;
        Sleep(50);
    }
    return nullptr;
}

// Which standard icon a message box shows: 'W'arning, 'E'rror, 'I'nformation
// or 0 for none.
BOOL CALLBACK FindIconStatic(HWND child, LPARAM param)
{
    if ((GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
        *reinterpret_cast<HICON *>(param) = reinterpret_cast<HICON>(SendMessageW(child, STM_GETICON, 0, 0));
        return FALSE;
    }
    return TRUE;
}

char BoxIcon(HWND box)
{
    HICON icon = nullptr;
    EnumChildWindows(box, FindIconStatic, reinterpret_cast<LPARAM>(&icon));
    if (!icon)
        return 0;
    if (icon == LoadIconW(nullptr, IDI_WARNING))
        return 'W';
    if (icon == LoadIconW(nullptr, IDI_ERROR))
        return 'E';
    if (icon == LoadIconW(nullptr, IDI_INFORMATION))
        return 'I';
    return '?';
}

// What the box shows. (Wine ignores MB_TOPMOST, so the topmost flag of the
// styles cannot be observed here.)
struct BoxFacts {
    char icon;
    bool hasYes, hasNo, hasOk;
    int defaultId;
    std::u16string text;
};

BoxFacts ShowAndAnswer(int (*show)(const WCHAR *), int answer, int *result)
{
    BoxRun run;
    run.show = show;
    HANDLE thread = CreateThread(nullptr, 0, ShowBoxThread, &run, 0, nullptr);
    BoxFacts facts = {};
    HWND box = WaitForBox();
    if (box) {
        facts.hasYes = GetDlgItem(box, IDYES) != nullptr;
        facts.hasNo = GetDlgItem(box, IDNO) != nullptr;
        facts.hasOk = GetDlgItem(box, IDOK) != nullptr;
        // The default button is the one drawn as default (and holding focus).
        for (int id : {IDOK, IDYES, IDNO}) {
            HWND b = GetDlgItem(box, id);
            if (b && (GetWindowLongW(b, GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON)
                facts.defaultId = id;
        }
        facts.icon = BoxIcon(box);
        facts.text = WindowText(GetDlgItem(box, 0xFFFF));
        PostMessageW(box, WM_COMMAND, answer, 0);
    }
    WaitForSingleObject(thread, 10000);
    CloseHandle(thread);
    *result = run.result;
    return facts;
}

TEST_F(Shell, MessageBoxStyles)
{
    int result;
    BoxFacts f = ShowAndAnswer(AskWarningNoYes, IDYES, &result);
    EXPECT_EQ(f.icon, 'W');
    EXPECT_TRUE(f.hasYes && f.hasNo && !f.hasOk);
    EXPECT_EQ(f.defaultId, IDNO);
    EXPECT_EQ(f.text, u"box text");
    EXPECT_EQ(result, IDYES);

    f = ShowAndAnswer(AskWarningYesNo, IDNO, &result);
    EXPECT_EQ(f.icon, 'W');
    EXPECT_TRUE(f.hasYes && f.hasNo);
    EXPECT_EQ(f.defaultId, IDYES);
    EXPECT_EQ(result, IDNO);

    f = ShowAndAnswer(ShowWarning, IDOK, &result);
    EXPECT_EQ(f.icon, 'W');
    EXPECT_TRUE(f.hasOk && !f.hasYes);
    EXPECT_EQ(result, IDOK);

    f = ShowAndAnswer(ShowWarningPlain, IDOK, &result);
    EXPECT_EQ(f.icon, 'W');
    EXPECT_TRUE(f.hasOk && !f.hasYes);

    f = ShowAndAnswer(ShowInfo, IDOK, &result);
    EXPECT_EQ(f.icon, 'I');
    f = ShowAndAnswer(ShowError, IDOK, &result);
    EXPECT_EQ(f.icon, 'E');
    EXPECT_EQ(result, IDOK);
}

TEST_F(Shell, SilentModeShowsNothing)
{
    SilentMode = TRUE;
    EXPECT_EQ(ShowError(L"x"), 0);
    EXPECT_EQ(AskWarningNoYes(L"x"), 0);
    SetLastError(ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(ShowLastWindowsError(nullptr), (DWORD)ERROR_FILE_NOT_FOUND);
    SilentMode = FALSE;
    SetLastError(0);
    EXPECT_EQ(ShowLastWindowsError(nullptr), 0u);  // no error, no box
}

TEST_F(Shell, WindowsErrorTextsKeepInsertsAndShowTheNumberWhenThereIsNone)
{
    // A system text with an insert: the box text is that text, "%1" and all.
    DWORD withInsert = 0;
    WCHAR *raw = nullptr;
    for (DWORD code = 1; code < 2000 && !withInsert; code++) {
        if (FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                               FORMAT_MESSAGE_IGNORE_INSERTS,
                           nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                           reinterpret_cast<WCHAR *>(&raw), 0, nullptr) &&
            StrStrW(raw, L"%1"))
            withInsert = code;
        else if (raw)
            LocalFree(raw), raw = nullptr;
    }
    ASSERT_NE(withInsert, 0u) << "no system text with an insert";
    WCHAR text[1024];
    FormatWindowsError(withInsert, text, 1024);
    EXPECT_EQ(lstrcmpW(text, raw), 0) << withInsert;
    LocalFree(raw);

    // No system text: the number.
    FormatWindowsError(0x20001234, text, 1024);
    EXPECT_EQ(lstrcmpW(text, L"Error 536875572"), 0);
    FormatWindowsError(ERROR_FILE_NOT_FOUND, text, 1024);
    EXPECT_GT(lstrlenW(text), 0);
    EXPECT_EQ(StrStrW(text, L"Error 2"), nullptr);
}

bool PrivilegeEnabled(const WCHAR *name)
{
    HANDLE token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return false;
    LUID luid;
    LookupPrivilegeValueW(nullptr, name, &luid);
    PRIVILEGE_SET set = {1, PRIVILEGE_SET_ALL_NECESSARY, {{luid, 0}}};
    BOOL enabled = FALSE;
    PrivilegeCheck(token, &set, &enabled);
    CloseHandle(token);
    return enabled;
}

TEST_F(Shell, SetPrivilegeTurnsOnAndOff)
{
    ASSERT_EQ(SetPrivilege(L"SeBackupPrivilege", TRUE), 0u);
    EXPECT_TRUE(PrivilegeEnabled(L"SeBackupPrivilege"));
    ASSERT_EQ(SetPrivilege(L"SeBackupPrivilege", FALSE), 0u);
    EXPECT_FALSE(PrivilegeEnabled(L"SeBackupPrivilege"));
    EXPECT_NE(SetPrivilege(L"SeNoSuchPrivilege", TRUE), 0u);
    EXPECT_EQ(EnableDebugPrivilege(), 0u);
    EXPECT_TRUE(PrivilegeEnabled(L"SeDebugPrivilege"));
}

}  // namespace
