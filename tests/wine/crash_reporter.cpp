// The test prefixes' crash reporter. Wine starts the command named in the
// AeDebug key when a program has an unhandled exception, with the program's
// process id and an event, and waits until the event is set or the command
// ends. Instead of a debugger, which would wait for a user and keep the test
// run's output open, this names the program on the standard error it inherits
// from it (the test's log, beside Wine's own "Unhandled ... at address" line)
// and ends at once; the program then ends with its exception code.
#include <windows.h>
#include <psapi.h>
#include <shellapi.h>

// Wide C library functions assume 4-byte characters under Winelib.
static DWORD ParseDecimal(const WCHAR *text)
{
    DWORD value = 0;
    for (; *text >= L'0' && *text <= L'9'; ++text)
        value = value * 10 + (*text - L'0');
    return value;
}

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int)
{
    int argc = 0;
    WCHAR **argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv || argc < 2)
        return 2;
    DWORD pid = ParseDecimal(argv[1]);
    WCHAR path[MAX_PATH] = L"?";
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid);
    if (process) {
        if (!GetModuleFileNameExW(process, nullptr, path, MAX_PATH))
            lstrcpyW(path, L"?");
        CloseHandle(process);
    }
    char name[MAX_PATH * 3];
    if (!WideCharToMultiByte(CP_UTF8, 0, path, -1, name, sizeof(name), nullptr, nullptr))
        lstrcpyA(name, "?");
    char line[sizeof(name) + 64];
    int n = wsprintfA(line, "wine-crash: %s (pid %04lx) crashed\n", name, static_cast<unsigned long>(pid));
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_ERROR_HANDLE), line, n, &written, nullptr);
    LocalFree(argv);
    return 0;
}
