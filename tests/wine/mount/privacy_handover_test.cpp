// The hand-over from a mount to privacy mode: the shell ends, the
// environment switches onto the drive, the shell starts again and the
// privacy-mode icon comes up. Ends every explorer.exe of the prefix, so it
// runs alone.
#include "gtest_wine.h"

#include <psapi.h>

#include "Mount/privacy_handover.h"
#include "Mount/processes.h"
#include "Mount/tray_icon.h"
#include "env/mode_marker.h"
#include "env/privacy_env.h"
#include "process_support.h"
#include "wine/env/switch_test_support.h"
#include "wine/volume/volume_support.h"

using namespace switch_test;

namespace {

// Process ids of every process whose executable is an explorer.exe.
std::vector<DWORD> ExplorerProcesses()
{
    std::vector<DWORD> found;
    DWORD ids[1024], bytes = 0;
    EnumProcesses(ids, sizeof ids, &bytes);
    for (DWORD i = 0; i < bytes / sizeof(DWORD); ++i) {
        HANDLE p = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, ids[i]);
        if (!p)
            continue;
        WCHAR path[MAX_PATH] = L"";
        if (GetModuleFileNameExW(p, nullptr, path, MAX_PATH) && StrRStrIW(path, nullptr, L"explorer.exe"))
            found.push_back(ids[i]);
        CloseHandle(p);
    }
    return found;
}

}  // namespace

TEST(PrivacyHandOver, ShellRestartsOnTheSwitchedEnvironment)
{
    PrefixSnapshot snapshot;
    ScratchDir work(L"handover"), disk(L"handoverdisk"), fake(L"fakeshell");
    TestDrive drive(L'W', disk.path);
    WCHAR fest[MAX_PATH];
    BuildBinFile(L"fest.sys", fest);
    ASSERT_TRUE(CopyFileW(fest, L"W:\\fest.sys", FALSE));
    ASSERT_TRUE(LoadTables(work, ""));
    WriteValue(HKEY_CURRENT_USER, L"Environment", L"TEMP", Text(REG_EXPAND_SZ, L"%USERPROFILE%\\VgTemp"));
    WriteValue(HKEY_CURRENT_USER, L"Environment", L"TMP", Text(REG_EXPAND_SZ, L"%USERPROFILE%\\VgTemp"));
    WriteValue(HKEY_LOCAL_MACHINE, kWinlogon, L"AutoRestartShell", RegValue());

    HANDLE shell = StartNamedProcess(fake.path, L"explorer.exe");
    ASSERT_NE(shell, nullptr);
    WNDCLASSW wc = {};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"VgHandOverOwner";
    RegisterClassW(&wc);
    HWND owner = CreateWindowExW(0, wc.lpszClassName, L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, wc.hInstance,
                                 nullptr);
    ASSERT_NE(owner, nullptr);

    std::vector<volume_test::Box> boxes = volume_test::RunAnswering([owner] { EnterPrivacyMode(owner, L'W' - L'A'); });
    EXPECT_TRUE(boxes.empty());

    EXPECT_EQ(WaitForSingleObject(shell, 5000), WAIT_OBJECT_0) << "the running shell was ended";
    CloseHandle(shell);
    std::vector<DWORD> restarted = ExplorerProcesses();
    EXPECT_FALSE(restarted.empty()) << "a shell runs";
    // Under Wine the desktop process is the shell and stays: an
    // "explorer.exe" started beside it would open a folder window on the
    // desktop (and crash when the desktop folder cannot be bound).
    Sleep(1000);
    EXPECT_EQ(FindWindowW(L"ExplorerWClass", nullptr), nullptr) << "no folder window opened";
    RegValue restart = ReadValue(HKEY_LOCAL_MACHINE, kWinlogon, L"AutoRestartShell");
    EXPECT_EQ(restart.type, DWORD(REG_DWORD));
    EXPECT_EQ(restart.data, std::string("\x01\0\0\0", 4)) << "automatic shell restart back on";
    EXPECT_EQ(ReadModeMarkerIsPrivate(), 1);
    std::string temp = Utf8(ReadValue(HKEY_CURRENT_USER, L"Environment", L"TEMP"));
    EXPECT_EQ(temp.substr(0, 3), "W:\\") << temp;
    for (int i = 0; i < 200 && !g_hTrayMutex; ++i)
        Sleep(50);
    EXPECT_NE(g_hTrayMutex, nullptr) << "the privacy-mode icon is shown";

    RemoveTrayIcon(owner);
    DestroyWindow(owner);
    volume_test::RunAnswering([] { LeavePrivacyEnvironment(); });
    // The shell the hand-over started holds this process's output (ctest's
    // pipe): it goes again. Wine's desktop was left running throughout.
    EndExplorerProcesses();
    EXPECT_NE(FindWindowW(L"Shell_TrayWnd", nullptr), nullptr);
    FreeTables();
}
