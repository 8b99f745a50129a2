// Entry point of the Winelib integration test program.
#include "gtest_wine.h"

#include <dlfcn.h>

#include <cstring>

// Second processes that some tests start from this same program (weak: the
// programs that share this entry point without those tests lack it).
int RunStandinChild(const char *container) __attribute__((weak));

// The crash detector's self-check (tests/wine/crash_check.sh): a copy of
// this program that dereferences a null pointer, started as a test would
// start a helper, and waited for.
static int RunCrashingChild(void)
{
    Dl_info self = {};
    if (!dladdr(reinterpret_cast<void *>(&RunCrashingChild), &self))
        return 2;
    WCHAR *dos = wine_get_dos_file_name(self.dli_fname);
    if (!dos)
        return 2;
    WCHAR line[1024];
    wsprintfW(line, L"\"%s\" --null-dereference", dos);
    HeapFree(GetProcessHeap(), 0, dos);
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessW(nullptr, line, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return 2;
    CloseHandle(pi.hThread);
    WaitForSingleObject(pi.hProcess, 60000);
    CloseHandle(pi.hProcess);
    // A test goes on after its helper died; the detector must end it.
    Sleep(60000);
    return 0;
}

int main(int argc, char **argv)
{
    if (argc == 3 && !strcmp(argv[1], "--standin-child") && RunStandinChild)
        return RunStandinChild(argv[2]);
    if (argc == 2 && !strcmp(argv[1], "--crashing-child"))
        return RunCrashingChild();
    if (argc == 2 && !strcmp(argv[1], "--null-dereference")) {
        volatile int *nowhere = nullptr;
        return *nowhere;
    }
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
