// Shared pieces of the volume tests: test containers, message boxes shown on
// a worker thread and answered here, and a clean driver emulation per test.
#pragma once
#include "gtest_wine.h"

#include <dlfcn.h>

#include <functional>
#include <string>
#include <vector>

#include "Mount/app_state.h"
#include "Mount/init_app.h"
#include "Mount/language.h"
#include "crypto/cipher_tables.h"
#include "crypto/crypto_init.h"
#include "crypto/random_pool.h"
#include "standin/qdsk/area_cipher.h"
#include "standin/qdsk/fresh_mark.h"
#include "standin/qdsk/qdsk_standin.h"
#include "volume/driver_control.h"
#include "volume/mount.h"
#include "volume/volume_header.h"

// The second process of the volume tests (tests/wine/main.cpp starts it for
// "--standin-child").
int RunStandinChild(const char *container);

namespace volume_test {

inline std::u16string Text(const WCHAR *s) { return std::u16string(reinterpret_cast<const char16_t *>(s)); }

inline QdskPassword Password(const char *text)
{
    QdskPassword p = {};
    p.ByteCount = uint32_t(lstrlenA(text));
    CopyMemory(p.Bytes, text, p.ByteCount);
    return p;
}

// A container with its primary header opened by primary and its backup by
// backup (same master key); dataSize bytes of data area between them, which
// start with the fresh-container mark when fresh is set (random-looking
// bytes otherwise). Other modes than XTS get a fixed key area. Written in
// pieces and sparse, so that large containers cost neither memory nor disk.
inline bool MakeContainer(const char *path, const char *primary, const char *backup, uint64_t dataSize = 1 << 20,
                          int32_t mode = MODE_XTS, int32_t algorithm = 1, bool fresh = true)
{
    const uint64_t area = 131072;
    QdskPassword p1 = Password(primary), p2 = Password(backup);
    uint8_t h1[VOLUME_HEADER_SIZE], h2[VOLUME_HEADER_SIZE];
    uint8_t keyArea[256];
    for (int i = 0; i < 256; ++i)
        keyArea[i] = uint8_t(i * 37 + 11);
    QdskCryptoContext *key = nullptr;
    bool ok = BuildVolumeHeader(false, h1, algorithm, mode, &p1, 1, mode == MODE_XTS ? nullptr : keyArea, &key,
                                dataSize, 0, area, dataSize, 0x0600, 0, false) == VOLUME_OK &&
              BuildVolumeHeader(false, h2, algorithm, mode, &p2, 1, key->masterKey, nullptr, dataSize, 0, area,
                                dataSize, 0x0600, 0, false) == VOLUME_OK;
    std::vector<uint8_t> first(65536, 0x5A);
    if (ok && fresh) {
        memcpy(first.data(), FreshMark(), FRESH_MARK_SIZE);
        AreaCipher cipher(key, true);
        ok = cipher.Next(first.data(), first.size());
    }
    ReleaseCryptoContext(key);
    if (!ok)
        return false;
    HANDLE f = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE)
        return false;
    auto put = [&](uint64_t at, const void *data, DWORD n) {
        LARGE_INTEGER to;
        to.QuadPart = LONGLONG(at);
        DWORD written = 0;
        return SetFilePointerEx(f, to, nullptr, FILE_BEGIN) && WriteFile(f, data, n, &written, nullptr) &&
               written == n;
    };
    ok = put(0, h1, sizeof h1) && put(area, first.data(), DWORD(dataSize < first.size() ? dataSize : first.size())) &&
         put(area + dataSize, h2, sizeof h2);
    LARGE_INTEGER end;
    end.QuadPart = LONGLONG(2 * area + dataSize);
    ok = ok && SetFilePointerEx(f, end, nullptr, FILE_BEGIN) && SetEndOfFile(f);
    CloseHandle(f);
    return ok;
}

inline std::string ReadAll(const char *path)
{
    std::string s;
    HANDLE f = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    if (f == INVALID_HANDLE_VALUE)
        return s;
    char buffer[65536];
    DWORD n;
    while (ReadFile(f, buffer, sizeof(buffer), &n, nullptr) && n)
        s.append(buffer, n);
    CloseHandle(f);
    return s;
}

inline bool WriteAll(const char *path, const std::string &data)
{
    HANDLE f = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE)
        return false;
    DWORD n = 0;
    BOOL ok = WriteFile(f, data.data(), DWORD(data.size()), &n, nullptr) && n == data.size();
    CloseHandle(f);
    return ok;
}

// One message box as the user saw it.
struct Box {
    std::u16string text;
    char icon;  // 'W', 'E', 'I', '?' or 0
    bool yesNo;
    int defaultId;
    std::u16string ownerTitle;  // the title of the window that owns it
};

inline BOOL CALLBACK FindIcon(HWND child, LPARAM param)
{
    if ((GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
        *reinterpret_cast<HICON *>(param) = reinterpret_cast<HICON>(SendMessageW(child, STM_GETICON, 0, 0));
        return FALSE;
    }
    return TRUE;
}

inline Box Inspect(HWND box)
{
    Box b = {};
    WCHAR text[2048] = {};
    GetWindowTextW(GetDlgItem(box, 0xFFFF), text, 2048);
    b.text = Text(text);
    HICON icon = nullptr;
    EnumChildWindows(box, FindIcon, reinterpret_cast<LPARAM>(&icon));
    b.icon = !icon                                    ? 0
             : icon == LoadIconW(nullptr, IDI_WARNING) ? 'W'
             : icon == LoadIconW(nullptr, IDI_ERROR)   ? 'E'
             : icon == LoadIconW(nullptr, IDI_INFORMATION) ? 'I'
                                                           : '?';
    b.yesNo = GetDlgItem(box, IDYES) != nullptr;
    for (int id : {IDOK, IDYES, IDNO}) {
        HWND button = GetDlgItem(box, id);
        if (button && (GetWindowLongW(button, GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON)
            b.defaultId = id;
    }
    if (HWND owner = GetWindow(box, GW_OWNER)) {
        WCHAR title[256] = {};
        InternalGetWindowText(owner, title, 256);
        b.ownerTitle = Text(title);
    }
    return b;
}

inline BOOL CALLBACK MatchOwnBox(HWND window, LPARAM found)
{
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    WCHAR cls[16] = {0}, title[16] = {0};
    GetClassNameW(window, cls, 16);
    InternalGetWindowText(window, title, 16);
    if (process == GetCurrentProcessId() && lstrcmpW(cls, L"#32770") == 0 && lstrcmpW(title, L"Veilguard") == 0) {
        *reinterpret_cast<HWND *>(found) = window;
        return FALSE;
    }
    return TRUE;
}

// A message box of this process (tests running beside it show their own).
inline HWND FindOwnBox()
{
    HWND found = nullptr;
    EnumWindows(MatchOwnBox, reinterpret_cast<LPARAM>(&found));
    return found;
}

struct Run {
    std::function<void()> body;
};

inline DWORD WINAPI RunBody(LPVOID param)
{
    static_cast<Run *>(param)->body();
    return 0;
}

// Runs body on a worker thread; every message box it shows is recorded and
// answered with the next of answers (IDOK when they run out). With
// answeredText, only the boxes with that text take the answers (others come
// when another thread gets to them).
inline std::vector<Box> RunAnswering(std::function<void()> body, std::vector<int> answers = {},
                                     const std::u16string &answeredText = std::u16string())
{
    Run run{std::move(body)};
    HANDLE thread = CreateThread(nullptr, 0, RunBody, &run, 0, nullptr);
    std::vector<Box> boxes;
    size_t next = 0;
    for (int waited = 0; waited < 120000; waited += 20) {
        if (WaitForSingleObject(thread, 20) == WAIT_OBJECT_0)
            break;
        HWND box = FindOwnBox();
        if (!box || !IsWindowVisible(box))
            continue;
        boxes.push_back(Inspect(box));
        bool takesAnswer = answeredText.empty() || boxes.back().text == answeredText;
        int answer = takesAnswer && next < answers.size() ? answers[next++] : IDOK;
        if (answer == IDOK && GetDlgItem(box, IDOK) == nullptr)
            answer = IDYES;
        PostMessageW(box, WM_COMMAND, answer, 0);
        // Wait until this box is gone before looking for the next one.
        for (int i = 0; i < 250 && IsWindow(box); ++i)
            Sleep(20);
    }
    WaitForSingleObject(thread, 5000);
    CloseHandle(thread);
    return boxes;
}

// A fresh folder for this test's containers (ANSI path with a trailing
// backslash).
inline std::string NewFolder()
{
    char temp[MAX_PATH], folder[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    wsprintfA(folder, "%svgvol-%lu-%lu\\", temp, GetCurrentProcessId(), GetTickCount());
    CreateDirectoryA(folder, nullptr);
    return folder;
}

extern int g_handOvers;
extern int g_handOverDrive;

class VolumeTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        // Once per process: the dialog class can be registered only once.
        static bool initialized;
        if (initialized)
            return;
        initialized = true;
        SetPreferredLanguage("zh-cn");
        ASSERT_EQ(LoadLanguage(), 1);
        lstrcpynW(g_szProgramTitle, GetString("VGRD"), ARRAYSIZE(g_szProgramTitle));
        InitApplication(GetModuleHandleW(nullptr));
        ASSERT_TRUE(InitCrypto());
        ASSERT_TRUE(OpenRandomPool());
    }
    void SetUp() override
    {
        QdskStandinReset();
        DriverHandle = INVALID_HANDLE_VALUE;
        WrongPasswordCount = 0;
        g_handOvers = 0;
        g_handOverDrive = -1;
        PrivacyHandOver = [](HWND, int drive) {
            ++g_handOvers;
            g_handOverDrive = drive;
        };
        folder = NewFolder();
        container = folder + "vdisk.dat";
    }
    void TearDown() override
    {
        QdskStandinReset();
        DriverHandle = INVALID_HANDLE_VALUE;
        DeleteFileA(container.c_str());
        RemoveDirectoryA(folder.c_str());
    }
    int Mount(int drive, const char *password, BOOL report = TRUE, std::vector<Box> *boxes = nullptr,
              std::vector<int> answers = {})
    {
        int result = -100;
        QdskPassword pw = Password(password);
        MountOptions options = {};
        std::vector<Box> shown = RunAnswering(
            [&] { result = MountVolume(nullptr, drive, container.c_str(), &pw, FALSE, FALSE, &options, report); },
            answers);
        if (boxes)
            *boxes = shown;
        else
            EXPECT_TRUE(shown.empty()) << "unexpected box";
        return result;
    }
    std::string folder, container;
};

// Starts this program again as a second process that runs RunStandinChild
// in the given mode with arg; its handle, or null.
inline HANDLE StartChild(const char *mode, const std::string &arg, DWORD *pid = nullptr)
{
    Dl_info self = {};
    if (!dladdr(reinterpret_cast<void *>(&RunStandinChild), &self))
        return nullptr;
    WCHAR line[1024];
    WCHAR *dos = wine_get_dos_file_name(self.dli_fname);
    if (!dos)
        return nullptr;
    wsprintfW(line, L"\"%s\" --standin-child \"%hs\"", dos, arg.c_str());
    HeapFree(GetProcessHeap(), 0, dos);
    SetEnvironmentVariableA("VG_STANDIN_CHILD", mode);
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    BOOL started = CreateProcessW(nullptr, line, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi);
    SetEnvironmentVariableA("VG_STANDIN_CHILD", nullptr);
    if (!started)
        return nullptr;
    CloseHandle(pi.hThread);
    if (pid)
        *pid = pi.dwProcessId;
    return pi.hProcess;
}

// Waits until the child signals that it is ready (false when it ended or
// took too long).
inline bool ChildReady(HANDLE child)
{
    HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, "vg-standin-child-ready");
    HANDLE both[2] = {ready, child};
    DWORD waited = WaitForMultipleObjects(2, both, FALSE, 60000);
    CloseHandle(ready);
    return waited == WAIT_OBJECT_0;
}

}  // namespace volume_test
