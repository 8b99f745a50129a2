// The random pool's input hooks under Wine: key releases and mouse moves on
// the thread that started the pool reach the pool.
#include "gtest_wine.h"

#include "crypto/random_pool.h"
#include "crypto/random_pool_win32.h"

namespace {

void Pump(DWORD milliseconds)
{
    DWORD end = GetTickCount() + milliseconds;
    while (GetTickCount() < end) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        Sleep(10);
    }
}

HWND MakeWindow()
{
    HWND window = CreateWindowExW(0, L"STATIC", L"pool input", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 100, 300,
                                  200, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    SetForegroundWindow(window);
    SetFocus(window);
    Pump(300);
    return window;
}

void Key(WORD vk, WORD scan)
{
    INPUT input[2] = {};
    input[0].type = input[1].type = INPUT_KEYBOARD;
    input[0].ki.wVk = input[1].ki.wVk = vk;
    input[0].ki.wScan = input[1].ki.wScan = scan;
    input[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, input, sizeof(INPUT));
    Pump(100);
}

}  // namespace

TEST(RandomPoolHooks, KeyReleasesAddToThePoolButNotAThirdRepeat)
{
    HWND window = MakeWindow();
    ASSERT_NE(window, nullptr);
    ASSERT_EQ(StartRandomPool(), 0);
    SetQuickPollEnabled(false);  // only the hook moves the write cursor
    uint32_t start = RandomWriteCursor();
    Key('A', 0x1E);
    uint32_t afterOne = RandomWriteCursor();
    if (afterOne == start) {
        StopRandomPool();
        DestroyWindow(window);
        GTEST_SKIP() << "this display delivers no synthetic key input to the window";
    }
    EXPECT_EQ(afterOne, start + 4) << "one AddInt per counted release";
    Key('A', 0x1E);
    EXPECT_EQ(RandomWriteCursor(), start + 8);
    Key('A', 0x1E);
    EXPECT_EQ(RandomWriteCursor(), start + 8) << "the third release of the same key does not count";
    Key('B', 0x30);
    EXPECT_EQ(RandomWriteCursor(), start + 12);
    SetQuickPollEnabled(true);
    StopRandomPool();
    DestroyWindow(window);
}
