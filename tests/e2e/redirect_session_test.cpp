// File redirection in a privacy session, with a program the project did not
// write: Windows Notepad's tab folder (an application the shipped database
// lists, detected by its package folder) is written by Wine's cmd.exe while
// the real program is logged in; the program reads its private contents
// back; after Logoff the real folder holds exactly what it held before and
// cmd.exe sees it; at the next login the private contents are back. A
// settings file the rules copy is copied at the first entry only; more
// login/logoff cycles leave the program's threads and handles and the
// prefix's mounts as they were.
#include "driver.h"
#include "Mount/resource.h"

#include <tlhelp32.h>
#include <winternl.h>

#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace {

std::string UnixPath(const WCHAR *dos)
{
    char *name = wine_get_unix_file_name(dos);
    std::string out = name ? name : "";
    if (name)
        HeapFree(GetProcessHeap(), 0, name);
    char resolved[4096];
    return realpath(out.c_str(), resolved) ? std::string(resolved) : out;
}

std::string ReadUnix(const std::string &path)
{
    FILE *f = fopen(path.c_str(), "rb");
    if (!f)
        return "<missing>";
    char buffer[4096];
    size_t n = fread(buffer, 1, sizeof buffer, f);
    fclose(f);
    return std::string(buffer, n);
}

// "cmd /c <command>" with a time limit; its standard output, trimmed.
std::string Cmd(const std::u16string &command)
{
    SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
    HANDLE readEnd, writeEnd;
    if (!CreatePipe(&readEnd, &writeEnd, &sa, 0))
        return "<no pipe>";
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    WCHAR line[2048];
    wsprintfW(line, L"cmd.exe /c %s", reinterpret_cast<const WCHAR *>(command.c_str()));
    STARTUPINFOW si = {sizeof si};
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = writeEnd;
    si.hStdError = writeEnd;
    PROCESS_INFORMATION pi = {};
    BOOL started = CreateProcessW(nullptr, line, nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi);
    CloseHandle(writeEnd);
    std::string out;
    if (started) {
        if (WaitForSingleObject(pi.hProcess, 30000) != WAIT_OBJECT_0) {
            TerminateProcess(pi.hProcess, 1);
            out = "<timed out>";
        }
        char buffer[4096];
        DWORD got = 0, available = 0;
        while (PeekNamedPipe(readEnd, nullptr, 0, nullptr, &available, nullptr) && available &&
               ReadFile(readEnd, buffer, sizeof buffer, &got, nullptr) && got)
            out.append(buffer, got);
        CloseHandle(pi.hProcess);
        CloseHandle(pi.hThread);
    }
    CloseHandle(readEnd);
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r' || out.back() == ' '))
        out.pop_back();
    return started ? out : "<not started>";
}

// The program's threads and handles, and the stand-in's mounts for this
// prefix: what a login and logoff must leave as they found.
struct Counts {
    int threads = 0, mounts = 0;
    DWORD handles = 0;
    bool operator==(const Counts &o) const { return threads == o.threads && mounts == o.mounts && handles == o.handles; }
};

Counts CountsOf(DWORD pid)
{
    Counts c;
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL ok = Thread32First(snap, &entry); ok; ok = Thread32Next(snap, &entry))
        c.threads += entry.th32OwnerProcessID == pid;
    CloseHandle(snap);
    // GetProcessHandleCount answers 0 for another process under Wine.
    std::vector<unsigned char> buffer(1 << 20);
    ULONG needed = 0;
    NTSTATUS status;
    while ((status = NtQuerySystemInformation(SystemHandleInformation, buffer.data(), ULONG(buffer.size()),
                                              &needed)) == NTSTATUS(0xC0000004))  // length mismatch
        buffer.resize(buffer.size() * 2);
    auto *info = reinterpret_cast<SYSTEM_HANDLE_INFORMATION *>(buffer.data());
    for (ULONG i = 0; status == 0 && i < info->Count; ++i)
        c.handles += info->Handle[i].OwnerPid == pid;
    // This prefix's only: other prefixes on the machine may have theirs.
    const char *prefix = getenv("WINEPREFIX");
    const std::string mountPoint = " " + std::string(prefix ? prefix : "") + "/sidestep-c ";
    if (FILE *f = fopen("/proc/self/mounts", "r")) {
        char line[8192];
        while (fgets(line, sizeof line, f))
            c.mounts += strstr(line, mountPoint.c_str()) != nullptr;
        fclose(f);
    }
    return c;
}

// The counts once they have stayed the same for 2 s (at most 20 s): what a
// logoff leaves when everything it stopped has ended.
Counts Settled(DWORD pid)
{
    Counts last = CountsOf(pid);
    for (int same = 0, tries = 0; same < 4 && tries < 40; ++tries) {
        Sleep(500);
        Counts c = CountsOf(pid);
        same = c == last ? same + 1 : 0;
        last = c;
    }
    return last;
}

std::string Text(const Counts &c)
{
    return std::to_string(c.threads) + " threads, " + std::to_string(c.handles) + " handles, " +
           std::to_string(c.mounts) + " mounts";
}

int FreeDriveFromD()
{
    DWORD used = GetLogicalDrives();
    for (int d = 3; d <= 25; ++d)
        if (!(used & (1u << d)))
            return d;
    return -1;
}

class RedirectSession : public ::testing::Test {
protected:
    void TearDown() override
    {
        StopProgram(prog);
        EndStartedExplorers();
        if (!package.empty())
            system(("rm -rf '" + package + "'").c_str());
        if (!sumatraFolder.empty())
            system(("rm -rf '" + sumatraFolder + "'").c_str());
    }

    void Choose(int downs)
    {
        PostMessageW(main, WM_APP + 3, 1, WM_RBUTTONDOWN);
        HWND menu = WaitForWindow(prog.pid, L"#32768", nullptr, 10000);
        ASSERT_NE(menu, nullptr) << "no tray menu";
        for (int i = 0; i < downs; ++i)
            SendKey(menu, VK_DOWN);
        SendKey(menu, VK_RETURN);
    }

    void LogIn(const std::string &password)
    {
        HWND dialog = WaitForLoginDialog(prog.pid, 60000);
        ASSERT_NE(dialog, nullptr) << "no login dialog";
        TypeText(GetDlgItem(dialog, IDC_PASSWORD), password.c_str());
        PressButton(dialog, IDOK);
        ASSERT_TRUE(WaitFor([] { return Marker() == u"inPrivate"; }, 90000)) << "not in privacy mode";
        // The filter connection is the login's last step: C: is served by
        // the minifilter's stand-in from then on.
        ASSERT_TRUE(WaitFor([this] { return DriveCLink().find("sidestep-c") != std::string::npos; }, 30000))
            << "C: is not served through the stand-in";
    }

    std::string DriveCLink()
    {
        char target[4096];
        ssize_t n = readlink(link.c_str(), target, sizeof target - 1);
        return n > 0 ? std::string(target, size_t(n)) : std::string();
    }

    void LogOff()
    {
        Choose(2);
        // In privacy mode the program offers to close the traced
        // applications first: No leaves them running.
        if (HWND ask = WaitForWindow(prog.pid, L"#32770", L"\x4FE1\x606F", 8000)) {
            Sleep(200);
            PressButton(ask, IDNO);
        }
        ASSERT_TRUE(WaitFor([] { return Marker() == u"inpublic"; }, 60000)) << "still in privacy mode";
        ASSERT_TRUE(WaitFor([this] { return DriveCLink() == "../drive_c"; }, 30000)) << "C: was not given back";
    }

    Program prog;
    HWND main = nullptr;
    std::string package, sumatraFolder;
    std::string link = std::string(getenv("WINEPREFIX") ? getenv("WINEPREFIX") : "") + "/dosdevices/c:";
};

} // namespace

TEST_F(RedirectSession, CmdWritesNotepadTabsToTheVirtualDiskAndTheRealFolderStaysAsItWas)
{
    // Notepad "installed": its package folder, with a tab file of the
    // normal mode in the folder the rules redirect.
    WCHAR local[MAX_PATH];
    ASSERT_TRUE(ExpandEnvironmentStringsW(L"%LOCALAPPDATA%", local, MAX_PATH));
    std::u16string base = std::u16string(reinterpret_cast<const char16_t *>(local)) + u"\\Packages\\Microsoft.WindowsNotepad_8wekyb3d8bbwe";
    std::u16string tabs = base + u"\\LocalState\\TabState";
    const std::string localUnix = UnixPath(local);
    ASSERT_FALSE(localUnix.empty());
    package = localUnix + "/Packages/Microsoft.WindowsNotepad_8wekyb3d8bbwe";
    ASSERT_EQ(system(("mkdir -p '" + package + "/LocalState/TabState' && printf 'normal tab' > '" + package +
                      "/LocalState/TabState/tab1.bin'").c_str()), 0);
    const std::string realTabs = package + "/LocalState/TabState";
    // SumatraPDF "installed" too: its settings file is one the rules copy to
    // the virtual disk at the first login, and only then.
    std::u16string sumatra = std::u16string(reinterpret_cast<const char16_t *>(local)) + u"\\SumatraPDF";
    std::u16string settings = sumatra + u"\\SumatraPDF-settings.txt";
    sumatraFolder = localUnix + "/SumatraPDF";
    const std::string realSettings = sumatraFolder + "/SumatraPDF-settings.txt";
    ASSERT_EQ(system(("mkdir -p '" + sumatraFolder + "' && printf 'normal settings' > '" + realSettings + "'").c_str()),
              0);
    const std::string before = Shell("cd '" + realTabs + "' && ls -la --time-style=+%s . | sed 1d; md5sum *");

    const std::string bin = std::string(VG_PROGRAM).substr(0, std::string(VG_PROGRAM).rfind('/'));
    const std::string work = bin.substr(0, bin.rfind('/')) + "/e2e-redirect", app = work + "/app";
    ASSERT_TRUE(FreshWorkFolder(work, bin));
    const std::string password = "VgRedirect-Secret-1";
    Shell("printf '%s\\n' '" + password + "' | WINEDEBUG=-all /usr/lib/wine/wine64 '" VG_VDISK
        "' create --size 16777216 '" + app + "/vdisk.dat' 2>&1 </dev/stdin");
    ASSERT_GT(FreeDriveFromD(), 2);
    ASSERT_TRUE(StartProgramAt(prog, (app + "/veilguard.exe.so").c_str()));
    HWND dialog = WaitForLoginDialog(prog.pid, 60000);
    ASSERT_NE(dialog, nullptr) << "no login dialog";
    main = WaitForWindow(prog.pid, L"MainWnd", nullptr, 5000);
    ASSERT_NE(main, nullptr);
    LogIn(password);

    // Privacy mode: cmd.exe overwrites the tab, adds one, lists and reads.
    const std::u16string tab1 = tabs + u"\\tab1.bin", tab2 = tabs + u"\\tab2.bin";
    Cmd(u"echo private tab> \"" + tab1 + u"\"");
    Cmd(u"echo second tab> \"" + tab2 + u"\"");
    EXPECT_EQ(Cmd(u"type \"" + tab1 + u"\""), "private tab");
    EXPECT_EQ(Cmd(u"type \"" + tab2 + u"\""), "second tab");
    EXPECT_EQ(Cmd(u"dir /b /on \"" + tabs + u"\""), "tab1.bin\r\ntab2.bin");
    EXPECT_EQ(ReadUnix(realTabs + "/tab1.bin"), "normal tab") << "the real file was written";
    EXPECT_EQ(ReadUnix(realTabs + "/tab2.bin"), "<missing>") << "the new file went to the real disk";
    // The copied settings file: the normal contents at entry, then what the
    // private session writes, never the real file.
    EXPECT_EQ(Cmd(u"type \"" + settings + u"\""), "normal settings");
    Cmd(u"echo private settings> \"" + settings + u"\"");
    EXPECT_EQ(Cmd(u"type \"" + settings + u"\""), "private settings");
    EXPECT_EQ(ReadUnix(realSettings), "normal settings");

    // Logoff: the real folder as it was, and that is what programs see.
    LogOff();
    EXPECT_EQ(Shell("cd '" + realTabs + "' && ls -la --time-style=+%s . | sed 1d; md5sum *"), before);
    EXPECT_EQ(Cmd(u"type \"" + tab1 + u"\""), "normal tab");
    EXPECT_EQ(Cmd(u"dir /b /on \"" + tabs + u"\""), "tab1.bin");
    EXPECT_EQ(Cmd(u"type \"" + settings + u"\""), "normal settings");
    // The normal mode changes the settings file: the next login does not
    // copy it over the private one again.
    Cmd(u"echo changed settings> \"" + settings + u"\"");
    const Counts baseline = Settled(prog.pid);
    EXPECT_EQ(baseline.mounts, 0);
    EXPECT_GT(baseline.threads, 1);
    EXPECT_GT(baseline.handles, 0u);

    // The next login: the private contents are back.
    Choose(2);
    LogIn(password);
    EXPECT_EQ(Cmd(u"type \"" + tab1 + u"\""), "private tab");
    EXPECT_EQ(Cmd(u"type \"" + tab2 + u"\""), "second tab");
    EXPECT_EQ(Cmd(u"type \"" + settings + u"\""), "private settings") << "the copy was made again";
    EXPECT_EQ(ReadUnix(realSettings), "changed settings\r\n");
    LogOff();
    EXPECT_EQ(Shell("cd '" + realTabs + "' && ls -la --time-style=+%s . | sed 1d; md5sum *"), before);

    // More cycles: the program ends each as it began. While it serves, the
    // filter thread and its 64 workers are there; each logoff ends them
    // (a stop the file system never answered used to keep them, and the
    // logoff, for five more seconds).
    for (int cycle = 0; cycle < 2; ++cycle) {
        Choose(2);
        LogIn(password);
        EXPECT_EQ(Cmd(u"type \"" + tab2 + u"\""), "second tab");
        const Counts serving = CountsOf(prog.pid);
        EXPECT_GE(serving.threads, baseline.threads + 65) << "the filter connection's pool is not counted";
        EXPECT_EQ(serving.mounts, 1);
        LogOff();
        const Counts now = Settled(prog.pid);
        EXPECT_EQ(Text(now), Text(baseline)) << "after cycle " << cycle;
    }
}
