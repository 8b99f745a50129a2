#include "crash_report.h"

#include <shellapi.h>
#include <shlwapi.h>

#include "app_state.h"
#include "crash_address.h"
#include "crypto/crc32.h"
#include "language.h"
#include "product.h"
#include "volume/driver_control.h"

// The program's code lies within one megabyte of its preferred load address.
static const ULONG_PTR kCodeStart = 0x00400000;
static const ULONG_PTR kCodeEnd = kCodeStart + 0x00100000;

struct CrashContext {
    DWORD code;
    ULONG_PTR address;
    ULONG_PTR stackPointer;
};

// CRC-32 of the executable file, or 0 when it cannot be read whole.
static DWORD ExecutableChecksum(void)
{
    char path[MAX_PATH];
    if (!GetModuleFileNameA(nullptr, path, MAX_PATH))
        return 0;
    HANDLE file = CreateFileA(path, 0x81, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    DWORD crc = 0;
    BY_HANDLE_FILE_INFORMATION fi;
    if (GetFileInformationByHandle(file, &fi) && fi.nFileSizeHigh == 0) {
        BYTE *data = static_cast<BYTE *>(HeapAlloc(GetProcessHeap(), 0, fi.nFileSizeLow ? fi.nFileSizeLow : 1));
        DWORD read = 0;
        if (data && ReadFile(file, data, fi.nFileSizeLow, &read, nullptr) && read == fi.nFileSizeLow)
            crc = Crc32(data, read);
        if (data)
            HeapFree(GetProcessHeap(), 0, data);
    }
    CloseHandle(file);
    return crc;
}

// Return addresses into the program's code found on the faulting stack.
static void CollectStack(ULONG_PTR sp, uint32_t out[8])
{
    MEMORY_BASIC_INFORMATION mbi;
    if (!sp || !VirtualQuery(reinterpret_cast<void *>(sp), &mbi, sizeof(mbi)))
        return;
    ULONG_PTR end = reinterpret_cast<ULONG_PTR>(mbi.BaseAddress) + mbi.RegionSize;
    int count = 0;
    for (ULONG_PTR p = sp; p + sizeof(DWORD) <= end && count < 8; p += sizeof(DWORD)) {
        DWORD value = *reinterpret_cast<const DWORD *>(p);
        if (value <= kCodeStart || value >= kCodeEnd)
            continue;
        BOOL seen = FALSE;
        for (int i = 0; i < count; ++i)
            seen |= out[i] == value;
        if (!seen)
            out[count++] = value;
    }
}

// Returns 1 when the user declined the report and the system should handle
// the fault.
static DWORD WINAPI CrashReportThread(LPVOID param)
{
    const CrashContext *ctx = static_cast<const CrashContext *>(param);
    if (IsCriticalException(ctx->code)) {
        MessageBoxW(nullptr, GetString("CRITICAL_EXCEPTION"), GetString("ERROR"),
                    MB_ICONERROR | MB_SETFOREGROUND | MB_TOPMOST);
        return 0;
    }

    CrashFacts facts = {};
    CollectStack(ctx->stackPointer, facts.stack);
    facts.checksum = ExecutableChecksum();
    SYSTEM_INFO si;
    GetSystemInfo(&si);
    facts.cpus = si.dwNumberOfProcessors;
    facts.arch = IsWow64() ? "x64" : "x86";
    facts.dialog = g_szLastLocalizedDialog[0] ? g_szLastLocalizedDialog : "-";
    facts.osMajor = g_dwOsMajor;
    facts.osMinor = g_dwOsMinor;
    facts.servicePack = g_dwServicePackMajor;
    facts.code = ctx->code;
    facts.address = static_cast<DWORD>(ctx->address);

    char url[2048];
    if (FormatCrashReportAddress(url, sizeof(url), VG_REPORT_PREFIX, facts) < 0)
        return 0;
    WCHAR wurl[2048];
    MultiByteToWideChar(CP_ACP, 0, url, -1, wurl, ARRAYSIZE(wurl));

    // The question, then the address the answer Yes opens.
    WCHAR message[4096];
    wnsprintfW(message, ARRAYSIZE(message), L"%s\n\n%s", GetString("EXCEPTION_REPORT"), wurl);
    if (MessageBoxW(nullptr, message, GetString("ERROR"),
                    MB_ICONERROR | MB_YESNO | MB_SETFOREGROUND | MB_TOPMOST) == IDYES) {
        ShellExecuteW(nullptr, L"open", wurl, nullptr, nullptr, SW_SHOWNORMAL);
        return 0;
    }
    return 1;  // No: the system's own handler gets the fault
}

LONG WINAPI CrashFilter(EXCEPTION_POINTERS *info)
{
    SetUnhandledExceptionFilter(nullptr);
    CrashContext ctx = {};
    ctx.code = info->ExceptionRecord->ExceptionCode;
    ctx.address = reinterpret_cast<ULONG_PTR>(info->ExceptionRecord->ExceptionAddress);
#if defined(_M_X64) || defined(__x86_64__)
    ctx.stackPointer = info->ContextRecord->Rsp;
#else
    ctx.stackPointer = info->ContextRecord->Esp;
#endif
    HANDLE thread = CreateThread(nullptr, 0, CrashReportThread, &ctx, 0, nullptr);
    DWORD passOn = 0;
    if (thread) {
        WaitForSingleObject(thread, INFINITE);
        GetExitCodeThread(thread, &passOn);
        CloseHandle(thread);
    }
    if (passOn == 1)
        UnhandledExceptionFilter(info);
    return EXCEPTION_EXECUTE_HANDLER;
}
