#include "driver.h"

#include <glob.h>
#include <psapi.h>
#include <shlwapi.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

namespace {

struct Search {
    DWORD pid;
    const WCHAR *cls;
    const WCHAR *title;
    HWND found;
};

BOOL CALLBACK MatchWindow(HWND hwnd, LPARAM param)
{
    Search *s = reinterpret_cast<Search *>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid != s->pid)
        return TRUE;
    WCHAR cls[256];
    GetClassNameW(hwnd, cls, 256);
    if (lstrcmpiW(cls, s->cls) != 0)
        return TRUE;
    if (s->title) {
        WCHAR title[512];
        GetWindowTextW(hwnd, title, 512);
        if (lstrcmpW(title, s->title) != 0)
            return TRUE;
    }
    s->found = hwnd;
    return FALSE;
}

BOOL CALLBACK CollectStatic(HWND hwnd, LPARAM param)
{
    WCHAR cls[64];
    GetClassNameW(hwnd, cls, 64);
    if (lstrcmpiW(cls, L"Static") == 0) {
        WCHAR text[2048];
        if (GetWindowTextW(hwnd, text, 2048) > 0) {
            std::u16string *out = reinterpret_cast<std::u16string *>(param);
            if (!out->empty())
                out->push_back(u'\n');
            out->append(reinterpret_cast<const char16_t *>(text));
        }
    }
    return TRUE;
}

}  // namespace

bool StartProgram(Program &p)
{
    return StartProgramAt(p, VG_PROGRAM);
}

bool StartProgramAt(Program &p, const char *unixPath)
{
    // A Winelib program is started by its .exe.so file from inside Wine.
    WCHAR *path = nullptr;
    int n = MultiByteToWideChar(CP_UNIXCP, 0, unixPath, -1, nullptr, 0);
    std::u16string dos;
    {
        std::u16string wide(n, u'\0');
        MultiByteToWideChar(CP_UNIXCP, 0, unixPath, -1, reinterpret_cast<WCHAR *>(&wide[0]), n);
        wide.resize(n - 1);
        for (auto &c : wide)
            if (c == u'/')
                c = u'\\';
        dos = u"Z:" + wide;
    }
    path = reinterpret_cast<WCHAR *>(&dos[0]);
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessW(path, nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return false;
    CloseHandle(pi.hThread);
    p.process = pi.hProcess;
    p.pid = pi.dwProcessId;
    return true;
}

DWORD WaitForExit(Program &p, DWORD timeoutMs)
{
    if (WaitForSingleObject(p.process, timeoutMs) != WAIT_OBJECT_0)
        return STILL_ACTIVE;
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(p.process, &code);
    return code;
}

void StopProgram(Program &p)
{
    if (!p.process)
        return;
    if (WaitForSingleObject(p.process, 0) != WAIT_OBJECT_0) {
        TerminateProcess(p.process, 99);
        WaitForSingleObject(p.process, 5000);
    }
    CloseHandle(p.process);
    p.process = nullptr;
}

HWND WaitForWindow(DWORD pid, const WCHAR *cls, const WCHAR *title, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    for (;;) {
        Search s = {pid, cls, title, nullptr};
        EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&s));
        if (s.found)
            return s.found;
        if (GetTickCount() - start >= timeoutMs)
            return nullptr;
        Sleep(100);
    }
}

bool HasWindow(DWORD pid, const WCHAR *cls)
{
    Search s = {pid, cls, nullptr, nullptr};
    EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&s));
    return s.found != nullptr;
}

std::u16string WindowText(HWND hwnd)
{
    WCHAR text[1024] = {};
    GetWindowTextW(hwnd, text, 1024);
    return std::u16string(reinterpret_cast<const char16_t *>(text));
}

std::u16string DialogStaticText(HWND dialog)
{
    std::u16string out;
    EnumChildWindows(dialog, CollectStatic, reinterpret_cast<LPARAM>(&out));
    return out;
}

void PressButton(HWND dialog, int id)
{
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

void SendKey(HWND hwnd, WORD vk)
{
    PostMessageW(hwnd, WM_KEYDOWN, vk, 1);
    PostMessageW(hwnd, WM_KEYUP, vk, 0xC0000001);
    Sleep(150);
}

bool Screenshot(const char *name)
{
    // The driver is a Linux program too: ImageMagick grabs the X screen.
    char command[1024];
    snprintf(command, sizeof(command), "mkdir -p '%s' && import -window root '%s/%s.png' 2>/dev/null", VG_SHOTS,
             VG_SHOTS, name);
    return system(command) == 0;
}

void TypeText(HWND edit, const char *text)
{
    for (const char *c = text; *c; ++c)
        PostMessageW(edit, WM_CHAR, static_cast<unsigned char>(*c), 1);
    Sleep(300);
}

HWND WaitForLoginDialog(DWORD pid, DWORD timeoutMs)
{
    return WaitForWindow(pid, L"CustomDlg", L"\x767b\x5f55Veilguard", timeoutMs);  // 登录Veilguard
}

bool CancelStartupLogin(DWORD pid)
{
    HWND dialog = WaitForLoginDialog(pid, 60000);
    if (!dialog)
        return false;
    PressButton(dialog, IDCANCEL);
    for (int i = 0; i < 100 && IsWindow(dialog); ++i)
        Sleep(100);
    return !IsWindow(dialog);
}

void EndStartedExplorers(void)
{
    DWORD desktop = 0;
    GetWindowThreadProcessId(GetDesktopWindow(), &desktop);
    DWORD ids[1024], bytes = 0;
    if (!EnumProcesses(ids, sizeof ids, &bytes))
        return;
    for (DWORD i = 0; i < bytes / sizeof(DWORD); ++i) {
        if (ids[i] == 0 || ids[i] == desktop)
            continue;
        HANDLE p = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ | PROCESS_TERMINATE, FALSE, ids[i]);
        if (!p)
            continue;
        WCHAR path[MAX_PATH] = L"";
        // A shell that crashed brings Wine's debugger, which holds the
        // output too.
        if (GetModuleFileNameExW(p, nullptr, path, MAX_PATH) &&
            (StrStrIW(path, L"explorer.exe") || StrStrIW(path, L"winedbg.exe")))
            TerminateProcess(p, 0);
        CloseHandle(p);
    }
}

bool FreshWorkFolder(const std::string &work, const std::string &bin)
{
    const std::string views = "/qdsk-" + std::to_string(geteuid()) + "/*.owner";
    glob_t records = {};
    glob(("/dev/shm" + views).c_str(), 0, nullptr, &records);
    if (const char *runtime = getenv("XDG_RUNTIME_DIR"); runtime && *runtime)
        glob((runtime + views).c_str(), GLOB_APPEND, nullptr, &records);
    for (size_t i = 0; i < records.gl_pathc; ++i) {
        // A record's first line names the view's container.
        const std::string record = records.gl_pathv[i];
        char container[4096] = {};
        if (FILE *f = fopen(record.c_str(), "r")) {
            if (!fgets(container, sizeof container, f))
                container[0] = 0;
            fclose(f);
        }
        const std::string view = record.substr(0, record.size() - 6);
        if (std::string(container).rfind(work + "/", 0) == 0)
            system(("rm -rf '" + view + "' '" + view + ".lock' '" + record + "'").c_str());
    }
    globfree(&records);
    const std::string app = work + "/app";
    return system(("rm -rf '" + work + "' && mkdir -p '" + app + "' && cp '" + bin + "'/* '" + app + "/'").c_str()) == 0;
}

std::string Shell(const std::string &command)
{
    std::string out;
    FILE *p = popen(command.c_str(), "r");
    if (!p)
        return out;
    char buf[512];
    while (fgets(buf, sizeof buf, p))
        out += buf;
    pclose(p);
    return out;
}

std::u16string Marker()
{
    WCHAR data[64] = {};
    DWORD size = sizeof(data) - sizeof(WCHAR);
    HKEY k;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Tessaline\\Veilguard\\inprivate", 0, KEY_READ, &k) !=
        ERROR_SUCCESS)
        return u"";
    RegQueryValueExW(k, nullptr, nullptr, nullptr, reinterpret_cast<BYTE *>(data), &size);
    RegCloseKey(k);
    return std::u16string(reinterpret_cast<const char16_t *>(data));
}
