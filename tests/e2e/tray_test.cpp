// The program as a user meets it: started, found in the tray, driven through
// its menu, and quit.
#include "driver.h"

#include "Mount/resource.h"

#include <stdio.h>
#include <string>

namespace {

const DWORD kStartTimeout = 60000;

class TrayProgram : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(StartProgram(prog));
        main = WaitForWindow(prog.pid, L"MainWnd", nullptr, kStartTimeout);
        ASSERT_NE(main, nullptr) << "no MainWnd window appeared; program state/exit code "
                                 << WaitForExit(prog, 0);
        // No container beside the build's program: the start-up login is
        // cancelled and the program goes on in normal mode.
        ASSERT_TRUE(CancelStartupLogin(prog.pid)) << "no start-up login dialog";
    }
    void TearDown() override { StopProgram(prog); }

    // Right-click on the tray icon: the program opens its menu.
    HWND OpenMenu()
    {
        PostMessageW(main, WM_APP + 3, 1, WM_RBUTTONDOWN);
        return WaitForWindow(prog.pid, L"#32768", nullptr, 10000);
    }

    // The message box the program shows, identified by its caption.
    HWND WaitForBox(const WCHAR *caption) { return WaitForWindow(prog.pid, L"#32770", caption, 10000); }

    Program prog;
    HWND main = nullptr;
};

TEST_F(TrayProgram, StartsHiddenWithTrayIcon)
{
    // A pop-up created with default size has no area: nothing to see.
    RECT rc;
    GetWindowRect(main, &rc);
    EXPECT_EQ(rc.right - rc.left, 0);
    EXPECT_EQ(rc.bottom - rc.top, 0);
    LONG ex = GetWindowLongW(main, GWL_EXSTYLE);
    EXPECT_TRUE(ex & WS_EX_TOOLWINDOW);
    EXPECT_TRUE(ex & WS_EX_NOACTIVATE);
    // The tray icon holds the named mutex while it is shown.
    HANDLE mutex = nullptr;
    for (int i = 0; i < 100 && !mutex; ++i) {
        mutex = OpenMutexA(SYNCHRONIZE, FALSE, "QDSKTaskBarIcon");
        if (!mutex)
            Sleep(100);
    }
    EXPECT_NE(mutex, nullptr) << "the tray icon's mutex does not exist";
    if (mutex)
        CloseHandle(mutex);
    Sleep(1500);  // let the balloon appear in the screenshot
    EXPECT_TRUE(Screenshot("tray_normal_mode"));
}

TEST_F(TrayProgram, RightClickOpensMenuLeftClickDoesNot)
{
    PostMessageW(main, WM_APP + 3, 1, WM_LBUTTONDOWN);
    Sleep(1500);
    EXPECT_FALSE(HasWindow(prog.pid, L"#32768")) << "a left click opened the menu";
    HWND menu = OpenMenu();
    ASSERT_NE(menu, nullptr);
    EXPECT_TRUE(Screenshot("tray_menu"));
    SendKey(menu, VK_ESCAPE);
    // Dismissing the menu sends command 0, which does nothing.
    Sleep(500);
    EXPECT_EQ(WaitForExit(prog, 0), (DWORD)STILL_ACTIVE);
}

TEST_F(TrayProgram, AboutOpensLocalizedDialog)
{
    HWND menu = OpenMenu();
    ASSERT_NE(menu, nullptr);
    // About is the first item.
    SendKey(menu, VK_DOWN);
    SendKey(menu, VK_RETURN);
    HWND about = WaitForWindow(prog.pid, L"CustomDlg", L"关于Veilguard", 10000);
    ASSERT_NE(about, nullptr) << "no About dialog titled 关于Veilguard";
    EXPECT_EQ(WindowText(GetDlgItem(about, IDT_ABOUT_VERSION2)), u"Veilguard 2.0");
    EXPECT_EQ(WindowText(GetDlgItem(about, IDOK)), u"确定(&O)");
    EXPECT_TRUE(Screenshot("about_dialog"));
    PressButton(about, IDOK);
    for (int i = 0; i < 50 && IsWindow(about); ++i)
        Sleep(100);
    EXPECT_FALSE(IsWindow(about)) << "OK did not close the About dialog";
    EXPECT_EQ(WaitForExit(prog, 0), (DWORD)STILL_ACTIVE);
}

TEST_F(TrayProgram, QuitAnsweredNoKeepsRunningYesEnds)
{
    HWND menu = OpenMenu();
    ASSERT_NE(menu, nullptr);
    // Quit is the last item.
    SendKey(menu, VK_UP);
    SendKey(menu, VK_RETURN);
    HWND box = WaitForBox(L"Veilguard");
    ASSERT_NE(box, nullptr) << "no quit confirmation";
    EXPECT_EQ(DialogStaticText(box), u"确定要退出吗？");
    PressButton(box, IDNO);
    Sleep(1000);
    EXPECT_EQ(WaitForExit(prog, 0), (DWORD)STILL_ACTIVE) << "No ended the program";
    EXPECT_TRUE(IsWindow(main));

    menu = OpenMenu();
    ASSERT_NE(menu, nullptr);
    SendKey(menu, VK_UP);
    SendKey(menu, VK_RETURN);
    box = WaitForBox(L"Veilguard");
    ASSERT_NE(box, nullptr);
    PressButton(box, IDYES);
    EXPECT_EQ(WaitForExit(prog, 20000), 0u);
}

TEST_F(TrayProgram, SecondCopyEndsWithCodeOne)
{
    Program second;
    ASSERT_TRUE(StartProgram(second));
    DWORD code = WaitForExit(second, kStartTimeout);
    EXPECT_EQ(code, 1u);
    EXPECT_FALSE(HasWindow(second.pid, L"MainWnd"));
    StopProgram(second);
    // The first copy is untouched.
    EXPECT_EQ(WaitForExit(prog, 0), (DWORD)STILL_ACTIVE);
}

// Without its application database the program ends silently with code 0,
// before the single-instance check: a copy started while another runs ends
// with 0, not 1.
TEST_F(TrayProgram, MissingDatabaseEndsSilentlyBeforeInstanceCheck)
{
    std::string bin = VG_PROGRAM;
    bin = bin.substr(0, bin.rfind('/'));
    std::string mani = bin + "/mani.sys", hidden = bin + "/mani.sys.hidden";
    ASSERT_EQ(rename(mani.c_str(), hidden.c_str()), 0);
    Program second;
    bool started = StartProgram(second);
    DWORD code = started ? WaitForExit(second, kStartTimeout) : STILL_ACTIVE;
    bool boxShown = started && HasWindow(second.pid, L"#32770");
    StopProgram(second);
    ASSERT_EQ(rename(hidden.c_str(), mani.c_str()), 0);
    ASSERT_TRUE(started);
    EXPECT_EQ(code, 0u);
    EXPECT_FALSE(boxShown);
    EXPECT_EQ(WaitForExit(prog, 0), (DWORD)STILL_ACTIVE);
}

// The splash comes first: a 500x500 layered picture in the middle of the
// screen, gone before the main window exists.
TEST(Splash, ShownCentredThenGoneBeforeMainWindow)
{
    Program prog;
    ASSERT_TRUE(StartProgram(prog));
    HWND splash = WaitForWindow(prog.pid, L"SplashWnd", nullptr, 30000);
    EXPECT_NE(splash, nullptr) << "no splash window";
    if (splash) {
        EXPECT_TRUE(GetWindowLongW(splash, GWL_EXSTYLE) & WS_EX_LAYERED);
        Sleep(1200);  // fully faded in
        RECT rc;
        GetWindowRect(splash, &rc);
        EXPECT_EQ(rc.right - rc.left, 500);
        EXPECT_EQ(rc.bottom - rc.top, 500);
        EXPECT_EQ(rc.left, (GetSystemMetrics(SM_CXSCREEN) - 500) / 2);
        EXPECT_EQ(rc.top, (GetSystemMetrics(SM_CYSCREEN) - 500) / 2);
        EXPECT_FALSE(HasWindow(prog.pid, L"MainWnd"));
        Screenshot("splash");
    }
    HWND main = WaitForWindow(prog.pid, L"MainWnd", nullptr, 60000);
    EXPECT_NE(main, nullptr);
    EXPECT_FALSE(splash && IsWindow(splash)) << "the splash outlived start-up";
    StopProgram(prog);
}

}  // namespace
