// The Windows side of the random pool: input hooks, the polling thread, and
// the quick and deep pollers that feed the pool from system state, network
// and disk statistics and the CryptoAPI generator.
#include "crypto/random_pool_win32.h"

#include <windows.h>
#include <wincrypt.h>

#include <cstdio>

#include "crypto/input_entropy.h"
#include "crypto/random_pool.h"
#include "crypto/secure_memory.h"

namespace {

typedef DWORD(WINAPI *NetStatisticsGetFn)(LPWSTR server, LPWSTR service, DWORD level, DWORD options,
                                          LPBYTE *buffer);
typedef DWORD(WINAPI *NetApiBufferSizeFn)(LPVOID buffer, LPDWORD size);
typedef DWORD(WINAPI *NetApiBufferFreeFn)(LPVOID buffer);

constexpr DWORD DiskPerformanceIoctl = 0x70020;  // IOCTL_DISK_PERFORMANCE
constexpr DWORD DiskPerformanceSize = 88;
constexpr int MaxPhysicalDrives = 64;  // bound on the drive walk

bool PoolStarted = false;
bool StopRequested = false;  // guarded by the pool lock
HHOOK KeyboardHook = nullptr;
HHOOK MouseHook = nullptr;
HANDLE PollingThread = nullptr;
HANDLE StopEvent = nullptr;  // set with StopRequested: ends the polling thread's pause at once
HCRYPTPROV Provider = 0;

HMODULE NetApi = nullptr;
bool NetApiTried = false;
NetStatisticsGetFn NetStatisticsGetPtr = nullptr;
NetApiBufferSizeFn NetApiBufferSizePtr = nullptr;
NetApiBufferFreeFn NetApiBufferFreePtr = nullptr;

int IsWorkstation = -1;  // unknown until read once from the registry
bool StartupInfoAdded = false;

KeyboardEntropy Keyboard;
MouseEntropy Mouse;

uint32_t AsInt(const void *handle) { return uint32_t(reinterpret_cast<uintptr_t>(handle)); }

void AddFileTimes(const FILETIME *times)
{
    for (int i = 0; i < 4; i++)
        RandomAddBuffer(&times[i], sizeof times[i]);
}

void QuickPoll()
{
    RandomAddInt(AsInt(GetActiveWindow()));
    RandomAddInt(AsInt(GetCapture()));
    RandomAddInt(AsInt(GetClipboardOwner()));
    RandomAddInt(AsInt(GetClipboardViewer()));
    RandomAddInt(AsInt(GetCurrentProcess()));
    RandomAddInt(GetCurrentProcessId());
    RandomAddInt(AsInt(GetCurrentThread()));
    RandomAddInt(GetCurrentThreadId());
    RandomAddInt(GetTickCount());
    RandomAddInt(AsInt(GetDesktopWindow()));
    RandomAddInt(AsInt(GetFocus()));
    RandomAddInt(GetInputState());
    RandomAddInt(GetMessagePos());
    RandomAddInt(uint32_t(GetMessageTime()));
    RandomAddInt(AsInt(GetOpenClipboardWindow()));
    RandomAddInt(AsInt(GetProcessHeap()));
    RandomAddInt(AsInt(GetProcessWindowStation()));
    RandomAddInt(GetQueueStatus(QS_ALLEVENTS));

    POINT point = {};
    GetCaretPos(&point);
    RandomAddBuffer(&point, sizeof point);
    GetCursorPos(&point);
    RandomAddBuffer(&point, sizeof point);

    MEMORYSTATUS memory = {};
    memory.dwLength = sizeof memory;
    GlobalMemoryStatus(&memory);
    RandomAddBuffer(&memory, sizeof memory);

    FILETIME times[4] = {};
    if (GetThreadTimes(GetCurrentThread(), &times[0], &times[1], &times[2], &times[3]))
        AddFileTimes(times);
    if (GetProcessTimes(GetCurrentProcess(), &times[0], &times[1], &times[2], &times[3]))
        AddFileTimes(times);

    SIZE_T minimumSet = 0, maximumSet = 0;
    GetProcessWorkingSetSize(GetCurrentProcess(), &minimumSet, &maximumSet);
    RandomAddInt(uint32_t(minimumSet));
    RandomAddInt(uint32_t(maximumSet));

    if (!StartupInfoAdded) {
        STARTUPINFOW startup = {};
        startup.cb = sizeof startup;
        GetStartupInfoW(&startup);
        RandomAddBuffer(&startup, sizeof startup);
        StartupInfoAdded = true;
    }

    LARGE_INTEGER counter;
    if (QueryPerformanceCounter(&counter)) {
        RandomAddBuffer(&counter, sizeof counter);
    } else {
        DWORD tick = GetTickCount();
        RandomAddBuffer(&tick, sizeof tick);
    }

    if (Provider != 0) {
        BYTE buffer[RANDOM_POOL_SIZE];
        if (CryptGenRandom(Provider, sizeof buffer, buffer))
            RandomAddBuffer(buffer, sizeof buffer);
        BurnMemory(buffer, sizeof buffer);
    }
}

void ReadProductType()
{
    HKEY key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\ProductOptions", 0, KEY_READ,
                      &key) != ERROR_SUCCESS)
        return;  // still unknown; asked again on the next deep poll
    IsWorkstation = 1;
    WCHAR type[16] = {};  // 32 bytes
    DWORD size = sizeof type - sizeof(WCHAR);
    LONG status = RegQueryValueExW(key, L"ProductType", nullptr, nullptr, reinterpret_cast<BYTE *>(type), &size);
    if (status == ERROR_MORE_DATA || (status == ERROR_SUCCESS && lstrcmpiW(type, L"WinNT") != 0))
        IsWorkstation = 0;
    RegCloseKey(key);
}

template <typename Fn>
Fn Entry(const char *name)
{
    return reinterpret_cast<Fn>(reinterpret_cast<void *>(GetProcAddress(NetApi, name)));
}

void LoadNetApi()
{
    NetApiTried = true;
    NetApi = LoadLibraryW(L"NETAPI32.DLL");
    if (NetApi == nullptr)
        return;
    NetStatisticsGetPtr = Entry<NetStatisticsGetFn>("NetStatisticsGet");
    NetApiBufferSizePtr = Entry<NetApiBufferSizeFn>("NetApiBufferSize");
    NetApiBufferFreePtr = Entry<NetApiBufferFreeFn>("NetApiBufferFree");
    if (!NetStatisticsGetPtr || !NetApiBufferSizePtr || !NetApiBufferFreePtr) {
        FreeLibrary(NetApi);
        NetApi = nullptr;
        NetStatisticsGetPtr = nullptr;
        NetApiBufferSizePtr = nullptr;
        NetApiBufferFreePtr = nullptr;
    }
}

void FreeNetApi()
{
    if (NetApi != nullptr)
        FreeLibrary(NetApi);
    NetApi = nullptr;
    NetApiTried = false;
    NetStatisticsGetPtr = nullptr;
    NetApiBufferSizePtr = nullptr;
    NetApiBufferFreePtr = nullptr;
}

bool DeepPoll()
{
    if (IsWorkstation < 0)
        ReadProductType();
    if (!NetApiTried)
        LoadNetApi();

    if (NetApi != nullptr) {
        WCHAR workstation[] = L"LanmanWorkstation";
        WCHAR server[] = L"LanmanServer";
        LPBYTE statistics = nullptr;
        if (NetStatisticsGetPtr(nullptr, IsWorkstation != 0 ? workstation : server, 0, 0, &statistics) == 0 &&
            statistics != nullptr) {
            DWORD size = 0;
            NetApiBufferSizePtr(statistics, &size);
            RandomAddBuffer(statistics, size);
            NetApiBufferFreePtr(statistics);
        }
    }

    for (int drive = 0; drive < MaxPhysicalDrives; drive++) {
        char name[32];
        snprintf(name, sizeof name, "\\\\.\\PhysicalDrive%d", drive);
        HANDLE device = CreateFileA(name, 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
        if (device == INVALID_HANDLE_VALUE)
            break;
        BYTE performance[DiskPerformanceSize];
        DWORD returned = 0;
        if (DeviceIoControl(device, DiskPerformanceIoctl, nullptr, 0, performance, sizeof performance, &returned,
                            nullptr))
            RandomAddBuffer(performance, returned);
        CloseHandle(device);
    }

    if (Provider != 0) {
        BYTE buffer[RANDOM_POOL_SIZE];
        for (int i = 0; i < 100; i++)
            if (CryptGenRandom(Provider, sizeof buffer, buffer))
                RandomAddBuffer(buffer, sizeof buffer);
        BurnMemory(buffer, sizeof buffer);
    }
    return true;  // the pool stirs after every deep poll
}

// How failures reach the user: the caller of StartRandomPool decides (the
// shell passes its message boxes); without a reporter they go unshown.
void ReportNothing(const char *) {}
RandomPoolWindowsErrorReporter ReportWindowsError;

RandomPollers WindowsPollers = {QuickPoll, DeepPoll, ReportNothing};

void ReportLastWindowsError()
{
    if (ReportWindowsError)
        ReportWindowsError(nullptr);
}

LRESULT CALLBACK KeyboardProc(int code, WPARAM wParam, LPARAM lParam)
{
    if (code >= 0) {
        uint32_t value;
        if (KeyboardEventEntropy(Keyboard, uint32_t(lParam), GetTickCount(), &value)) {
            LockRandomPool();
            RandomAddInt(value);
            UnlockRandomPool();
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

LRESULT CALLBACK MouseProc(int code, WPARAM wParam, LPARAM lParam)
{
    if (code < 0)
        return CallNextHookEx(nullptr, code, wParam, lParam);
    uint32_t value;
    if (MouseEventEntropy(Mouse, reinterpret_cast<const void *>(lParam), sizeof(MOUSEHOOKSTRUCT), GetTickCount(),
                          &value)) {
        LockRandomPool();
        RandomAddInt(value);
        UnlockRandomPool();
    }
    return 0;
}

// Half a second between quick polls; a stop request cuts the pause short,
// so that stopping the pool (once per password change) does not wait out
// the rest of it.
void PauseBetweenPolls()
{
    if (StopEvent == nullptr || WaitForSingleObject(StopEvent, 500) == WAIT_FAILED)
        Sleep(500);
}

DWORD WINAPI PollingThreadProc(LPVOID)
{
    for (;;) {
        LockRandomPool();
        if (StopRequested)
            break;
        if (IsQuickPollEnabled())
            RandomQuickPoll();
        UnlockRandomPool();
        PauseBetweenPolls();
    }
    StopRequested = false;
    UnlockRandomPool();
    return 0;
}

}  // namespace

int StartRandomPool(RandomPoolKeyReporter reportKey, RandomPoolWindowsErrorReporter reportWindowsError)
{
    if (PoolStarted)
        return 0;
    WindowsPollers.reportError = reportKey ? reportKey : ReportNothing;
    ReportWindowsError = reportWindowsError;
    PoolStarted = true;
    if (!OpenRandomPool()) {
        StopRandomPool();
        return 1;
    }
    InitKeyboardEntropy(Keyboard);
    InitMouseEntropy(Mouse);

    KeyboardHook = SetWindowsHookExW(WH_KEYBOARD, KeyboardProc, nullptr, GetCurrentThreadId());
    if (KeyboardHook == nullptr)
        ReportLastWindowsError();
    MouseHook = SetWindowsHookExW(WH_MOUSE, MouseProc, nullptr, GetCurrentThreadId());
    if (MouseHook == nullptr) {
        ReportLastWindowsError();
        StopRandomPool();
        return 1;
    }

    if (!CryptAcquireContextW(&Provider, nullptr, nullptr, PROV_RSA_FULL, 0) &&
        !CryptAcquireContextW(&Provider, nullptr, nullptr, PROV_RSA_FULL, CRYPT_NEWKEYSET))
        Provider = 0;

    SetRandomPollers(&WindowsPollers);
    StopRequested = false;
    StopEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);  // none: the thread sleeps its pauses out
    DWORD threadId;
    PollingThread = CreateThread(nullptr, 0, PollingThreadProc, nullptr, 0, &threadId);
    if (PollingThread == nullptr) {
        StopRandomPool();
        return 1;
    }
    return 0;
}

void StopRandomPool()
{
    if (!PoolStarted)
        return;

    LockRandomPool();
    if (KeyboardHook != nullptr)
        UnhookWindowsHookEx(KeyboardHook);
    if (MouseHook != nullptr)
        UnhookWindowsHookEx(MouseHook);
    KeyboardHook = nullptr;
    MouseHook = nullptr;
    if (PollingThread != nullptr) {
        StopRequested = true;
        if (StopEvent != nullptr)
            SetEvent(StopEvent);
    }
    UnlockRandomPool();

    if (PollingThread != nullptr) {
        // The thread acknowledges by clearing the request just before it
        // ends: look at least every 250 ms, and as soon as it has ended.
        for (;;) {
            LockRandomPool();
            bool stopped = !StopRequested;
            UnlockRandomPool();
            if (stopped)
                break;
            if (WaitForSingleObject(PollingThread, 250) == WAIT_FAILED)
                Sleep(250);
        }
        WaitForSingleObject(PollingThread, INFINITE);
        CloseHandle(PollingThread);
        PollingThread = nullptr;
    }
    if (StopEvent != nullptr)
        CloseHandle(StopEvent);
    StopEvent = nullptr;

    LockRandomPool();
    FreeNetApi();
    if (Provider != 0)
        CryptReleaseContext(Provider, 0);
    Provider = 0;
    SetRandomPollers(nullptr);
    CloseRandomPool();
    StopRequested = false;
    UnlockRandomPool();
    PoolStarted = false;
}
