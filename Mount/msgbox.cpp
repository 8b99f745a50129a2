#include "msgbox.h"

#include <shlobj.h>
#include <stdlib.h>

#include "app_state.h"
#include "env/privacy_env.h"
#include "language.h"
#include "volume/driver_control.h"

BOOL SilentMode = FALSE;

// The program title, or null (the system's own caption) while start-up has
// not set it yet.
static const WCHAR *Caption(void)
{
    return g_szProgramTitle[0] ? g_szProgramTitle : nullptr;
}

static int Box(const WCHAR *text, UINT style)
{
    if (SilentMode)
        return 0;
    return MessageBoxW(g_hMainWnd, text, Caption(), style);
}

int ShowInfo(const WCHAR *text) { return Box(text, MB_ICONINFORMATION | MB_SETFOREGROUND | MB_TOPMOST); }
int ShowWarning(const WCHAR *text) { return Box(text, MB_ICONWARNING | MB_SETFOREGROUND | MB_TOPMOST); }
int ShowWarningPlain(const WCHAR *text) { return Box(text, MB_ICONWARNING); }
int ShowError(const WCHAR *text) { return Box(text, MB_ICONERROR | MB_SETFOREGROUND | MB_TOPMOST); }
void ShowErrorKey(const char *key) { ShowError(GetString(key)); }
int AskWarningYesNo(const WCHAR *text) { return Box(text, MB_YESNO | MB_ICONWARNING); }
int AskWarningNoYes(const WCHAR *text)
{
    return Box(text, MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2 | MB_SETFOREGROUND | MB_TOPMOST);
}
int AskQuestionYesNo(HWND owner, const WCHAR *text)
{
    if (SilentMode)
        return 0;
    return MessageBoxW(owner, text, GetString("VGRD"), MB_YESNO | MB_ICONQUESTION);
}

// The system's text for an error code, allocated by the system (LocalFree), or
// null when it has none.
static WCHAR *SystemErrorText(DWORD code)
{
    WCHAR *text = nullptr;
    // Inserts ("%1") stay as they are: no arguments are passed, and
    // without the flag such texts fail or read garbage.
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                   nullptr, code,
                   MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<WCHAR *>(&text), 0, nullptr);
    return text;
}

void FormatWindowsError(DWORD code, WCHAR *out, int size)
{
    if (out == nullptr || size <= 0)
        return;
    WCHAR *text = SystemErrorText(code);
    if (text && text[0]) {
        lstrcpynW(out, text, size);
    } else {
        WCHAR number[32];
        wsprintfW(number, L"Error %lu", static_cast<unsigned long>(code));
        lstrcpynW(out, number, size);
    }
    if (text)
        LocalFree(text);
}

DWORD ShowLastWindowsError(HWND owner)
{
    DWORD code = GetLastError();
    if (SilentMode || code == 0)
        return code;
    if (code == ERROR_ACCESS_DENIED && !IsUserAnAdmin()) {
        ShowError(GetString("ERR_ACCESS_DENIED"));
        return code;
    }
    WCHAR text[1024];
    FormatWindowsError(code, text, 1024);
    MessageBoxW(owner, text, Caption(), MB_ICONERROR);
    if (code == ERROR_NOT_READY)
        WarnAboutAutoMount();
    return code;
}

void FatalError(const WCHAR *text)
{
    MessageBeep(MB_ICONEXCLAMATION);
    MessageBoxW(nullptr, text, Caption(), MB_ICONERROR);
    exit(1);
}

void FatalWindowsError(const WCHAR *operation)
{
    DWORD code = GetLastError();
    WCHAR *sys = SystemErrorText(code);
    WCHAR msg[80];
    // wsprintfW has no size limit; format into a large buffer and cut to 80.
    WCHAR full[1024 + 80];
    wsprintfW(full, GetString("FAIL"), operation, (int)code, sys ? sys : L"");
    lstrcpynW(msg, full, 80);
    MessageBoxW(nullptr, msg, GetString("ERROR"), MB_OK);
    if (sys)
        LocalFree(sys);
    // The normal exit path is skipped: let go of the driver here.
    DisconnectDriverAtExit();
    ExitProcess(code);
}

void ShowRegistryError(DWORD code)
{
    WCHAR *sys = SystemErrorText(code);
    WCHAR full[1024 + 256];
    WCHAR msg[256];
    wsprintfW(full, L"注册表访问（读写）失败(错误=%d):\n %s", (int)code, sys ? sys : L"");
    lstrcpynW(msg, full, 256);
    // Owned by the Converting dialog while a switch runs (it is topmost and
    // the shell may be gone), else by the main window: never behind them.
    HWND owner = g_hConvertingDlg && IsWindow(g_hConvertingDlg) ? g_hConvertingDlg : g_hMainWnd;
    if (owner && GetWindowThreadProcessId(owner, nullptr) != GetCurrentThreadId())
        owner = nullptr;  // a window of another thread would block this one
    MessageBoxW(owner, msg, L"Veilguard", MB_ICONERROR | MB_SETFOREGROUND | MB_TOPMOST);
    if (sys)
        LocalFree(sys);
}
