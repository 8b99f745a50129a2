// The warning about a security suite known to disturb the program: one box,
// whichever of its processes run.
#include "gtest_wine.h"

#include <string>
#include <vector>

#include "Mount/processes.h"
#include "process_support.h"

namespace {

DWORD WINAPI WarnThread(LPVOID) { WarnAboutSecuritySoftware(nullptr); return 0; }

HWND FindWarning(DWORD waitMs)
{
    for (DWORD waited = 0;; waited += 50) {
        HWND box = FindWindowW(L"#32770", L"提示");
        if ((box && IsWindowVisible(box)) || waited >= waitMs)
            return box;
        Sleep(50);
    }
}

class SecuritySuiteWarning : public ::testing::Test {
protected:
    void SetUp() override
    {
        GetTempPathW(MAX_PATH, folder);
        lstrcatW(folder, L"vg-suite");
        CreateDirectoryW(folder, nullptr);
    }
    void TearDown() override
    {
        for (HANDLE p : processes) {
            TerminateProcess(p, 0);
            WaitForSingleObject(p, 5000);
            CloseHandle(p);
        }
    }
    WCHAR folder[MAX_PATH];
    std::vector<HANDLE> processes;
};

TEST_F(SecuritySuiteWarning, OneBoxWhenBothProcessesRun)
{
    for (const WCHAR *name : {L"360tray.exe", L"360Safe.exe"}) {
        HANDLE p = StartNamedProcess(folder, name);
        ASSERT_NE(p, nullptr);
        processes.push_back(p);
    }
    HANDLE thread = CreateThread(nullptr, 0, WarnThread, nullptr, 0, nullptr);
    HWND box = FindWarning(10000);
    ASSERT_NE(box, nullptr) << "no warning shown";
    WCHAR text[512] = {};
    GetWindowTextW(GetDlgItem(box, 0xFFFF), text, 512);
    std::u16string shown(reinterpret_cast<const char16_t *>(text));
    EXPECT_EQ(shown.rfind(u"Veilguard检测到360安全卫士正在运行", 0), 0u);
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    // The warning returns after the one box; no second box follows.
    EXPECT_EQ(WaitForSingleObject(thread, 10000), WAIT_OBJECT_0);
    CloseHandle(thread);
    EXPECT_EQ(FindWindowW(L"#32770", L"提示"), nullptr);
}

TEST_F(SecuritySuiteWarning, NoBoxWithoutTheSuite)
{
    HANDLE p = StartNamedProcess(folder, L"360helper.exe");  // similar, not matching
    ASSERT_NE(p, nullptr);
    processes.push_back(p);
    HANDLE thread = CreateThread(nullptr, 0, WarnThread, nullptr, 0, nullptr);
    DWORD r = WaitForSingleObject(thread, 10000);
    if (r != WAIT_OBJECT_0) {
        HWND box = FindWarning(0);
        if (box)
            PostMessageW(box, WM_COMMAND, IDOK, 0);
        WaitForSingleObject(thread, 5000);
    }
    CloseHandle(thread);
    EXPECT_EQ(r, WAIT_OBJECT_0) << "a warning was shown without the suite running";
}

}  // namespace
