// The privacy session as a user lives it, driven from outside: the start-up
// login (a wrong password first), privacy mode on the container's drive, a
// file saved there, Logoff and Login from the menu, the password change
// refused while logged in and done after logging off, and Quit. Along the
// way the program's memory is searched for the passwords typed.
#include "driver.h"

#include "memory_scan.h"

#include "Mount/resource.h"

#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <string>

namespace {

std::string Folder(const std::string &path) { return path.substr(0, path.rfind('/')); }

std::u16string ReadText(HKEY root, const WCHAR *key, const WCHAR *name)
{
    WCHAR data[1024] = {};
    DWORD size = sizeof(data) - sizeof(WCHAR);
    HKEY k;
    if (RegOpenKeyExW(root, key, 0, KEY_READ, &k) != ERROR_SUCCESS)
        return u"";
    RegQueryValueExW(k, name, nullptr, nullptr, reinterpret_cast<BYTE *>(data), &size);
    RegCloseKey(k);
    return std::u16string(reinterpret_cast<const char16_t *>(data));
}

std::u16string UserTemp() { return ReadText(HKEY_CURRENT_USER, L"Environment", L"TEMP"); }

std::u16string Personal()
{
    return ReadText(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                    L"Personal");
}

bool DrivePresent(int drive) { return (GetLogicalDrives() & (1u << drive)) != 0; }

int FirstFreeDriveFromD()
{
    DWORD used = GetLogicalDrives();
    for (int d = 3; d <= 25; ++d)
        if (!(used & (1u << d)))
            return d;
    return -1;
}

std::string Vdisk(const std::string &args, const std::string &password)
{
    return Shell("printf '%s\\n' '" + password + "' | WINEDEBUG=-all /usr/lib/wine/wine64 '" VG_VDISK "' " + args +
               " 2>&1 </dev/stdin");
}

class Session : public ::testing::Test {
protected:
    void TearDown() override
    {
        StopProgram(prog);
        EndStartedExplorers();
    }

    HWND Box()
    {
        HWND box = WaitForWindow(prog.pid, L"#32770", L"Veilguard", 20000);
        if (box)
            Sleep(200);
        return box;
    }

    // Logging off or quitting in privacy mode first offers to close the
    // running traced applications: No leaves them running.
    void KeepApplicationsRunning()
    {
        HWND ask = WaitForWindow(prog.pid, L"#32770", L"\x4FE1\x606F", 20000);
        ASSERT_NE(ask, nullptr) << "no question about the running applications";
        Sleep(200);
        Answer(ask, IDNO);
    }

    void Answer(HWND box, int id)
    {
        PressButton(box, id);
        for (int i = 0; i < 100 && IsWindow(box); ++i)
            Sleep(100);
    }

    // Opens the tray menu and chooses the item reached with downs (from the
    // top) or, with downs 0, the last one.
    void Choose(int downs)
    {
        PostMessageW(main, WM_APP + 3, 1, WM_RBUTTONDOWN);
        HWND menu = WaitForWindow(prog.pid, L"#32768", nullptr, 10000);
        ASSERT_NE(menu, nullptr) << "no tray menu";
        if (downs == 0)
            SendKey(menu, VK_UP);
        for (int i = 0; i < downs; ++i)
            SendKey(menu, VK_DOWN);
        SendKey(menu, VK_RETURN);
    }

    void LogIn(const char *password)
    {
        HWND dialog = WaitForLoginDialog(prog.pid, 60000);
        ASSERT_NE(dialog, nullptr) << "no login dialog";
        TypeText(GetDlgItem(dialog, IDC_PASSWORD), password);
        PressButton(dialog, IDOK);
    }

    // The passwords must be nowhere in the program's writable memory.
    void ExpectNotInMemory(const std::string &password, const char *when)
    {
        pid_t pid = FindUnixProcess("e2e-session", "veilguard");
        ASSERT_NE(pid, 0) << "the program's Linux process was not found";
        // The flow ends a moment after its visible effects (the mode marker
        // is written inside the mount): give it a few seconds to finish.
        bool readable = false;
        std::string hits = FindInMemory(pid, password, &readable);
        for (int i = 0; i < 20 && readable && !hits.empty(); ++i) {
            Sleep(500);
            hits = FindInMemory(pid, password, &readable);
        }
        ASSERT_TRUE(readable) << "the program's memory could not be read";
        EXPECT_EQ(hits, "") << "password copies left " << when;
    }

    Program prog;
    HWND main = nullptr;
};

TEST_F(Session, LoginLogoffChangePasswordQuit)
{
    const std::string bin = Folder(VG_PROGRAM), work = Folder(bin) + "/e2e-session", app = work + "/app";
    const std::string container = app + "/vdisk.dat";
    char unique[32];
    snprintf(unique, sizeof unique, "%08lx", static_cast<unsigned long>(GetTickCount()));
    const std::string password = std::string("VgLogin-") + unique + "-Secret";
    const std::string newPassword = std::string("VgNew-") + unique + "-Key";
    ASSERT_TRUE(FreshWorkFolder(work, bin));
    std::string made = Vdisk("create --size 16777216 '" + container + "'", password);
    ASSERT_NE(Vdisk("info '" + container + "'", password).find("header: ok"), std::string::npos) << made;

    ASSERT_GT(FirstFreeDriveFromD(), 2);
    // The user's own values, which every logoff must give back exactly.
    const std::u16string userTemp = UserTemp(), personal = Personal();
    ASSERT_TRUE(StartProgramAt(prog, (app + "/veilguard.exe.so").c_str()));

    // The start-up login: its dialog, a wrong password, the right one.
    HWND dialog = WaitForLoginDialog(prog.pid, 60000);
    ASSERT_NE(dialog, nullptr) << "no login dialog; program state/exit code " << WaitForExit(prog, 0);
    main = WaitForWindow(prog.pid, L"MainWnd", nullptr, 1000);
    ASSERT_NE(main, nullptr);
    HWND edit = GetDlgItem(dialog, IDC_PASSWORD);
    EXPECT_EQ(SendMessageW(edit, EM_GETLIMITTEXT, 0, 0), 64);
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(dialog, IDC_CHECKCLOSE)));
    EXPECT_NE(WindowText(GetDlgItem(dialog, IDC_PROTIPS)).find(u"确定"), std::u16string::npos);
    EXPECT_TRUE(GetWindowLongW(dialog, GWL_EXSTYLE) & WS_EX_TOPMOST);
    TypeText(edit, "not-the-password");
    Sleep(1000);
    EXPECT_TRUE(Screenshot("login_dialog"));
    PressButton(dialog, IDOK);
    HWND box = Box();
    ASSERT_NE(box, nullptr) << "no wrong-password message";
    EXPECT_EQ(DialogStaticText(box).substr(0, 5), u"密码错误！");
    Answer(box, IDOK);
    LogIn(password.c_str());

    ASSERT_TRUE(WaitFor([] { return Marker() == u"inPrivate"; }, 90000)) << "not in privacy mode";
    // The volume's drive is the one the session moved TEMP onto. It need
    // not be new: a program killed in privacy mode before this test (the
    // redirect session ends that way) leaves its letter defined, and the
    // mount frees and takes that letter again.
    const std::u16string privateTemp = UserTemp();
    ASSERT_GE(privateTemp.size(), 3u);
    const int drive = privateTemp[0] - u'A';
    ASSERT_TRUE(drive >= 3 && drive <= 25 && privateTemp.substr(1, 2) == u":\\") << "TEMP is not on a drive";
    ASSERT_TRUE(WaitFor([&] { return DrivePresent(drive); }, 10000)) << "the drive is missing";
    const WCHAR letter = static_cast<WCHAR>(L'A' + drive);
    EXPECT_EQ(Personal().substr(0, 1), std::u16string(1, char16_t(letter))) << "the shell folders are on it";
    EXPECT_EQ(WaitForExit(prog, 0), (DWORD)STILL_ACTIVE);
    Sleep(2000);  // the privacy-mode icon and its balloon
    EXPECT_TRUE(Screenshot("tray_privacy_mode"));
    ExpectNotInMemory(password, "after the login");
    ExpectNotInMemory("not-the-password", "after the wrong password");

    // A file saved in privacy mode.
    WCHAR file[] = L"?:\\vg-session.txt";
    file[0] = letter;
    HANDLE f = CreateFileW(file, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(f, "kept in privacy", 15, &written, nullptr));
    CloseHandle(f);

    // Killed in privacy mode and started again: the start-up login mounts
    // the volume on the same letter, its view left by the killed program is
    // saved into the container first, and the session is switched onto it.
    StopProgram(prog);
    ASSERT_TRUE(StartProgramAt(prog, (app + "/veilguard.exe.so").c_str()));
    LogIn(password.c_str());
    main = WaitForWindow(prog.pid, L"MainWnd", nullptr, 1000);
    ASSERT_NE(main, nullptr);
    EXPECT_TRUE(WaitFor([&] { return GetFileAttributesW(file) != INVALID_FILE_ATTRIBUTES; }, 90000))
        << "the file saved before the kill is not on the drive again";
    EXPECT_EQ(Marker(), u"inPrivate");
    EXPECT_EQ(UserTemp(), privateTemp) << "TEMP is on the drive again";
    EXPECT_EQ(Personal().substr(0, 1), std::u16string(1, char16_t(letter)));
    Sleep(2000);

    // Change password is refused while logged in.
    Choose(3);
    box = Box();
    ASSERT_NE(box, nullptr) << "no log-off-first message";
    EXPECT_EQ(DialogStaticText(box), u"请先注销，然后再修改密码。");
    Answer(box, IDOK);
    EXPECT_FALSE(HasWindow(prog.pid, L"CustomDlg"));

    // Logoff from the menu: environment back, drive gone, normal-mode icon.
    Choose(2);
    KeepApplicationsRunning();
    ASSERT_TRUE(WaitFor([] { return Marker() == u"inpublic"; }, 60000)) << "still in privacy mode";
    EXPECT_TRUE(WaitFor([&] { return !DrivePresent(drive); }, 20000)) << "the drive stayed";
    EXPECT_EQ(UserTemp(), userTemp) << "TEMP is back as it was";
    EXPECT_EQ(Personal(), personal);
    Sleep(2000);
    EXPECT_TRUE(Screenshot("tray_normal_mode_after_logoff"));
    EXPECT_EQ(GetFileAttributesW(file), INVALID_FILE_ATTRIBUTES);

    // Login from the menu: the file is back.
    Choose(2);
    LogIn(password.c_str());
    ASSERT_TRUE(WaitFor([] { return Marker() == u"inPrivate"; }, 90000)) << "the menu login failed";
    ASSERT_TRUE(WaitFor([&] { return DrivePresent(drive); }, 10000));
    f = CreateFileW(file, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(f, INVALID_HANDLE_VALUE) << "the file saved in privacy mode is gone";
    char back[32] = {};
    DWORD read = 0;
    ReadFile(f, back, sizeof back, &read, nullptr);
    CloseHandle(f);
    EXPECT_EQ(std::string(back, read), "kept in privacy");
    Choose(2);
    KeepApplicationsRunning();
    ASSERT_TRUE(WaitFor([] { return Marker() == u"inpublic"; }, 60000));
    ASSERT_TRUE(WaitFor([&] { return !DrivePresent(drive); }, 20000));

    // The password change in normal mode. The container's times are taken
    // once its dialog shows: the drive goes before the logoff's save, and
    // the dialog comes only after the whole logoff.
    Choose(3);
    HWND change = WaitForWindow(prog.pid, L"CustomDlg", L"修改密码", 10000);
    ASSERT_NE(change, nullptr) << "no change-password dialog";
    struct stat before = {};
    ASSERT_EQ(stat(container.c_str(), &before), 0);
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(change, IDOK)));
    TypeText(GetDlgItem(change, IDC_OLD_PASSWORD), password.c_str());
    TypeText(GetDlgItem(change, IDC_PASSWORD), newPassword.c_str());
    TypeText(GetDlgItem(change, IDC_VERIFY), (newPassword + "x").c_str());
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(change, IDOK))) << "OK with a differing confirmation";
    PostMessageW(GetDlgItem(change, IDC_VERIFY), WM_CHAR, VK_BACK, 1);
    Sleep(300);
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(change, IDOK)));
    EXPECT_TRUE(Screenshot("change_password_dialog"));
    PressButton(change, IDOK);
    box = WaitForWindow(prog.pid, L"#32770", L"Veilguard", 120000);
    ASSERT_NE(box, nullptr) << "no answer to the password change";
    EXPECT_EQ(DialogStaticText(box), u"密码修改成功。");
    EXPECT_FALSE(IsWindow(change));
    struct stat after = {};
    ASSERT_EQ(stat(container.c_str(), &after), 0);
    Answer(box, IDOK);
    EXPECT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec) << "write time kept";
    EXPECT_EQ(after.st_atim.tv_sec, before.st_atim.tv_sec) << "access time kept";
    ExpectNotInMemory(password, "after the password change (old)");
    ExpectNotInMemory(newPassword, "after the password change (new)");
    std::string infoNew = Vdisk("info '" + container + "'", newPassword);
    EXPECT_NE(infoNew.find("header: ok"), std::string::npos) << infoNew;
    EXPECT_NE(infoNew.find("backup: ok"), std::string::npos) << infoNew;
    std::string infoOld = Vdisk("info '" + container + "'", password);
    EXPECT_NE(infoOld.find("header: fail"), std::string::npos) << infoOld;
    EXPECT_NE(infoOld.find("backup: fail"), std::string::npos) << infoOld;

    // The new password logs in; Quit logs off and ends the program.
    Choose(2);
    LogIn(newPassword.c_str());
    ASSERT_TRUE(WaitFor([] { return Marker() == u"inPrivate"; }, 90000)) << "the new password did not log in";
    ExpectNotInMemory(newPassword, "after the login with the new password");
    Choose(0);
    box = Box();
    ASSERT_NE(box, nullptr) << "no quit question";
    Answer(box, IDYES);
    KeepApplicationsRunning();
    EXPECT_EQ(WaitForExit(prog, 60000), 0u);
    EXPECT_FALSE(DrivePresent(drive)) << "a volume stayed mounted";
    EXPECT_EQ(Marker(), u"inpublic");
    EXPECT_EQ(UserTemp(), userTemp);
    EXPECT_EQ(Personal(), personal);
    // Nothing written in privacy mode is on the real disk in plain text.
    const char *prefix = getenv("WINEPREFIX");
    ASSERT_NE(prefix, nullptr);
    std::string search = std::string("grep -rl --binary-files=text 'kept in privacy' '") + prefix + "/drive_c' '" +
                         app + "' 2>/dev/null";
    FILE *found = popen(search.c_str(), "r");
    ASSERT_NE(found, nullptr);
    char line[1024];
    std::string hits;
    while (fgets(line, sizeof line, found))
        hits += line;
    pclose(found);
    EXPECT_EQ(hits, "") << "privacy-mode data on the real disk";
}

}  // namespace
